#include "journal/Journal.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "journal/JournalLocation.hpp"
#include "journal/JournalStore.hpp"

namespace {

namespace fs = std::filesystem;

// Entries' worth of blocks the queue keeps between batches however slowly they come.
constexpr size_t kRoomKept = 1024;
// A journal that could not be opened tries again this often, quietly.
constexpr std::chrono::seconds kReopenInterval{30};
// Requests left pending for good (a program that never settles them) are forgotten past this.
constexpr size_t kTicketsKept = 100'000;

std::string LocalStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

template <class Entry>
void StampIfUnset(Entry& entry) {
    if (entry.time == JournalTime{}) {
        entry.time = JournalNow();
    }
}

}  // namespace

Journal::Journal(JournalOptions options, JournalNoticeHandler onNotice)
    : options_(std::move(options)), onNotice_(std::move(onNotice)) {
    if (options_.path.empty()) {
        options_.path = DefaultJournalPath();
    }
    writer_ = std::thread([this] { Run(); });
}

Journal::~Journal() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

namespace {

std::shared_ptr<const RequestContext> ContextOf(const RequestEntry& entry) {
    return std::make_shared<const RequestContext>(RequestContext{
        entry.server, entry.administrator, entry.command, entry.bulkId, entry.backupFile, entry.reason});
}

}  // namespace

// The ticket is given out under the queue's lock, so that tickets follow the queue's order and
// name their request's place in it.
JournalTicket Journal::Record(JournalRequest request) {
    StampIfUnset(request);
    JournalTicket ticket = 0;
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
        const bool room = HasRoom();
        queuedRequests_.push_back(room ? static_cast<uint32_t>(queue_.size()) : kNotQueued);
        if (room) {
            const uint32_t context = QueuedContext(std::move(request.context));
            wake = Push<QueuedRequest>(ticket, std::move(request), context);
        }
    }
    if (wake) {
        wake_.notify_one();
    }
    return ticket;
}

JournalTicket Journal::Record(const RequestEntry& entry) {
    return Record(
        JournalRequest{entry.time, ContextOf(entry), entry.member, entry.fields, entry.passwordChanged});
}

void Journal::Settle(JournalTicket ticket, OutcomeUpdate outcome) {
    StampIfUnset(outcome);
    if (!SettleQueued(ticket, outcome)) {
        Enqueue<std::unique_ptr<SettleItem>>(std::make_unique<SettleItem>(ticket, std::move(outcome)));
    }
}

// A bulk's requests share one context: it is kept once for all of them.
uint32_t Journal::QueuedContext(std::shared_ptr<const RequestContext>&& context) {
    if (queueContexts_.empty() || queueContexts_.back() != context) {
        queueContexts_.push_back(std::move(context));
    }
    return static_cast<uint32_t>(queueContexts_.size() - 1);
}

// Nearly every request is answered before the writer takes it: its outcome then costs no entry
// of its own, and its row is written once rather than written and updated.
bool Journal::SettleQueued(JournalTicket ticket, OutcomeUpdate& outcome) {
    const std::lock_guard lock(mutex_);
    if (ticket < firstQueuedTicket_ || ticket - firstQueuedTicket_ >= queuedRequests_.size()) {
        return false;
    }
    const uint32_t slot = queuedRequests_[ticket - firstQueuedTicket_];
    if (slot == kNotQueued) {
        return true;  // its request was dropped: so is its outcome
    }
    // An outcome once known for good stays.
    std::get<QueuedRequest>(queue_[slot]).Settle(std::move(outcome));
    return true;
}

void Journal::RecordUnsent(std::shared_ptr<const RequestContext> context, std::vector<std::string> members,
                           OutcomeUpdate outcome, JournalTime time) {
    if (members.empty()) {
        return;
    }
    JournalRequest request{time, std::move(context), {}, {}, false};
    StampIfUnset(request);
    StampIfUnset(outcome);
    Enqueue<std::unique_ptr<UnsentItem>>(
        std::make_unique<UnsentItem>(UnsentItem{std::move(request), std::move(members), std::move(outcome)}));
}

void Journal::RecordUnsent(const RequestEntry& entry, std::vector<std::string> members,
                           OutcomeUpdate outcome) {
    RecordUnsent(ContextOf(entry), std::move(members), std::move(outcome), entry.time);
}

void Journal::Record(ConnectionEntry entry) {
    StampIfUnset(entry);
    Enqueue<std::unique_ptr<ConnectionEntry>>(std::make_unique<ConnectionEntry>(std::move(entry)));
}

void Journal::Record(MemberCountEntry entry) {
    StampIfUnset(entry);
    Enqueue<std::unique_ptr<MemberCountEntry>>(std::make_unique<MemberCountEntry>(std::move(entry)));
}

template <class Kind, class... Args>
void Journal::Enqueue(Args&&... args) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        wake = HasRoom() && Push<Kind>(std::forward<Args>(args)...);
    }
    if (wake) {
        wake_.notify_one();
    }
}

bool Journal::HasRoom() {
    if (queue_.size() >= options_.maxQueued) {
        ++dropped_;
        return false;
    }
    return true;
}

// The writer waits for the first entry, then for the interval's end, unless those who send are
// told to wait for it first: it hears of both.
template <class Kind, class... Args>
bool Journal::Push(Args&&... args) {
    queue_.emplace_back(std::in_place_type<Kind>, std::forward<Args>(args)...);
    ++queuedCount_;
    return queue_.size() == 1 || queue_.size() == FallingBehindMark();
}

void Journal::Flush() {
    std::unique_lock lock(mutex_);
    flushTarget_ = std::max(flushTarget_, queuedCount_);
    const uint64_t target = queuedCount_;
    wake_.notify_one();
    written_.wait(lock, [&] { return writtenCount_ >= target; });
}

std::string Journal::Failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

uint64_t Journal::Dropped() const {
    const std::lock_guard lock(mutex_);
    return dropped_;
}

bool Journal::FallingBehind() const {
    const std::lock_guard lock(mutex_);
    return queue_.size() >= FallingBehindMark();
}

// A thread's niceness is its own on Linux: the program's other threads keep theirs. It is only
// ever raised, so a program started nicer than the default keeps its writer nicer still.
void Journal::LowerPriority() const {
    if (options_.writerNiceness <= 0) {
        return;
    }
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, self);
    if (errno != 0) {
        return;
    }
    // Failing leaves the writer as it was: slower to catch up under load, never wrong.
    setpriority(PRIO_PROCESS, self, std::min(current + options_.writerNiceness, 19));
}

void Journal::Run() {
    LowerPriority();
    Open();
    auto lastOpenAttempt = std::chrono::steady_clock::now();
    // Long ago, so that the first entry after a quiet spell is written at once and only the ones
    // that follow it closely wait to share a transaction.
    std::chrono::steady_clock::time_point lastCommit{};
    BlockQueue<Item> batch;  // trades places with the queue
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            break;
        }
        // A burst shorter than the interval is written after it, in one transaction, taking no
        // processor time from the burst itself.
        wake_.wait_until(lock, lastCommit + options_.commitInterval, [&] {
            return stop_ || flushTarget_ > writtenCount_ || queue_.size() >= FallingBehindMark();
        });
        batch.swap(queue_);
        batchContexts_.swap(queueContexts_);
        queuedRequests_.clear();
        firstQueuedTicket_ = nextTicket_;
        lock.unlock();

        if (!store_ && std::chrono::steady_clock::now() - lastOpenAttempt >= kReopenInterval) {
            lastOpenAttempt = std::chrono::steady_clock::now();
            Open();
        }
        const bool written = WriteBatch(batch);
        lastCommit = std::chrono::steady_clock::now();
        if (written) {
            PruneIfDue();
        }

        const size_t count = batch.size();
        // The blocks a burst took are kept while it lasts, batches of any size coming and
        // going, and given back once the entries come slowly again: given back between two
        // batches of one burst, they would be taken again, on the thread of whoever queues.
        // Emptied before the lock is taken again: those who queue would otherwise wait out a
        // batch's worth of destructors.
        batch.clear();
        batchContexts_.clear();
        if (count < kRoomKept) {
            batch.ReleaseBeyond(kRoomKept);
        }

        lock.lock();
        if (!written) {
            dropped_ += count;
        }
        writtenCount_ += count;
        written_.notify_all();
    }
}

void Journal::Open() {
    store_.reset();
    const std::string& path = options_.path;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (const std::string problem = PrepareJournalFile(path); !problem.empty()) {
            ReportFailure(problem);
            return;
        }
        try {
            store_ = std::make_unique<JournalStore>(path, options_.busyTimeout);
            break;
        } catch (const SqliteError& error) {
            if (!IsDamage(error) || attempt > 0) {
                ReportFailure(error.what());
                return;
            }
            SetAside(error.what());
        }
    }
    lastPrune_ = {};
    PruneIfDue();
}

// A damaged journal is kept for whoever wants to look into it, and a new one begins: the
// history before it is lost to the reader, but what comes next is not.
void Journal::SetAside(const std::string& why) {
    store_.reset();
    const std::string& path = options_.path;
    const std::string aside = path + ".corrupt-" + LocalStamp();
    std::error_code error;
    fs::rename(path, aside, error);
    if (error) {
        ReportFailure("the damaged journal cannot be moved aside: " + error.message());
        return;
    }
    fs::rename(path + "-wal", aside + "-wal", error);
    fs::remove(path + "-shm", error);
    Notify({JournalNoticeKind::DamagedSetAside,
            "the journal was damaged (" + why + "); it was moved to " + aside + " and a new one started",
            aside});
}

bool Journal::WriteBatch(const BlockQueue<Item>& batch) {
    if (!store_) {
        return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            // Tickets take their rows only once the rows are committed: a row id handed out in a
            // batch rolled back would name some later request's row.
            newRows_.clear();
            settled_.clear();
            store_->Begin();
            batch.ForEach([this](const Item& item) { WriteItem(item); });
            store_->Commit();
            rowOfTicket_.insert(newRows_.begin(), newRows_.end());
            for (const JournalTicket ticket : settled_) {
                rowOfTicket_.erase(ticket);
            }
            while (rowOfTicket_.size() > kTicketsKept) {
                rowOfTicket_.erase(rowOfTicket_.begin());
            }
            ReportWritten();
            return true;
        } catch (const SqliteError& error) {
            store_->Rollback();
            if (IsDamage(error) && attempt == 0) {
                SetAside(error.what());
                Open();
                if (store_) {
                    continue;
                }
            } else {
                ReportFailure(error.what());
            }
            return false;
        } catch (const std::exception& error) {
            store_->Rollback();
            ReportFailure(error.what());
            return false;
        }
    }
    return false;
}

void Journal::WriteItem(const Item& item) {
    if (const auto* request = std::get_if<QueuedRequest>(&item)) {
        const JournalRequest values = request->Request(batchContexts_[request->Context()]);
        // A request written with its final outcome needs its row no more.
        if (request->Settled()) {
            store_->InsertSettled(values, request->Outcome());
        } else {
            // Never updated, it leaves the outcome's columns as a request never answered has them.
            const OutcomeUpdate outcome = request->Outcome();
            newRows_.emplace(request->Ticket(),
                             store_->Insert(values, request->Updated() ? &outcome : nullptr));
        }
    } else if (const auto* settleItem = std::get_if<std::unique_ptr<SettleItem>>(&item)) {
        const SettleItem* settle = settleItem->get();
        if (settled_.contains(settle->ticket)) {
            return;  // an outcome once known for good stays
        }
        int64_t row = 0;
        if (const auto inBatch = newRows_.find(settle->ticket); inBatch != newRows_.end()) {
            row = inBatch->second;
        } else if (const auto earlier = rowOfTicket_.find(settle->ticket); earlier != rowOfTicket_.end()) {
            row = earlier->second;
        } else {
            return;  // its request was dropped, or forgotten
        }
        store_->UpdateOutcome(row, settle->outcome);
        if (settle->outcome.outcome != JournalOutcome::Pending) {
            settled_.insert(settle->ticket);
        }
    } else if (const auto* unsent = std::get_if<std::unique_ptr<UnsentItem>>(&item)) {
        JournalRequest request = (*unsent)->request;
        for (const std::string& member : (*unsent)->members) {
            request.member = member;
            store_->InsertSettled(request, (*unsent)->outcome);
        }
    } else if (const auto* connection = std::get_if<std::unique_ptr<ConnectionEntry>>(&item)) {
        store_->Insert(**connection);
    } else if (const auto* count = std::get_if<std::unique_ptr<MemberCountEntry>>(&item)) {
        store_->Insert(**count);
    }
}

void Journal::PruneIfDue() {
    const auto now = std::chrono::steady_clock::now();
    if (!store_ || (lastPrune_ != std::chrono::steady_clock::time_point{} &&
                    now - lastPrune_ < options_.pruneInterval)) {
        return;
    }
    lastPrune_ = now;
    try {
        store_->Prune(JournalNow(), options_.maxAge, options_.maxBytes);
    } catch (const SqliteError&) {
        // Another program busy with the file, most likely; the next round prunes what this left.
    }
}

void Journal::ReportFailure(const std::string& reason) {
    {
        const std::lock_guard lock(mutex_);
        const bool first = failure_.empty();
        failure_ = reason;
        if (!first) {
            return;
        }
    }
    Notify({JournalNoticeKind::CannotWrite, "the journal cannot be written: " + reason, {}});
}

void Journal::ReportWritten() {
    {
        const std::lock_guard lock(mutex_);
        if (failure_.empty()) {
            return;
        }
        failure_.clear();
    }
    Notify({JournalNoticeKind::WritingAgain, "the journal is written again", {}});
}

void Journal::Notify(const JournalNotice& notice) {
    if (onNotice_) {
        onNotice_(notice);
    }
}

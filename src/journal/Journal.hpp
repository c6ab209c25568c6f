#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

#include "journal/BlockQueue.hpp"
#include "journal/JournalTypes.hpp"
#include "journal/QueuedRequest.hpp"

class JournalStore;

struct JournalOptions {
    std::string path;  // empty: DefaultJournalPath()
    // The longest an entry waits in memory; a crash loses no more than this.
    std::chrono::milliseconds commitInterval{500};
    // How long a write waits for another program writing the same file.
    std::chrono::milliseconds busyTimeout{5000};
    std::chrono::milliseconds maxAge{std::chrono::hours(24 * 180)};
    int64_t maxBytes = 200LL * 1024 * 1024;
    std::chrono::milliseconds pruneInterval{std::chrono::minutes(10)};
    // Entries waiting beyond this many are dropped rather than let memory grow: about 26 MB at
    // most. A request answered while it waits is one entry with its outcome, so half of this
    // holds more than a second of the fastest bulk: the writer takes a burst of that length
    // after it, in one transaction, and those who send wait for nothing.
    size_t maxQueued = 300'000;
    // How much nicer than its program the writer thread runs: it writes with the CPU the
    // program and the server it talks to leave over, and those who send many requests wait for
    // it through FallingBehind when none is left. 0 keeps the program's own priority.
    int writerNiceness = 10;
};

enum class JournalNoticeKind {
    CannotWrite,      // text: "the journal cannot be written: <reason>"; entries are dropped
    WritingAgain,     // a write succeeded after CannotWrite
    DamagedSetAside,  // the file was damaged; moved to path, and a new journal started
};

struct JournalNotice {
    JournalNoticeKind kind = JournalNoticeKind::CannotWrite;
    std::string text;
    std::string path;  // DamagedSetAside: where the damaged file went
};

// Called on the journal's writer thread, once for each change of state; it must not call back
// into the journal's Flush, and should hand the notice to its own thread.
using JournalNoticeHandler = std::function<void(const JournalNotice&)>;

// Writes the journal without holding its callers: every call only queues the entry, and a
// thread of the journal's own writes what is queued in one transaction at most every
// commitInterval. Nothing here throws once constructed; a journal that cannot be written says
// so through the handler and Failure() and drops what it is given.
class Journal {
public:
    explicit Journal(JournalOptions options = {}, JournalNoticeHandler onNotice = {});
    ~Journal();  // writes what is queued
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Queues a request as sent, its outcome pending; Settle names it by the ticket.
    JournalTicket Record(JournalRequest request);
    JournalTicket Record(const RequestEntry& entry);
    void Settle(JournalTicket ticket, OutcomeUpdate outcome);
    // Queues requests never sent after all, one for each member, alike but for the member, their
    // outcome known already: one entry in the queue however many they are, so that a bulk
    // operation cancelled early is kept whole.
    void RecordUnsent(std::shared_ptr<const RequestContext> context, std::vector<std::string> members,
                      OutcomeUpdate outcome, JournalTime time = {});
    void RecordUnsent(const RequestEntry& entry, std::vector<std::string> members, OutcomeUpdate outcome);
    void Record(ConnectionEntry entry);
    void Record(MemberCountEntry entry);

    // Returns once everything queued before the call is committed, or dropped.
    void Flush();

    const std::string& Path() const { return options_.path; }
    // Empty while the journal is written; otherwise why it is not.
    std::string Failure() const;
    // Entries dropped so far: the journal could not be written, or the queue was full.
    uint64_t Dropped() const;
    // True while half the queue's room is taken: whoever sends many requests waits for the
    // writer to catch up, so that nothing is dropped for want of room.
    bool FallingBehind() const;

private:
    struct SettleItem {
        SettleItem(JournalTicket ticket_, OutcomeUpdate&& outcome_)
            : ticket(ticket_), outcome(std::move(outcome_)) {}
        JournalTicket ticket;
        OutcomeUpdate outcome;
    };
    struct UnsentItem {
        JournalRequest request;  // all but the member
        std::vector<std::string> members;
        OutcomeUpdate outcome;
    };
    // The queue's entries are as large as the largest kind: the rarer kinds are held by pointer,
    // so that a burst of requests writes few bytes. An outcome that comes while its request
    // still waits goes into the request's entry, and its row is written once.
    using Item = std::variant<QueuedRequest, std::unique_ptr<SettleItem>, std::unique_ptr<ConnectionEntry>,
                              std::unique_ptr<MemberCountEntry>, std::unique_ptr<UnsentItem>>;

    // Builds the entry in its place in the queue: the caller's thread moves it once, no more.
    template <class Kind, class... Args>
    void Enqueue(Args&&... args);
    // With the lock held: false, and one more dropped, when the queue is full.
    bool HasRoom();
    // With the lock held and room left; true when the writer must hear of it.
    template <class Kind, class... Args>
    bool Push(Args&&... args);
    // Puts the update in its request's entry while that is still queued; false once it is not.
    bool SettleQueued(JournalTicket ticket, OutcomeUpdate& outcome);
    // With the lock held: the request's context by its place in queueContexts_.
    uint32_t QueuedContext(std::shared_ptr<const RequestContext>&& context);
    size_t FallingBehindMark() const { return options_.maxQueued / 2; }
    void Run();
    void LowerPriority() const;
    void Open();
    void SetAside(const std::string& why);
    bool WriteBatch(const BlockQueue<Item>& batch);
    void WriteItem(const Item& item);
    void PruneIfDue();
    void ReportFailure(const std::string& reason);
    void ReportWritten();
    void Notify(const JournalNotice& notice);

    JournalOptions options_;
    JournalNoticeHandler onNotice_;

    // Shared between the callers and the writer thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    // Swapped whole with the writer's batch: its blocks come back emptied, so a caller queuing
    // an entry allocates nothing while a burst lasts.
    BlockQueue<Item> queue_;
    // Where each request queued since the writer last took the queue lies in it, by ticket from
    // firstQueuedTicket_ on; kNotQueued for one dropped.
    static constexpr uint32_t kNotQueued = UINT32_MAX;
    std::vector<uint32_t> queuedRequests_;
    // The contexts the queued requests name by their place; taken with the queue.
    std::vector<std::shared_ptr<const RequestContext>> queueContexts_;
    JournalTicket firstQueuedTicket_ = 1;
    JournalTicket nextTicket_ = 1;
    uint64_t queuedCount_ = 0;   // items ever queued
    uint64_t writtenCount_ = 0;  // items ever taken from the queue and written or dropped
    uint64_t flushTarget_ = 0;
    uint64_t dropped_ = 0;
    std::string failure_;
    bool stop_ = false;

    // The writer thread's alone.
    std::unique_ptr<JournalStore> store_;
    std::vector<std::shared_ptr<const RequestContext>> batchContexts_;  // the batch's
    std::map<JournalTicket, int64_t> rowOfTicket_;                      // requests not settled for good yet
    // The batch being written: the rows of its requests still pending, and the requests
    // settled for good by a later update.
    std::unordered_map<JournalTicket, int64_t> newRows_;
    std::unordered_set<JournalTicket> settled_;
    std::chrono::steady_clock::time_point lastPrune_{};

    std::thread writer_;  // last: starts once everything above is ready
};

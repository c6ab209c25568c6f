#include "members/TkvCLDataCollection.hpp"

#include <algorithm>

#include "util/untCalc1.hpp"

namespace {

// The low bits the table uses depend on every byte of the folded login.
uint32_t FoldedHash(std::string_view login) {
    return static_cast<uint32_t>(FoldedHashAscii(login));
}

constexpr size_t kSmallestIndex = 16;

}  // namespace

void TkvCLDataCollection::AddOrUpdate(std::string_view login, std::string_view presence1,
                                      std::string_view presence2, std::string_view protocolsText,
                                      std::string_view password, std::string_view userBotsText, bool online) {
    if ((order_.size() + 1) * 4 > index_.size() * 3) {
        GrowIndex(order_.size() + 1);
    }
    const uint32_t hash = FoldedHash(login);
    // The index slot is far from the last one in a table of many megabytes: it is fetched while
    // the fields are packed, rather than waited for.
    __builtin_prefetch(&index_[hash & (index_.size() - 1)]);
    const std::string_view packed =
        TkvCLData::Pack(login, presence1, presence2, protocolsText, password, userBotsText);
    const size_t slot = SlotOf(login, hash);
    if (index_[slot].number != kEmpty) {
        TkvCLData& known = Record(index_[slot].number);
        if (watcher_ != nullptr) {
            watcher_->RecordChanging(known);
        }
        if (known.Login() != login) {
            ++loginsRewritten_;
        }
        known.AssignPacked(packed, online);
        return;
    }
    const uint32_t number = UnusedRecord();
    TkvCLData& record = Record(number);
    record.AssignPacked(packed, online);
    record.position_ = static_cast<uint32_t>(order_.size());
    index_[slot] = {number, hash};
    order_.push_back(&record);
}

void TkvCLDataCollection::Delete(std::string_view login) {
    if (index_.empty()) {
        return;
    }
    const size_t slot = SlotOf(login, FoldedHash(login));
    const uint32_t number = index_[slot].number;
    if (number == kEmpty) {
        return;
    }
    TkvCLData& record = Record(number);
    if (watcher_ != nullptr) {
        watcher_->RecordChanging(record);
    }
    ++loginsRewritten_;
    // The record's place is left empty and the places after it close up when a position is next
    // asked for: once for a whole burst of deletions, not once each.
    const size_t position = record.position_;
    order_[position] = nullptr;
    ++holes_;
    staleFrom_ = std::min(staleFrom_, position);
    record = TkvCLData{};
    record.position_ = kFreed;
    freeRecords_.push_back(number);

    FreeEntry(index_, slot);
    // Never more empty places than records.
    if (holes_ * 2 > order_.size()) {
        CloseHoles();
    }
}

void TkvCLDataCollection::Clear() {
    if (watcher_ != nullptr) {
        watcher_->AllRecordsGoing();
    }
    // Swapped with empty ones, so the memory of a million members goes back at once.
    std::vector<LargeArray<TkvCLData>>().swap(recordBlocks_);
    recordCount_ = 0;
    std::vector<uint32_t>().swap(freeRecords_);
    order_ = {};
    index_ = {};
    staleFrom_ = SIZE_MAX;
    holes_ = 0;
    ++loginsRewritten_;
}

bool TkvCLDataCollection::Exists(std::string_view login) const {
    return Find(login) != nullptr;
}

int32_t TkvCLDataCollection::IndexOf(std::string_view login) const {
    const TkvCLData* record = Find(login);
    if (record == nullptr) {
        return -1;
    }
    CloseHoles();
    return static_cast<int32_t>(record->position_);
}

const TkvCLData* TkvCLDataCollection::Items(int32_t position) const {
    if (position < 0 || position >= Count()) {
        return nullptr;
    }
    CloseHoles();
    return order_[static_cast<size_t>(position)];
}

bool TkvCLDataCollection::GetData(std::string_view login, std::string& presence1, std::string& presence2,
                                  std::string& protocolsText, std::string& password,
                                  std::string& userBotsText, bool& online) const {
    const TkvCLData* record = Find(login);
    if (record == nullptr) {
        return false;
    }
    presence1 = record->Presence1View();
    presence2 = record->Presence2View();
    protocolsText = record->GetProtocolsText();
    password = record->PasswordView();
    userBotsText = record->GetUserBotsText();
    online = record->Online();
    return true;
}

void TkvCLDataCollection::Reserve(int32_t count) {
    if (count <= 0) {
        return;
    }
    order_.reserve(static_cast<size_t>(count));
    GrowIndex(static_cast<size_t>(count));
}

TkvCLData* TkvCLDataCollection::Find(std::string_view login) const {
    if (index_.empty()) {
        return nullptr;
    }
    const uint32_t number = index_[SlotOf(login, FoldedHash(login))].number;
    return number == kEmpty ? nullptr : &Record(number);
}

uint32_t TkvCLDataCollection::UnusedRecord() {
    if (!freeRecords_.empty()) {
        const uint32_t number = freeRecords_.back();
        freeRecords_.pop_back();
        return number;
    }
    if (recordCount_ % kRecordsPerBlock == 0) {
        recordBlocks_.emplace_back(kRecordsPerBlock);
    }
    recordBlocks_.back().MakeNext();
    return recordCount_++;
}

size_t TkvCLDataCollection::SlotOf(std::string_view login, uint32_t hash) const {
    return ProbeFor(index_, hash,
                    [this, login](uint32_t number) { return SameTextAscii(Record(number).Login(), login); });
}

void TkvCLDataCollection::GrowIndex(size_t wanted) {
    const size_t before = index_.size();
    size_t size = std::max(before, kSmallestIndex);
    while (wanted * 4 > size * 3) {
        size *= 2;
    }
    if (size == before) {
        return;
    }
    index_.resize(size);  // the new room empty
    if (before == 0) {
        return;
    }
    // Each slot's home in the larger table is its old home or lies in the new room. The old
    // slots are read in order, and each is taken out and put at the first free slot from its new
    // home: in the old part, that is at or before where it lay, among slots already read, so
    // nothing unread is overwritten and no run already placed is broken again; in the new room
    // there was nothing to read. Two kinds are put aside and placed last by an ordinary probe:
    // slots whose run went round past the old table's end, and slots whose run would go round
    // past the new one's.
    const size_t oldMask = before - 1;
    const size_t mask = size - 1;
    std::vector<Slot> aside;
    for (size_t at = 0; at < before; ++at) {
        const Slot entry = index_[at];
        if (entry.number == kEmpty) {
            continue;
        }
        index_[at] = Slot();
        if ((entry.hash & oldMask) > at) {
            aside.push_back(entry);
            continue;
        }
        size_t slot = entry.hash & mask;
        while (index_[slot].number != kEmpty && slot != mask) {
            ++slot;
        }
        if (index_[slot].number != kEmpty) {
            aside.push_back(entry);
            continue;
        }
        index_[slot] = entry;
    }
    for (const Slot& entry : aside) {
        size_t slot = entry.hash & mask;
        while (index_[slot].number != kEmpty) {
            slot = (slot + 1) & mask;
        }
        index_[slot] = entry;
    }
}

void TkvCLDataCollection::CloseHoles() const {
    if (holes_ == 0) {
        return;
    }
    size_t kept = staleFrom_;
    for (size_t i = staleFrom_; i < order_.size(); ++i) {
        if (order_[i] != nullptr) {
            order_[kept] = order_[i];
            order_[kept]->position_ = static_cast<uint32_t>(kept);
            ++kept;
        }
    }
    order_.resize(kept);
    holes_ = 0;
    staleFrom_ = SIZE_MAX;
}

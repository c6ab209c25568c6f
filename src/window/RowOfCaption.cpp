#include "window/RowOfCaption.hpp"

#include <algorithm>
#include <bit>

#include "util/untCalc1.hpp"

namespace {

size_t EntriesFor(size_t rows) {
    return std::bit_ceil(std::max<size_t>(16, rows + rows / 3 + 1));
}

}  // namespace

namespace {

// The slots of a store in which every slot holds a row, in the order they lie in.
struct EverySlot {
    struct Iterator {
        uint32_t slot;
        uint32_t operator*() const { return slot; }
        Iterator& operator++() {
            ++slot;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return slot != other.slot; }
    };
    uint32_t count;
    Iterator begin() const { return {0}; }
    Iterator end() const { return {count}; }
};

}  // namespace

void RowOfCaption::Build(const MemberRowStore& store, const std::vector<uint32_t>& order) {
    // The rows as they lie are read far faster than in row order; only duplicates need the order.
    if (store.SlotCount() == order.size() && Hold(store, EverySlot{static_cast<uint32_t>(order.size())})) {
        return;
    }
    Hold(store, order);
}

template <typename Slots>
bool RowOfCaption::Hold(const MemberRowStore& store, const Slots& slots) {
    entries_.assign(EntriesFor(store.SlotCount()), Entry());
    held_ = 0;
    duplicates_ = false;
    for (const uint32_t slot : slots) {
        const std::string_view caption = store[slot].Login();
        const auto hash = static_cast<uint32_t>(FoldedHashAscii(caption));
        Entry& entry = entries_[EntryOf(store, caption, hash)];
        if (entry.slot == kNone) {
            entry = {slot, hash};
            ++held_;
        } else {
            duplicates_ = true;
        }
    }
    return !duplicates_;
}

uint32_t RowOfCaption::Find(const MemberRowStore& store, std::string_view caption) const {
    if (entries_.empty()) {
        return kNone;
    }
    return entries_[EntryOf(store, caption, static_cast<uint32_t>(FoldedHashAscii(caption)))].slot;
}

bool RowOfCaption::Add(const MemberRowStore& store, uint32_t slot) {
    if (duplicates_ || (held_ + 1) * 4 > entries_.size() * 3) {
        return false;
    }
    const std::string_view caption = store[slot].Login();
    const auto hash = static_cast<uint32_t>(FoldedHashAscii(caption));
    Entry& entry = entries_[EntryOf(store, caption, hash)];
    if (entry.slot != kNone) {
        return false;
    }
    entry = {slot, hash};
    ++held_;
    return true;
}

void RowOfCaption::Remove(const MemberRowStore& store, uint32_t slot) {
    if (duplicates_ || entries_.empty()) {
        return;
    }
    const std::string_view caption = store[slot].Login();
    const size_t entry = EntryOf(store, caption, static_cast<uint32_t>(FoldedHashAscii(caption)));
    if (entries_[entry].slot == slot) {
        EmptyEntry(entry);
        --held_;
    }
}

// Backward-shift deletion keeps every probe run unbroken without tombstones.
void RowOfCaption::EmptyEntry(size_t entry) {
    const size_t mask = entries_.size() - 1;
    entries_[entry] = Entry();
    for (size_t next = (entry + 1) & mask; entries_[next].slot != kNone; next = (next + 1) & mask) {
        const size_t home = entries_[next].hash & mask;
        // The entry may move into the hole when its home is not in the cyclic range (entry, next].
        const bool homeBetween =
            entry <= next ? (entry < home && home <= next) : (entry < home || home <= next);
        if (!homeBetween) {
            entries_[entry] = entries_[next];
            entries_[next] = Entry();
            entry = next;
        }
    }
}

size_t RowOfCaption::EntryOf(const MemberRowStore& store, std::string_view caption, uint32_t hash) const {
    const size_t mask = entries_.size() - 1;
    for (size_t entry = hash & mask;; entry = (entry + 1) & mask) {
        const Entry& held = entries_[entry];
        if (held.slot == kNone || (held.hash == hash && SameTextAscii(store[held.slot].Login(), caption))) {
            return entry;
        }
    }
}

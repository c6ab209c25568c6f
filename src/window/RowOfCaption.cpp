#include "window/RowOfCaption.hpp"

#include <algorithm>
#include <bit>

#include "util/untCalc1.hpp"

namespace {

size_t EntriesFor(size_t rows) {
    return std::bit_ceil(std::max<size_t>(16, rows + rows / 3 + 1));
}

}  // namespace

void RowOfCaption::Build(const MemberRowStore& store, const std::vector<uint32_t>& order) {
    entries_.assign(EntriesFor(order.size()), kNone);
    held_ = 0;
    duplicates_ = false;
    for (const uint32_t slot : order) {
        const size_t entry = EntryOf(store, store[slot].Login);
        if (entries_[entry] == kNone) {
            entries_[entry] = slot;
            ++held_;
        } else {
            duplicates_ = true;
        }
    }
}

uint32_t RowOfCaption::Find(const MemberRowStore& store, std::string_view caption) const {
    return entries_.empty() ? kNone : entries_[EntryOf(store, caption)];
}

bool RowOfCaption::Add(const MemberRowStore& store, uint32_t slot) {
    if (duplicates_ || (held_ + 1) * 4 > entries_.size() * 3) {
        return false;
    }
    const size_t entry = EntryOf(store, store[slot].Login);
    if (entries_[entry] != kNone) {
        return false;
    }
    entries_[entry] = slot;
    ++held_;
    return true;
}

void RowOfCaption::Remove(const MemberRowStore& store, uint32_t slot) {
    if (duplicates_ || entries_.empty()) {
        return;
    }
    const size_t entry = EntryOf(store, store[slot].Login);
    if (entries_[entry] == slot) {
        EmptyEntry(store, entry);
        --held_;
    }
}

// Backward-shift deletion keeps every probe run unbroken without tombstones.
void RowOfCaption::EmptyEntry(const MemberRowStore& store, size_t entry) {
    const size_t mask = entries_.size() - 1;
    entries_[entry] = kNone;
    for (size_t next = (entry + 1) & mask; entries_[next] != kNone; next = (next + 1) & mask) {
        const size_t home = FoldedHashAscii(store[entries_[next]].Login) & mask;
        // The entry may move into the hole when its home is not in the cyclic range (entry, next].
        const bool homeBetween =
            entry <= next ? (entry < home && home <= next) : (entry < home || home <= next);
        if (!homeBetween) {
            entries_[entry] = entries_[next];
            entries_[next] = kNone;
            entry = next;
        }
    }
}

size_t RowOfCaption::EntryOf(const MemberRowStore& store, std::string_view caption) const {
    const size_t mask = entries_.size() - 1;
    for (size_t entry = FoldedHashAscii(caption) & mask;; entry = (entry + 1) & mask) {
        const uint32_t slot = entries_[entry];
        if (slot == kNone || SameTextAscii(store[slot].Login, caption)) {
            return entry;
        }
    }
}

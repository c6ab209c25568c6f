#include "rows/RowOfCaption.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "util/untCalc1.hpp"

namespace {

size_t EntriesFor(size_t rows) {
    return std::bit_ceil(std::max<size_t>(16, rows + rows / 3 + 1));
}

// Values ordered by turned hash, and by slot after that (the order they come in): a radix sort
// of three passes that go back and forth between the two blocks, and leave the values in sorted.
void SortTurned(HashedNumber* values, HashedNumber* sorted, size_t count) {
    HashedNumber* from = values;
    HashedNumber* to = sorted;
    constexpr int kDigitBits = 11;
    static_assert(3 * kDigitBits >= 32, "three passes cover the hash, and leave it in sorted");
    for (int shift = 0; shift < 32; shift += kDigitBits) {
        std::vector<size_t> start((size_t{1} << kDigitBits) + 1, 0);
        const auto digit = [shift](const HashedNumber& keyed) {
            return (keyed.hash >> shift) & ((1u << kDigitBits) - 1);
        };
        for (size_t i = 0; i < count; ++i) {
            ++start[digit(from[i]) + 1];
        }
        for (size_t d = 1; d < start.size(); ++d) {
            start[d] += start[d - 1];
        }
        for (size_t i = 0; i < count; ++i) {
            to[start[digit(from[i])]++] = from[i];
        }
        std::swap(from, to);
    }
}

}  // namespace

void RowOfCaption::Build(const MemberRowStore& store, const RowSlots& order) {
    // Only duplicates need the order, to hold the first of them.
    if (store.SlotCount() == order.size() && HoldInHomeOrder(store)) {
        return;
    }
    Hold(store, order);
}

bool RowOfCaption::BuildUnique(const MemberRowStore& store) {
    return HoldInHomeOrder(store);
}

// Entries put in in the order of their home entries fill the table front to back, once, where
// putting them in as the rows lie would write all over memory far larger than the cache. Each
// slot is put with its caption's folded hash, turned so that its home bits lead, and sorted.
// The sort needs two blocks of a value a slot; the table holds both when it has room for twice
// the rows, as it mostly does (a million rows take two million entries), so that only a smaller
// table takes a block of its own.
bool RowOfCaption::HoldInHomeOrder(const MemberRowStore& store) {
    entries_.resize(EntriesFor(store.SlotCount()));
    held_ = 0;
    duplicates_ = false;
    const int bits = std::countr_zero(entries_.size());
    const size_t mask = entries_.size() - 1;
    const size_t count = store.SlotCount();
    const size_t spare = entries_.size() - count;
    LargeVector<Entry> ownBlock(spare >= count ? 0 : count);
    Entry* const sorted = spare >= count ? entries_.data() + spare : ownBlock.data();
    for (uint32_t slot = 0; slot < count; ++slot) {
        const auto hash = static_cast<uint32_t>(FoldedHashAscii(store[slot].Login()));
        entries_[slot] = {slot, std::rotr(hash, bits)};
    }
    SortTurned(entries_.data(), sorted, count);
    // How many go in front to back; past the last entry, the rest go round to the first free ones.
    size_t inOrder = 0;
    size_t firstFree = 0;  // every entry before this one is taken
    for (size_t i = 0; i < count; ++i) {
        // Captions that fold alike hash alike, so the rows that share one lie next to each other.
        // A row is opened only then: rows lie in no order here, and each would miss the cache.
        for (size_t before = i; before-- > 0 && sorted[before].hash == sorted[i].hash;) {
            if (SameTextAscii(store[sorted[before].number].Login(), store[sorted[i].number].Login())) {
                duplicates_ = true;
                return false;
            }
        }
        const size_t home = std::rotl(sorted[i].hash, bits) & mask;
        if (std::max(home, firstFree) <= mask) {
            firstFree = std::max(home, firstFree) + 1;
            inOrder = i + 1;
        }
    }
    const std::vector<Entry> wrapped(sorted + inOrder, sorted + count);
    // Sorted in the table, those that go in order end at its end (they are moved up past the
    // ones that go round). The ones after each take places of their own after its place, so it
    // lands at or before where it is read from, and nothing unread is written over.
    const Entry* ordered = sorted;
    if (ownBlock.empty() && inOrder < count) {
        Entry* const end = entries_.data() + entries_.size() - inOrder;
        std::memmove(end, sorted, inOrder * sizeof(Entry));
        ordered = end;
    }
    firstFree = 0;
    for (size_t i = 0; i < inOrder; ++i) {
        const Entry entry{ordered[i].number, std::rotl(ordered[i].hash, bits)};
        const size_t at = std::max<size_t>(entry.hash & mask, firstFree);
        std::fill(entries_.begin() + static_cast<ptrdiff_t>(firstFree),
                  entries_.begin() + static_cast<ptrdiff_t>(at), Entry());
        entries_[at] = entry;
        firstFree = at + 1;
    }
    std::fill(entries_.begin() + static_cast<ptrdiff_t>(firstFree), entries_.end(), Entry());
    for (const Entry& turned : wrapped) {
        const Entry entry{turned.number, std::rotl(turned.hash, bits)};
        entries_[EntryOf(store, store[entry.number].Login(), entry.hash)] = entry;
    }
    held_ = count;
    return true;
}

bool RowOfCaption::Hold(const MemberRowStore& store, const RowSlots& slots) {
    entries_.assign(EntriesFor(store.SlotCount()), Entry());
    held_ = 0;
    duplicates_ = false;
    for (const uint32_t slot : slots) {
        const std::string_view caption = store[slot].Login();
        const auto hash = static_cast<uint32_t>(FoldedHashAscii(caption));
        Entry& entry = entries_[EntryOf(store, caption, hash)];
        if (entry.number == kNone) {
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
    return entries_[EntryOf(store, caption, static_cast<uint32_t>(FoldedHashAscii(caption)))].number;
}

bool RowOfCaption::Add(const MemberRowStore& store, uint32_t slot) {
    if (duplicates_ || (held_ + 1) * 4 > entries_.size() * 3) {
        return false;
    }
    const std::string_view caption = store[slot].Login();
    const auto hash = static_cast<uint32_t>(FoldedHashAscii(caption));
    Entry& entry = entries_[EntryOf(store, caption, hash)];
    if (entry.number != kNone) {
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
    if (entries_[entry].number == slot) {
        FreeEntry(entries_, entry);
        --held_;
    }
}

size_t RowOfCaption::EntryOf(const MemberRowStore& store, std::string_view caption, uint32_t hash) const {
    return ProbeFor(entries_, hash,
                    [&store, caption](uint32_t slot) { return SameTextAscii(store[slot].Login(), caption); });
}

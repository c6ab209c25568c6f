#include "rows/RowOfCaption.hpp"

#include <algorithm>
#include <bit>

#include "util/untCalc1.hpp"

namespace {

size_t EntriesFor(size_t rows) {
    return std::bit_ceil(std::max<size_t>(16, rows + rows / 3 + 1));
}

// Each slot with its caption's folded hash, ordered by the entry the hash makes its home in a
// table of 2^bits entries, and by slot after that: the hash is turned so that its home bits lead
// (as each entry's hash here), and a radix sort of three passes orders the turned hashes. The
// passes go back and forth between room (which must hold a value a slot) and the block returned.
LargeVector<HashedNumber> SlotsInHomeOrder(const MemberRowStore& store, int bits, HashedNumber* room) {
    const auto count = static_cast<uint32_t>(store.SlotCount());
    for (uint32_t slot = 0; slot < count; ++slot) {
        const auto hash = static_cast<uint32_t>(FoldedHashAscii(store[slot].Login()));
        room[slot] = {slot, std::rotr(hash, bits)};
    }
    LargeVector<HashedNumber> sorted(count);
    HashedNumber* from = room;
    HashedNumber* to = sorted.data();
    constexpr int kDigitBits = 11;
    static_assert(3 * kDigitBits >= 32, "three passes cover the hash, and leave it in sorted");
    for (int shift = 0; shift < 32; shift += kDigitBits) {
        std::vector<uint32_t> start((1u << kDigitBits) + 1, 0);
        const auto digit = [shift](const HashedNumber& keyed) {
            return (keyed.hash >> shift) & ((1u << kDigitBits) - 1);
        };
        for (uint32_t i = 0; i < count; ++i) {
            ++start[digit(from[i]) + 1];
        }
        for (size_t d = 1; d < start.size(); ++d) {
            start[d] += start[d - 1];
        }
        for (uint32_t i = 0; i < count; ++i) {
            to[start[digit(from[i])]++] = from[i];
        }
        std::swap(from, to);
    }
    return sorted;
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
// putting them in as the rows lie would write all over memory far larger than the cache.
bool RowOfCaption::HoldInHomeOrder(const MemberRowStore& store) {
    entries_.resize(EntriesFor(store.SlotCount()));
    held_ = 0;
    duplicates_ = false;
    const int bits = std::countr_zero(entries_.size());
    const size_t mask = entries_.size() - 1;
    // The table's own room serves the sort, as the table is filled only after it.
    const LargeVector<HashedNumber> keyed = SlotsInHomeOrder(store, bits, entries_.data());
    std::fill(entries_.begin(), entries_.end(), Entry());
    std::vector<Entry> wrapped;  // past the last entry, they go round to the first free ones
    size_t firstFree = 0;        // every entry before this one is taken
    for (size_t i = 0; i < keyed.size(); ++i) {
        const Entry entry{keyed[i].number, std::rotl(keyed[i].hash, bits)};
        // Captions that fold alike hash alike, so the rows that share one lie next to each other.
        // A row is opened only then: rows lie in no order here, and each would miss the cache.
        for (size_t before = i; before-- > 0 && keyed[before].hash == keyed[i].hash;) {
            if (SameTextAscii(store[keyed[before].number].Login(), store[entry.number].Login())) {
                duplicates_ = true;
                return false;
            }
        }
        const size_t at = std::max<size_t>(entry.hash & mask, firstFree);
        if (at > mask) {
            wrapped.push_back(entry);
            continue;
        }
        entries_[at] = entry;
        firstFree = at + 1;
    }
    for (const Entry& entry : wrapped) {
        entries_[EntryOf(store, store[entry.number].Login(), entry.hash)] = entry;
    }
    held_ = keyed.size();
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

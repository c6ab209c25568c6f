#include "rows/CaptionOrder.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

// The keys of one sort, made on two threads into two blocks: a key's number is where it starts
// in its block, with the top bit set for the second. Neither block is copied into the other,
// which would cost a pass and fresh memory for the second block's size.
class KeyBlocks {
public:
    static constexpr uint32_t kSecond = uint32_t{1} << 31;

    KeyBlocks(const SortKeys& first, const SortKeys& second) : starts_{first.At(0), second.At(0)} {}

    const char* At(uint32_t key) const { return starts_[key >> 31] + (key & ~kSecond); }

private:
    const char* starts_[2];
};

// Orders entries whose keys agree before depth, and whose heads hold the eight bytes from there:
// by head, then by the rest of the key when no zero ended it among those bytes, then by row.
auto KeysBefore(const KeyBlocks& keys, size_t depth) {
    return [&keys, depth](const SortEntry& a, const SortEntry& b) {
        if (a.head != b.head) {
            return a.head < b.head;
        }
        if ((a.head & 0xFF) != 0) {
            const int rest = std::strcmp(keys.At(a.key) + depth + 8, keys.At(b.key) + depth + 8);
            if (rest != 0) {
                return rest < 0;
            }
        }
        return a.row < b.row;
    };
}

// Sorts entries by their keys and then by row. Many captions share their first letters, so a
// comparison of whole keys would mostly go through the same bytes again: the entries are split
// three ways on eight bytes of their keys at a time (a multikey quicksort), and only those
// equal in them go on to the next eight bytes.
class EntrySorter {
public:
    explicit EntrySorter(const KeyBlocks& keys) : keys_(keys) {}

    // Every entry's head holds the first eight bytes of its key; afterwards, those of a later
    // place, until PutHeadsBack.
    void Sort(SortEntry* first, SortEntry* last) const {
        int budget = 2;  // against pivots picked badly, as an introsort limits its depth
        for (auto size = last - first; size > 1; size >>= 1) {
            budget += 2;
        }
        SortFrom(first, last, 0, budget);
    }

    void PutHeadsBack(SortEntry* first, SortEntry* last) const { ReadHeads(first, last, 0); }

private:
    static constexpr ptrdiff_t kFewEntries = 16;

    // The entries' keys agree before depth; their heads hold the eight bytes from there.
    void SortFrom(SortEntry* first, SortEntry* last, size_t depth, int budget) const {
        while (last - first > kFewEntries) {
            if (budget-- == 0) {
                std::sort(first, last, KeysBefore(keys_, depth));
                return;
            }
            const uint64_t pivot = MedianHead(first, last);
            SortEntry* less = first;
            SortEntry* more = last;
            for (SortEntry* entry = first; entry < more;) {
                if (entry->head < pivot) {
                    std::swap(*less++, *entry++);
                } else if (entry->head > pivot) {
                    std::swap(*entry, *--more);
                } else {
                    ++entry;
                }
            }
            SortFrom(first, less, depth, budget);
            SortFrom(more, last, depth, budget);
            if ((pivot & 0xFF) == 0) {
                // Their keys ended among these bytes: they are equal, and go by row.
                std::sort(less, more, [](const SortEntry& a, const SortEntry& b) { return a.row < b.row; });
                return;
            }
            depth += 8;
            ReadHeads(less, more, depth);
            first = less;
            last = more;
        }
        std::sort(first, last, KeysBefore(keys_, depth));
    }

    // Each entry's head from depth on. Sorted entries point at keys all over a block far larger
    // than the cache, so the keys some entries ahead are asked for while these are read, and the
    // memory fetches many at once instead of one after another.
    void ReadHeads(SortEntry* first, SortEntry* last, size_t depth) const {
        constexpr ptrdiff_t kAhead = 16;
        for (SortEntry* entry = first; entry != last; ++entry) {
            if (last - entry > kAhead) {
                __builtin_prefetch(keys_.At(entry[kAhead].key) + depth);
            }
            entry->head = HeadOf(keys_.At(entry->key) + depth);
        }
    }

    uint64_t MedianHead(const SortEntry* first, const SortEntry* last) const {
        const uint64_t a = first->head;
        const uint64_t b = first[(last - first) / 2].head;
        const uint64_t c = last[-1].head;
        return std::max(std::min(a, b), std::min(std::max(a, b), c));
    }

    const KeyBlocks& keys_;
};

// The rows from first to last, each with its key, into the entries from out on; block: the
// KeyBlocks bit of the block keys is.
void KeyRows(const MemberRows& rows, size_t first, size_t last, SortKeys& keys, uint32_t block,
             SortEntry* out) {
    for (size_t row = first; row < last; ++row) {
        const uint32_t key = keys.Add(rows[row].Login());
        if ((key & KeyBlocks::kSecond) != 0) {
            throw std::length_error("sort keys past two gigabytes");
        }
        *out++ = {HeadOf(keys.At(key)), key | block, static_cast<uint32_t>(row)};
    }
}

// Both halves of the entries sorted, merged into the rows' numbers.
RowSlots Merged(const GrowingArray<SortEntry>& entries, size_t half, const KeyBlocks& keys, size_t room) {
    const auto before = KeysBefore(keys, 0);
    RowSlots order;
    order.reserve(std::max(entries.size(), room));
    const SortEntry* first = entries.begin();
    const SortEntry* const firstEnd = entries.begin() + half;
    auto second = firstEnd;
    while (first != firstEnd || second != entries.end()) {
        const bool takeSecond = first == firstEnd || (second != entries.end() && before(*second, *first));
        order.push_back(takeSecond ? (second++)->row : (first++)->row);
    }
    return order;
}

}  // namespace

// The rows not keyed ahead are keyed in two parts side by side, each with a collator and a block
// of its own; then the two halves of all entries are sorted side by side and merged. Equal keys
// fall back on the row, so the order is the one a single sort gives.
RowSlots RowsInCaptionOrder(const MemberRows& rows, const Collation& collation, KeyedCaptions ahead,
                            size_t room) {
    if (!ahead.keys || ahead.entries.size() > rows.size()) {
        ahead.keys.emplace(collation);
        ahead.entries.clear();
    }
    SortKeys& keys = *ahead.keys;
    GrowingArray<SortEntry>& entries = ahead.entries;
    const size_t keyed = entries.size();
    const size_t middle = keyed + (rows.size() - keyed) / 2;
    entries.resize(rows.size());
    SortKeys laterKeys(collation);
    auto laterKeyed = std::async(ThreadFor(rows.size() - keyed), [&] {
        laterKeys.Reserve(rows.size() - middle);
        KeyRows(rows, middle, rows.size(), laterKeys, KeyBlocks::kSecond, entries.data() + middle);
    });
    keys.Reserve(middle - keyed);
    KeyRows(rows, keyed, middle, keys, 0, entries.data() + keyed);
    laterKeyed.get();

    const size_t half = rows.size() / 2;
    const KeyBlocks blocks(keys, laterKeys);
    const EntrySorter sorter(blocks);
    const auto sort = [&sorter](SortEntry* first, SortEntry* last) {
        sorter.Sort(first, last);
        sorter.PutHeadsBack(first, last);
    };
    SortEntry* const all = entries.data();
    auto laterSorted = std::async(ThreadFor(rows.size()), [&] { sort(all + half, all + entries.size()); });
    sort(all, all + half);
    laterSorted.get();
    return Merged(entries, half, blocks, room);
}

void SortRowsByCaption(MemberRows& rows, const Collation& collation) {
    MemberRows sorted;
    sorted.reserve(rows.size());
    for (const uint32_t row : RowsInCaptionOrder(rows, collation)) {
        sorted.push_back(std::move(rows[row]));
    }
    rows = std::move(sorted);
}

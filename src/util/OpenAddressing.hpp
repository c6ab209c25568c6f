#pragma once

#include <cstddef>
#include <cstdint>

// One entry of an open-addressing table with linear probing over a power-of-two number of
// entries: a number that stands for what the table finds (a record, the slot of a row), and the
// low half of its key's hash, so that probing, growing and moving entries compare and place
// them without reading what they stand for.
struct HashedNumber {
    static constexpr uint32_t kNone = UINT32_MAX;  // a free entry

    uint32_t number = kNone;
    uint32_t hash = 0;
};

// The entry holding the number whose key has this hash and is the one looked for
// (sameKey(number) says whether it is), or the free entry where it would go. The table has at
// least one free entry; sameKey is called only when the hashes agree.
template <class Entries, class SameKey>
size_t ProbeFor(const Entries& entries, uint32_t hash, SameKey sameKey) {
    const size_t mask = entries.size() - 1;
    for (size_t entry = hash & mask;; entry = (entry + 1) & mask) {
        const HashedNumber& held = entries[entry];
        if (held.number == HashedNumber::kNone || (held.hash == hash && sameKey(held.number))) {
            return entry;
        }
    }
}

// Frees an entry. Backward-shift deletion keeps every probe run unbroken without tombstones.
template <class Entries>
void FreeEntry(Entries& entries, size_t entry) {
    const size_t mask = entries.size() - 1;
    entries[entry] = HashedNumber();
    for (size_t next = (entry + 1) & mask; entries[next].number != HashedNumber::kNone;
         next = (next + 1) & mask) {
        const size_t home = entries[next].hash & mask;
        // The entry may move into the hole when its home is not in the cyclic range (entry, next].
        const bool homeBetween =
            entry <= next ? (entry < home && home <= next) : (entry < home || home <= next);
        if (!homeBetween) {
            entries[entry] = entries[next];
            entries[next] = HashedNumber();
            entry = next;
        }
    }
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "rows/MemberRowStore.hpp"
#include "util/OpenAddressing.hpp"

// Rows found by caption with ASCII letter case ignored: an open-addressing table hashed on the
// folded caption, with no folded copy of a million captions. It holds the slots where the rows
// are stored, which stay put while rows come and go around them, so one row in or out changes
// one entry and the report after it never waits for a new table.
class RowOfCaption {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // order lists the slots of store in row order; of two rows with one folded caption, the
    // first is held. When every slot holds a row, they are read in the order they lie in.
    void Build(const MemberRowStore& store, const RowSlots& order);
    // The same when every slot of store holds a row and no two rows share a folded caption,
    // which needs no order; false when two do, and Build must be given the order.
    bool BuildUnique(const MemberRowStore& store);
    // The slot of the row whose caption equals caption with ASCII letter case ignored, or kNone.
    uint32_t Find(const MemberRowStore& store, std::string_view caption) const;
    // store[slot] has just been filled. False when the table has to be built afresh instead:
    // another row has the same folded caption (only the order can tell which is first), or the
    // table is full.
    bool Add(const MemberRowStore& store, uint32_t slot);
    // store[slot] is about to be emptied; with duplicates, build afresh once it is.
    void Remove(const MemberRowStore& store, uint32_t slot);
    // Two rows share a folded caption, so the table holds only the first and changes to the
    // rows need a new table.
    bool HasDuplicates() const { return duplicates_; }

private:
    // A slot with the low half of its caption's folded hash, so that a probe opens a row only
    // when the hashes agree and moving an entry needs no row at all.
    using Entry = HashedNumber;

    // Puts every slot of slots in; false when one of them shares a folded caption with another.
    bool Hold(const MemberRowStore& store, const RowSlots& slots);
    // The same for every slot of store, each of which holds a row.
    bool HoldInHomeOrder(const MemberRowStore& store);
    // The table entry that holds the caption's slot, or the empty entry where it would go.
    size_t EntryOf(const MemberRowStore& store, std::string_view caption, uint32_t hash) const;

    LargeVector<Entry> entries_;  // size a power of two, at most 3/4 full
    size_t held_ = 0;
    bool duplicates_ = false;
};

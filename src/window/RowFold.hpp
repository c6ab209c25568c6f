#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "rows/MemberRowStore.hpp"

// The rows of a burst of single rows coming and going, kept beside the rows' order instead of in
// it: the order as it stood when the burst began stays put, rows that go are marked, rows that
// come wait in the gap before the row they precede, and a Fenwick tree over rows and gaps
// gives any row's place in a few steps. The burst's end writes the order once, so a hundred
// thousand rows in or out cost one pass over a million instead of one each.
class RowFold {
public:
    // Starts from the rows in this order.
    void Begin(const RowSlots& order);
    bool Active() const { return active_; }
    int Count() const { return count_; }
    // The slot of the row at this place now.
    uint32_t SlotAt(int row) const;
    // A slot goes in so that it stands at row, before the row that stood there.
    void Insert(int row, uint32_t slot);
    void Remove(int row);
    // Where a row of the first order stands now; -1 when it went.
    int RowOfFirst(int first) const;
    bool FirstRemoved(int first) const { return leaf_[LeafOfFirst(first)] == 0; }
    // Whether rows came before this row of the first order, after the one before it.
    bool RowsCameBefore(int first) const { return leaf_[LeafOfGap(first)] != 0; }
    // The row a slot that came during the burst stands at; -1 when it is not one of them.
    int RowOfCome(uint32_t slot) const;
    // Every row from the last to the first until visit returns true.
    void WalkBack(const std::function<bool(int row, uint32_t slot)>& visit) const;
    // The rows before this place stood as they stand now since the burst began.
    int FirstRowTouched() const { return firstTouched_; }
    int FirstCount() const { return static_cast<int>(first_.size()); }
    // The rows in their order now; the fold ends.
    RowSlots Finish();

private:
    // Leaf 2g is the gap before row g of the first order, leaf 2g + 1 that row.
    static int LeafOfGap(int gap) { return 2 * gap; }
    static int LeafOfFirst(int first) { return 2 * first + 1; }
    void Add(int leaf, int delta);
    // The rows before a leaf.
    int RowsBefore(int leaf) const;
    // The leaf holding the row at this place, and its place within the leaf.
    std::pair<int, int> Find(int row) const;

    bool active_ = false;
    int count_ = 0;
    int firstTouched_ = 0;
    RowSlots first_;
    std::vector<int32_t> leaf_;  // rows in each leaf
    std::vector<int32_t> tree_;  // Fenwick sums over leaf_, 1-based
    int topBit_ = 1;
    std::unordered_map<int, std::vector<uint32_t>> came_;  // gap -> the slots that came into it, in order
    std::unordered_map<uint32_t, int> gapOfCome_;
};

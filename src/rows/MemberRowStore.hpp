#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "rows/MemberRow.hpp"

// The slots of rows in the order a list shows them.
using RowSlots = LargeVector<uint32_t>;

// Rows in the slots they were put in, which they keep while others come and go: the rows of the
// last rebuild in one array, as they came, and the rows added since in another, so that adding
// one row never moves the million before it. A freed slot is used again by the next row added.
class MemberRowStore {
public:
    void Replace(MemberRows rows) {
        rebuilt_ = std::move(rows);
        added_.clear();
        free_.clear();
    }

    uint32_t Add(MemberRow row) {
        if (free_.empty()) {
            added_.push_back(std::move(row));
            return static_cast<uint32_t>(SlotCount() - 1);
        }
        const uint32_t slot = free_.back();
        free_.pop_back();
        (*this)[slot] = std::move(row);
        return slot;
    }

    void Free(uint32_t slot) {
        (*this)[slot] = MemberRow();
        free_.push_back(slot);
    }

    const MemberRow& operator[](uint32_t slot) const {
        return slot < rebuilt_.size() ? rebuilt_[slot] : added_[slot - rebuilt_.size()];
    }
    MemberRow& operator[](uint32_t slot) {
        return slot < rebuilt_.size() ? rebuilt_[slot] : added_[slot - rebuilt_.size()];
    }

    size_t SlotCount() const { return rebuilt_.size() + added_.size(); }
    // The rows Replace put in, in slots 0 on.
    const MemberRows& RebuiltRows() const { return rebuilt_; }

private:
    MemberRows rebuilt_;
    MemberRows added_;
    std::vector<uint32_t> free_;
};

// The rows of a store in the order a list shows them, read through the list of their slots in row
// order; it holds neither, which must outlive it.
class RowsInOrder {
public:
    RowsInOrder(const MemberRowStore& store, const RowSlots& order) : store_(&store), order_(&order) {}

    int RowCount() const { return static_cast<int>(order_->size()); }
    const MemberRow& Row(int row) const { return (*store_)[(*order_)[static_cast<size_t>(row)]]; }

private:
    const MemberRowStore* store_;
    const RowSlots* order_;
};

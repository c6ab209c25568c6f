#include "window/RowFold.hpp"

#include <algorithm>
#include <bit>

void RowFold::Begin(const RowSlots& order) {
    first_.assign(order.begin(), order.end());
    const size_t leaves = 2 * first_.size() + 1;
    leaf_.assign(leaves, 0);
    for (size_t first = 0; first < first_.size(); ++first) {
        leaf_[2 * first + 1] = 1;
    }
    // Built in one pass: each node hands its sum on to its parent.
    tree_.assign(leaves + 1, 0);
    for (size_t i = 1; i <= leaves; ++i) {
        tree_[i] += leaf_[i - 1];
        const size_t parent = i + (i & (~i + 1));
        if (parent <= leaves) {
            tree_[parent] += tree_[i];
        }
    }
    topBit_ = static_cast<int>(std::bit_floor(leaves));
    came_.clear();
    gapOfCome_.clear();
    count_ = static_cast<int>(first_.size());
    firstTouched_ = count_;
    active_ = true;
}

void RowFold::Add(int leaf, int delta) {
    leaf_[static_cast<size_t>(leaf)] += delta;
    for (size_t i = static_cast<size_t>(leaf) + 1; i < tree_.size(); i += i & (~i + 1)) {
        tree_[i] += delta;
    }
}

int RowFold::RowsBefore(int leaf) const {
    int sum = 0;
    for (size_t i = static_cast<size_t>(leaf); i > 0; i -= i & (~i + 1)) {
        sum += tree_[i];
    }
    return sum;
}

std::pair<int, int> RowFold::Find(int row) const {
    // The last leaf whose rows before it number at most row.
    size_t at = 0;
    int left = row;
    for (size_t step = static_cast<size_t>(topBit_); step > 0; step >>= 1) {
        if (at + step < tree_.size() && tree_[at + step] <= left) {
            at += step;
            left -= tree_[at];
        }
    }
    return {static_cast<int>(at), left};
}

uint32_t RowFold::SlotAt(int row) const {
    const auto [leaf, within] = Find(row);
    if (leaf % 2 == 1) {
        return first_[static_cast<size_t>(leaf / 2)];
    }
    return came_.at(leaf / 2)[static_cast<size_t>(within)];
}

void RowFold::Insert(int row, uint32_t slot) {
    int gap = FirstCount();
    size_t place = came_.count(gap) != 0 ? came_[gap].size() : 0;
    if (row < count_) {
        const auto [leaf, within] = Find(row);
        gap = leaf / 2;
        place = leaf % 2 == 1 ? (came_.count(gap) != 0 ? came_[gap].size() : 0) : static_cast<size_t>(within);
    }
    std::vector<uint32_t>& came = came_[gap];
    came.insert(came.begin() + static_cast<std::ptrdiff_t>(place), slot);
    gapOfCome_[slot] = gap;
    Add(LeafOfGap(gap), 1);
    ++count_;
    firstTouched_ = std::min(firstTouched_, row);
}

void RowFold::Remove(int row) {
    const auto [leaf, within] = Find(row);
    if (leaf % 2 == 0) {
        std::vector<uint32_t>& came = came_.at(leaf / 2);
        gapOfCome_.erase(came[static_cast<size_t>(within)]);
        came.erase(came.begin() + within);
    }
    Add(leaf, -1);
    --count_;
    firstTouched_ = std::min(firstTouched_, row);
}

int RowFold::RowOfFirst(int first) const {
    return FirstRemoved(first) ? -1 : RowsBefore(LeafOfFirst(first));
}

int RowFold::RowOfCome(uint32_t slot) const {
    const auto gap = gapOfCome_.find(slot);
    if (gap == gapOfCome_.end()) {
        return -1;
    }
    const std::vector<uint32_t>& came = came_.at(gap->second);
    const auto at = std::find(came.begin(), came.end(), slot);
    return RowsBefore(LeafOfGap(gap->second)) + static_cast<int>(at - came.begin());
}

void RowFold::WalkBack(const std::function<bool(int row, uint32_t slot)>& visit) const {
    int row = count_;
    for (int gap = FirstCount(); gap >= 0; --gap) {
        if (gap < FirstCount() && !FirstRemoved(gap) && visit(--row, first_[static_cast<size_t>(gap)])) {
            return;
        }
        if (leaf_[static_cast<size_t>(LeafOfGap(gap))] != 0) {
            const std::vector<uint32_t>& came = came_.at(gap);
            for (auto slot = came.rbegin(); slot != came.rend(); ++slot) {
                if (visit(--row, *slot)) {
                    return;
                }
            }
        }
    }
}

RowSlots RowFold::Finish() {
    RowSlots order;
    order.reserve(static_cast<size_t>(count_) + static_cast<size_t>(count_) / 64 + 16);
    for (int gap = 0; gap <= FirstCount(); ++gap) {
        if (leaf_[static_cast<size_t>(LeafOfGap(gap))] != 0) {
            const std::vector<uint32_t>& came = came_.at(gap);
            order.insert(order.end(), came.begin(), came.end());
        }
        if (gap < FirstCount() && !FirstRemoved(gap)) {
            order.push_back(first_[static_cast<size_t>(gap)]);
        }
    }
    active_ = false;
    leaf_ = {};
    tree_ = {};
    came_.clear();
    gapOfCome_.clear();
    return order;
}

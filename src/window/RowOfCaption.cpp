#include "window/RowOfCaption.hpp"

#include <algorithm>
#include <bit>

#include "util/untCalc1.hpp"

namespace {

size_t SlotsFor(size_t rows) {
    return std::bit_ceil(std::max<size_t>(16, rows + rows / 3 + 1));
}

}  // namespace

void RowOfCaption::Build(const std::vector<MemberRow>& rows) {
    slots_.assign(SlotsFor(rows.size()), kEmpty);
    duplicates_ = false;
    for (size_t row = 0; row < rows.size(); ++row) {
        const size_t slot = SlotOf(rows, rows[row].Login);
        if (slots_[slot] == kEmpty) {
            slots_[slot] = static_cast<uint32_t>(row);
        } else {
            duplicates_ = true;
        }
    }
}

int RowOfCaption::Find(const std::vector<MemberRow>& rows, std::string_view caption) const {
    if (slots_.empty()) {
        return -1;
    }
    const uint32_t row = slots_[SlotOf(rows, caption)];
    return row == kEmpty ? -1 : static_cast<int>(row);
}

void RowOfCaption::Inserted(const std::vector<MemberRow>& rows, int row) {
    if (duplicates_ || rows.size() * 4 > slots_.size() * 3) {
        Build(rows);
        return;
    }
    const auto inserted = static_cast<uint32_t>(row);
    for (uint32_t& held : slots_) {
        if (held != kEmpty && held >= inserted) {
            ++held;
        }
    }
    const size_t slot = SlotOf(rows, rows[inserted].Login);
    if (slots_[slot] != kEmpty) {
        Build(rows);
        return;
    }
    slots_[slot] = inserted;
}

void RowOfCaption::Removing(const std::vector<MemberRow>& rows, int row) {
    if (duplicates_ || slots_.empty()) {
        return;
    }
    const auto removed = static_cast<uint32_t>(row);
    const size_t slot = SlotOf(rows, rows[removed].Login);
    if (slots_[slot] == removed) {
        EmptySlot(rows, slot);
    }
    for (uint32_t& held : slots_) {
        if (held != kEmpty && held > removed) {
            --held;
        }
    }
}

// Backward-shift deletion keeps every probe run unbroken without tombstones.
void RowOfCaption::EmptySlot(const std::vector<MemberRow>& rows, size_t slot) {
    const size_t mask = slots_.size() - 1;
    slots_[slot] = kEmpty;
    for (size_t next = (slot + 1) & mask; slots_[next] != kEmpty; next = (next + 1) & mask) {
        const size_t home = FoldedHashAscii(rows[slots_[next]].Login) & mask;
        // The entry may move into the hole when its home is not in the cyclic range (slot, next].
        const bool homeBetween = slot <= next ? (slot < home && home <= next) : (slot < home || home <= next);
        if (!homeBetween) {
            slots_[slot] = slots_[next];
            slots_[next] = kEmpty;
            slot = next;
        }
    }
}

size_t RowOfCaption::SlotOf(const std::vector<MemberRow>& rows, std::string_view caption) const {
    const size_t mask = slots_.size() - 1;
    for (size_t slot = FoldedHashAscii(caption) & mask;; slot = (slot + 1) & mask) {
        const uint32_t row = slots_[slot];
        if (row == kEmpty || SameTextAscii(rows[row].Login, caption)) {
            return slot;
        }
    }
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "window/MemberRow.hpp"

// Rows found by caption with ASCII letter case ignored: an open-addressing table of row
// numbers hashed on the folded caption, with no folded copy of a million captions, kept up to
// date as single rows come and go so that the report after one never waits for a new table.
class RowOfCaption {
public:
    void Build(const std::vector<MemberRow>& rows);
    // The first row whose caption equals caption with ASCII letter case ignored, or -1.
    int Find(const std::vector<MemberRow>& rows, std::string_view caption) const;
    // rows[row] has just been put in; the rows after it moved down by one.
    void Inserted(const std::vector<MemberRow>& rows, int row);
    // rows[row] is about to be taken out; with duplicates, build afresh once it is out.
    void Removing(const std::vector<MemberRow>& rows, int row);
    // Two rows share a folded caption, so the table holds only the first and changes to the
    // rows need a new table.
    bool HasDuplicates() const { return duplicates_; }

private:
    static constexpr uint32_t kEmpty = UINT32_MAX;

    // The slot that holds the caption's row, or the empty slot where it would go.
    size_t SlotOf(const std::vector<MemberRow>& rows, std::string_view caption) const;
    void EmptySlot(const std::vector<MemberRow>& rows, size_t slot);

    std::vector<uint32_t> slots_;  // row numbers; size a power of two, at most 3/4 full
    bool duplicates_ = false;
};

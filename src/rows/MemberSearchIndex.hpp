#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class MemberRow;
class MemberSearch;
class RowsInOrder;

// Every row's login, protocols and user bots, case folded, in one block of memory, so that
// finding a member among a million is one pass of a substring search instead of a walk over
// a million scattered strings. The block covers the first rows and grows by `Extend`, a slice
// at a time, so that making it never holds the window; a search it cannot answer yet waits
// for more of it. Rows rewritten in place since they were folded are searched one by one,
// until there are too many of them.
class MemberSearchIndex {
public:
    // All rows may have changed (a rebuild).
    void Invalidate();
    // Rows from `first` on moved or changed (a row put in or taken out there).
    void InvalidateFrom(int first);
    // Rows first..last were rewritten in place.
    void MarkChanged(int first, int last);
    // One row put in at `row` (member), or taken out there: the rows after it move along in the
    // block instead of being given up, so that a search over the block stays one pass.
    void InsertRow(int row, const MemberRow& member);
    void RemoveRow(int row);

    // Folds up to `rowBudget` more rows into the block; true once it covers every row.
    bool Extend(const RowsInOrder& rows, int rowBudget);
    bool Covers(const RowsInOrder& rows) const;

    // The first matching row met walking from row `from` (itself included) by `step` (+1 or
    // -1), wrapping around the ends; -1 when no row matches; nothing while the answer depends
    // on rows not yet folded.
    std::optional<int> FindFrom(const RowsInOrder& rows, const MemberSearch& search, int from,
                                int step) const;

    // Calls match with every matching row, in row order, in one pass over the block; false (and
    // no call) when the block does not cover every row.
    bool ForEachMatch(const RowsInOrder& rows, const MemberSearch& search,
                      const std::function<void(int row)>& match) const;

private:
    int FoldedRows() const { return static_cast<int>(starts_.size()) - 1; }
    int RowAt(size_t offset) const;
    // The first (forward) or last matching row among the folded rows first..end-1, or -1.
    int FirstFolded(const RowsInOrder& rows, const MemberSearch& search, int first, int end) const;
    int LastFolded(const RowsInOrder& rows, const MemberSearch& search, int first, int end) const;

    // Row r's fields, each ended by a zero byte, a text can hold none of them.
    std::string folded_;
    std::vector<size_t> starts_{0};  // row -> offset in folded_; one more for the end
    std::unordered_set<int> changed_;
};

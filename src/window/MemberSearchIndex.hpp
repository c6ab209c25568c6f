#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

class MemberListModel;
class MemberSearch;

// Every row's login, protocols and user bots, case folded, in one block of memory, so that
// finding a member among a million is one pass of a substring search instead of a walk over
// a million scattered strings. Built on the first search after the rows were replaced; rows
// rewritten in place since are searched one by one until there are too many of them.
class MemberSearchIndex {
public:
    // All rows may have changed (a rebuild).
    void Invalidate();
    // Rows first..last were rewritten in place.
    void MarkChanged(int first, int last);

    // The first matching row met walking from row `from` (itself included) by `step` (+1 or
    // -1), wrapping around the ends; -1 when no row matches.
    int FindFrom(const MemberListModel& rows, const MemberSearch& search, int from, int step);

private:
    void Build(const MemberListModel& rows);
    int RowAt(size_t offset) const;
    // The first (forward) or last matching row in first..end-1, or -1.
    int FirstIn(const MemberListModel& rows, const MemberSearch& search, int first, int end) const;
    int LastIn(const MemberListModel& rows, const MemberSearch& search, int first, int end) const;

    bool built_ = false;
    // Row r's fields, each ended by a zero byte, a text can hold none of them.
    std::string folded_;
    std::vector<size_t> starts_;  // row -> offset in folded_; one more for the end
    std::unordered_set<int> changed_;
};

#pragma once

#include <array>
#include <string>
#include <string_view>

#include "window/MemberRow.hpp"

class MemberListModel;

// "Which member has this in its login, protocols or user bots?", on the rows' own bytes with
// ASCII letter case ignored: no text conversion per row, so a million rows stay a plain scan.
class MemberSearch {
public:
    explicit MemberSearch(std::string_view text);

    bool Empty() const { return folded_.empty(); }
    bool Matches(const MemberRow& row) const;
    bool Contains(std::string_view haystack) const;

    // The first matching row met walking from row `from` (itself included) by `step` (+1 or
    // -1), wrapping around the ends; -1 when no row matches.
    int FindFrom(const MemberListModel& rows, int from, int step) const;

private:
    std::string folded_;
};

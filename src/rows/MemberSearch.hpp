#pragma once

#include <string>
#include <string_view>

#include "rows/MemberRow.hpp"

// "Which member has this in its login, protocols or user bots?", on the rows' own bytes with
// ASCII letter case ignored: no text conversion per row, so a million rows stay a plain scan.
class MemberSearch {
public:
    explicit MemberSearch(std::string_view text);

    bool Empty() const { return folded_.empty(); }
    bool Matches(const MemberRow& row) const;
    bool Contains(std::string_view haystack) const;
    // The text folded as the rows are for searching.
    const std::string& Folded() const { return folded_; }

    static void FoldInto(std::string& out, std::string_view text);
    // Writes text folded at `out`, which has room for it; returns the end of what it wrote.
    static char* FoldTo(char* out, std::string_view text);

private:
    std::string folded_;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Text routines shared by every layer. Texts are 8-bit strings held byte for byte; none of
// these routines fails on any input.

using TextList = std::vector<std::string>;

// Removes leading and trailing bytes of code 0 to 32.
std::string Trim(std::string_view text);
// The same, as a view into the text.
std::string_view TrimView(std::string_view text);

// Decimal (optional sign) or hexadecimal ("$", "x", "X", "0x", "0X") integer after leading
// spaces; anything else, a trailing blank included, gives the default.
int32_t StrToIntDef(std::string_view text, int32_t defaultValue);

// Cuts the source at the first occurrence of the separator. The source is taken by value so
// that it may be the same variable as either output ("pop the first field in place").
void SplitFirst(std::string source, std::string_view separator, bool trim, std::string& first,
                std::string& rest);
// The same cut as views into the source, for the hot paths that only read the pieces; first and
// rest may be the variable the source came from.
void SplitFirst(std::string_view source, std::string_view separator, bool trim, std::string_view& first,
                std::string_view& rest);
// The same cut at a single character, for the lines of a million-member list. Their fields are
// a few bytes long, so the cut is made in place rather than by calls, and a trimmed source is not
// trimmed again at its outer ends.
inline void SplitFirst(std::string_view source, char separator, bool trim, std::string_view& first,
                       std::string_view& rest) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const char* begin = source.data();
    const char* end = begin + source.size();
    if (trim) {
        while (begin != end && blank(*begin)) {
            ++begin;
        }
        while (end != begin && blank(end[-1])) {
            --end;
        }
    }
    const auto* cut =
        begin == end
            ? nullptr
            : static_cast<const char*>(std::memchr(begin, separator, static_cast<size_t>(end - begin)));
    if (cut == nullptr) {
        first = std::string_view(begin, static_cast<size_t>(end - begin));
        rest = {};
        return;
    }
    // The source begins and ends with no blank, so the head can only end with blanks and the
    // tail only begin with them.
    const char* headEnd = cut;
    const char* tailBegin = cut + 1;
    if (trim) {
        while (headEnd != begin && blank(headEnd[-1])) {
            --headEnd;
        }
        while (tailBegin != end && blank(*tailBegin)) {
            ++tailBegin;
        }
    }
    first = std::string_view(begin, static_cast<size_t>(headEnd - begin));
    rest = std::string_view(tailBegin, static_cast<size_t>(end - tailBegin));
}

// Replaces every non-overlapping occurrence, left to right; the replacement is never rescanned.
std::string ReplaceAll(std::string_view source, std::string_view find, std::string_view replacement);

// Exactly four dot-separated fields, each a number from 0 to 255 as StrToIntDef reads it.
bool IsDottedIPv4(std::string_view text);

// Comma-list text: blanks and commas separate items, double quotes enclose items that hold them.
TextList ReadCommaList(std::string_view text);
std::string WriteCommaList(const TextList& items);
// ReadCommaList without a list: item is called with each item in order. The view it gets lasts
// only for that call (a quoted item is unescaped into a scratch buffer).
void ForEachCommaListItem(std::string_view text, const std::function<void(std::string_view item)>& item);
// WriteCommaList of count items, the i-th given by item(i).
std::string WriteCommaList(size_t count, const std::function<std::string_view(size_t)>& item);
// One item as WriteCommaList writes it, after a "," unless it is the first. A list of one empty
// item is written "\"\"" by EndCommaList, once the list is known to hold nothing else.
void AppendCommaListItem(std::string& text, std::string_view item, bool first);
// Ends a list of count items appended to text from start on: a lone empty item is written as
// "" so that it reads back as one item, not as none.
void EndCommaList(std::string& text, size_t start, size_t count);

// True when the two texts are equal with only the ASCII letters folded.
bool SameTextAscii(std::string_view a, std::string_view b);

// Lower-cases the ASCII letters only; other bytes stay as they are.
std::string FoldAscii(std::string_view text);

// A well-mixed hash of the text with its ASCII letters folded: texts SameTextAscii calls equal
// hash equal, so it keys tables that find logins whatever their letter case.
uint64_t FoldedHashAscii(std::string_view text);

// Ordinal comparison with the ASCII letters folded to upper case: negative, zero or positive.
int CompareTextAscii(std::string_view a, std::string_view b);

// The text's first eight bytes with the ASCII letters upper-cased, zeros after its end, as one
// number: two texts whose heads differ compare as their heads do.
uint64_t FoldedHead(std::string_view text);

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct ScreenPoint {
    int32_t left = 0;
    int32_t top = 0;
};

// Where a window of form's size lands when centred over another window, kept on the screen:
// at most 50 pixels short of its right and bottom edges, never left of or above its origin.
ScreenPoint CenterFormOver(const ScreenRect& form, const ScreenRect& over, int32_t screenWidth,
                           int32_t screenHeight);

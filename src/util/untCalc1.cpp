#include "util/untCalc1.hpp"

#include <algorithm>
#include <limits>

namespace {

bool IsBlankOrControl(unsigned char c) {
    return c <= 32;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool ParseHex(std::string_view digits, int32_t& value) {
    if (digits.empty()) {
        return false;
    }
    uint64_t accumulated = 0;
    for (char c : digits) {
        int digit = HexDigitValue(c);
        if (digit < 0) {
            return false;
        }
        accumulated = accumulated * 16 + static_cast<uint64_t>(digit);
        // More than eight significant digits cannot fit the 32 bits.
        if (accumulated > 0xFFFFFFFFull) {
            return false;
        }
    }
    value = static_cast<int32_t>(static_cast<uint32_t>(accumulated));
    return true;
}

bool ParseDecimal(std::string_view text, int32_t& value) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return false;
    }
    int64_t accumulated = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        accumulated = accumulated * 10 + (c - '0');
        if (accumulated > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
            return false;
        }
    }
    if (negative) {
        accumulated = -accumulated;
    }
    if (accumulated > std::numeric_limits<int32_t>::max() ||
        accumulated < std::numeric_limits<int32_t>::min()) {
        return false;
    }
    value = static_cast<int32_t>(accumulated);
    return true;
}

void SkipControls(std::string_view text, size_t& pos) {
    while (pos < text.size() && text[pos] >= 1 && static_cast<unsigned char>(text[pos]) <= 32) {
        ++pos;
    }
}

char FoldAsciiChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

unsigned UpperAscii(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte;
}

}  // namespace

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::string_view TrimView(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size() && IsBlankOrControl(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    size_t end = text.size();
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

int32_t StrToIntDef(std::string_view text, int32_t defaultValue) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    std::string_view rest = text.substr(pos);
    int32_t value = 0;
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        return ParseHex(rest.substr(2), value) ? value : defaultValue;
    }
    if (!rest.empty() && (rest.front() == '$' || rest.front() == 'x' || rest.front() == 'X')) {
        return ParseHex(rest.substr(1), value) ? value : defaultValue;
    }
    return ParseDecimal(rest, value) ? value : defaultValue;
}

void SplitFirst(std::string source, std::string_view separator, bool trim, std::string& first,
                std::string& rest) {
    std::string_view head;
    std::string_view tail;
    SplitFirst(std::string_view(source), separator, trim, head, tail);
    // Both pieces view source, which outlives the two assignments whichever output it aliases.
    std::string newRest(tail);
    first.assign(head);
    rest = std::move(newRest);
}

void SplitFirst(std::string_view source, std::string_view separator, bool trim, std::string_view& first,
                std::string_view& rest) {
    if (trim) {
        source = TrimView(source);
    }
    const size_t found = separator.empty() ? std::string_view::npos : source.find(separator);
    if (found == std::string_view::npos) {
        first = source;
        rest = {};
        return;
    }
    std::string_view head = source.substr(0, found);
    std::string_view tail = source.substr(found + separator.size());
    // The source was trimmed already, so only the ends next to the separator can be blank.
    first = trim ? TrimView(head) : head;
    rest = trim ? TrimView(tail) : tail;
}

std::string ReplaceAll(std::string_view source, std::string_view find, std::string_view replacement) {
    if (find.empty()) {
        return std::string(source);
    }
    std::string result;
    result.reserve(source.size());
    size_t pos = 0;
    for (size_t found = source.find(find); found != std::string_view::npos; found = source.find(find, pos)) {
        result.append(source.substr(pos, found - pos));
        result.append(replacement);
        pos = found + find.size();
    }
    result.append(source.substr(pos));
    return result;
}

bool IsDottedIPv4(std::string_view text) {
    auto inByteRange = [](std::string_view field) {
        int32_t value = StrToIntDef(field, -1);
        return value >= 0 && value <= 255;
    };
    bool ok = true;
    std::string remaining(text);
    std::string field;
    for (int i = 0; i < 3; ++i) {
        SplitFirst(remaining, ".", false, field, remaining);
        ok = inByteRange(field) && ok;
    }
    return inByteRange(remaining) && ok;
}

TextList ReadCommaList(std::string_view text) {
    TextList items;
    ForEachCommaListItem(text, [&items](std::string_view item) { items.emplace_back(item); });
    return items;
}

void ForEachCommaListItem(std::string_view text, const std::function<void(std::string_view item)>& each) {
    text = text.substr(0, text.find('\0'));
    std::string unquoted;
    size_t pos = 0;
    SkipControls(text, pos);
    while (pos < text.size()) {
        if (text[pos] == '"') {
            unquoted.clear();
            ++pos;
            while (pos < text.size()) {
                if (text[pos] == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        unquoted.push_back('"');
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                unquoted.push_back(text[pos++]);
            }
            each(unquoted);
        } else {
            size_t start = pos;
            while (pos < text.size() && static_cast<unsigned char>(text[pos]) > 32 && text[pos] != ',') {
                ++pos;
            }
            each(text.substr(start, pos - start));
        }
        SkipControls(text, pos);
        if (pos < text.size() && text[pos] == ',') {
            ++pos;
            SkipControls(text, pos);
        }
    }
}

std::string WriteCommaList(const TextList& items) {
    return WriteCommaList(items.size(), [&items](size_t i) { return std::string_view(items[i]); });
}

std::string WriteCommaList(size_t count, const std::function<std::string_view(size_t)>& itemAt) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        AppendCommaListItem(text, itemAt(i), i == 0);
    }
    EndCommaList(text, 0, count);
    return text;
}

void EndCommaList(std::string& text, size_t start, size_t count) {
    if (count == 1 && text.size() == start) {
        text.append("\"\"");
    }
}

void AppendCommaListItem(std::string& text, std::string_view item, bool first) {
    if (!first) {
        text.push_back(',');
    }
    bool needsQuotes = std::any_of(item.begin(), item.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return (u >= 1 && u <= 32) || c == '"' || c == ',';
    });
    if (!needsQuotes) {
        text.append(item);
        return;
    }
    text.push_back('"');
    for (char c : item) {
        if (c == '"') {
            text.push_back('"');
        }
        text.push_back(c);
    }
    text.push_back('"');
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAsciiChar(x) == FoldAsciiChar(y);
           });
}

std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldAsciiChar);
    return folded;
}

uint64_t FoldedHashAscii(std::string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(FoldAsciiChar(c))) * 1099511628211ull;
    }
    hash ^= hash >> 32;
    hash *= 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29);
}

int CompareTextAscii(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int difference = static_cast<int>(UpperAscii(a[i])) - static_cast<int>(UpperAscii(b[i]));
        if (difference != 0) {
            return difference;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

uint64_t FoldedHead(std::string_view text) {
    uint64_t head = 0;
    for (size_t i = 0; i < 8; ++i) {
        head = (head << 8) | (i < text.size() ? UpperAscii(text[i]) : 0U);
    }
    return head;
}

ScreenPoint CenterFormOver(const ScreenRect& form, const ScreenRect& over, int32_t screenWidth,
                           int32_t screenHeight) {
    // Integer division truncates toward zero, as the placement rule wants.
    int32_t left = over.left + (over.width - form.width) / 2;
    left = std::max(0, std::min(screenWidth - 50, left));
    int32_t top = over.top + (over.height - form.height) / 2;
    top = std::max(0, std::min(screenHeight - 50, top));
    return {left, top};
}

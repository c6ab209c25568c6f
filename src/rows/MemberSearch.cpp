#include "rows/MemberSearch.hpp"

#include <array>

namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<size_t>(c)] =
            static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return table;
}

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

unsigned char Fold(char c) {
    return kFold[static_cast<unsigned char>(c)];
}

}  // namespace

MemberSearch::MemberSearch(std::string_view text) {
    FoldInto(folded_, text);
}

void MemberSearch::FoldInto(std::string& out, std::string_view text) {
    const size_t at = out.size();
    out.resize(at + text.size());
    FoldTo(out.data() + at, text);
}

char* MemberSearch::FoldTo(char* out, std::string_view text) {
    for (const char c : text) {
        *out++ = static_cast<char>(Fold(c));
    }
    return out;
}

bool MemberSearch::Contains(std::string_view haystack) const {
    const size_t length = folded_.size();
    if (length == 0 || haystack.size() < length) {
        return length == 0;
    }
    const unsigned char first = static_cast<unsigned char>(folded_[0]);
    const size_t last = haystack.size() - length;
    for (size_t at = 0; at <= last; ++at) {
        if (Fold(haystack[at]) != first) {
            continue;
        }
        size_t matched = 1;
        while (matched < length &&
               Fold(haystack[at + matched]) == static_cast<unsigned char>(folded_[matched])) {
            ++matched;
        }
        if (matched == length) {
            return true;
        }
    }
    return false;
}

bool MemberSearch::Matches(const MemberRow& row) const {
    return Contains(row.Login()) || Contains(row.ProtocolsText()) || Contains(row.UserBotsText());
}

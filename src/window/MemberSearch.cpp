#include "window/MemberSearch.hpp"

#include "window/MemberListModel.hpp"

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
    folded_.reserve(text.size());
    for (const char c : text) {
        folded_.push_back(static_cast<char>(Fold(c)));
    }
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
    return Contains(row.Login) || Contains(row.ProtocolsText) || Contains(row.UserBotsText);
}

int MemberSearch::FindFrom(const MemberListModel& rows, int from, int step) const {
    const int count = rows.RowCount();
    if (count == 0 || Empty()) {
        return -1;
    }
    int row = ((from % count) + count) % count;
    for (int walked = 0; walked < count; ++walked) {
        if (Matches(rows.Row(row))) {
            return row;
        }
        row += step;
        if (row >= count) {
            row = 0;
        } else if (row < 0) {
            row = count - 1;
        }
    }
    return -1;
}

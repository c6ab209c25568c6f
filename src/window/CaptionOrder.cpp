#include "window/CaptionOrder.hpp"

#include <algorithm>
#include <numeric>

#include <QCollatorSortKey>

#include "window/DisplayText.hpp"

void SortRowsByCaption(std::vector<MemberRow>& rows, const QCollator& collator) {
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (const MemberRow& row : rows) {
        keys.push_back(collator.sortKey(BytesToDisplay(row.Login)));
    }
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return keys[a].compare(keys[b]) < 0; });

    std::vector<MemberRow> sorted;
    sorted.reserve(rows.size());
    for (size_t position : order) {
        sorted.push_back(std::move(rows[position]));
    }
    rows = std::move(sorted);
}

int CompareTextAscii(std::string_view a, std::string_view b) {
    auto upper = [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte;
    };
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        int difference = upper(a[i]) - upper(b[i]);
        if (difference != 0) {
            return difference;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

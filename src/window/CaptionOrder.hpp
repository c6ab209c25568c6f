#pragma once

#include <string_view>
#include <vector>

#include <QCollator>

#include "window/MemberRow.hpp"

// Orders rows by caption with the given collation. Each caption is turned into a sort key
// once, so a million rows sort in n log n byte comparisons instead of as many collations;
// rows with equal keys keep their order.
void SortRowsByCaption(std::vector<MemberRow>& rows, const QCollator& collator);

// Ordinal comparison with the ASCII letters folded to upper case: negative, zero or positive.
int CompareTextAscii(std::string_view a, std::string_view b);

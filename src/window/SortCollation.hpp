#pragma once

#include <QCollator>

#include "rows/CaptionKeys.hpp"

// The collation the rows are sorted with, read from the collator the window compares texts with,
// so that both agree on the order.
Collation CollationOf(const QCollator& collator);

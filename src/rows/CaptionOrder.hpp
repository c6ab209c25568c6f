#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <string_view>
#include <vector>

#include "rows/CaptionKeys.hpp"
#include "rows/MemberRow.hpp"
#include "rows/MemberRowStore.hpp"

// How work on this many rows is launched: on a thread of its own, or, for fewer than a few
// thousand rows, which cost less than a thread does, deferred to the thread that waits for it.
inline std::launch ThreadFor(size_t rows) {
    return rows >= 2048 ? std::launch::async : std::launch::deferred;
}

// Orders rows by caption with the given collation, exactly as the sort keys of a QCollator so set
// up order them. Each caption is turned into its key once, and the keys lie side by side with their
// first bytes beside each row, so a million rows sort in n log n comparisons that mostly touch
// no other memory; rows with equal keys keep their order.
void SortRowsByCaption(MemberRows& rows, const Collation& collation);
// The same order as the rows' numbers, the rows left where they are. Keys made ahead of the
// first rows' captions with the same collation are used instead of making them again. The order
// has room for at least room numbers, so that a caller that adds rows to it later need not copy
// it into a larger block first.
RowSlots RowsInCaptionOrder(const MemberRows& rows, const Collation& collation, KeyedCaptions ahead = {},
                            size_t room = 0);

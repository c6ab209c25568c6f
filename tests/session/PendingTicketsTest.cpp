#include "session/PendingTickets.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

// Appended, not CodeOf(id): g++ 12 at -O3 warns (-Wrestrict) on that form.
std::string CodeOf(RequestId id) {
    std::string code = "R";
    code += std::to_string(id);
    return code;
}

std::vector<RequestId> IdsOf(const std::vector<PendingTickets::Pending>& waiting) {
    std::vector<RequestId> ids;
    for (const PendingTickets::Pending& pending : waiting) {
        ids.push_back(pending.id);
    }
    return ids;
}

// Whatever the order the requests are added and settled in, each settles once, with its own
// ticket and report, and the others keep waiting.
TEST(PendingTicketsTest, EachRequestIsTakenOnceWithItsOwnTicket) {
    struct Case {
        const char* name;
        std::vector<RequestId> added;
        std::vector<RequestId> taken;  // an id not waiting (again) must come back unset
        std::vector<RequestId> left;
    };
    const Case cases[] = {
        {"in order", {1, 2, 3, 4}, {1, 2, 3, 4}, {}},
        {"newest first", {1, 2, 3, 4}, {4, 3, 2, 1}, {}},
        {"a gap at the front", {1, 2, 3, 4}, {2, 3}, {1, 4}},
        {"twice, and unknown", {5, 6}, {6, 6, 7, 4}, {5}},
        {"ids with holes", {3, 7, 8, 20}, {8, 20, 3}, {7}},
        {"added out of order", {1, 2, 5, 3, 4}, {3, 1}, {2, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PendingTickets tickets;
        for (const RequestId id : c.added) {
            tickets.Add(id, id * 100, CodeOf(id));
        }
        std::vector<RequestId> seen;
        for (const RequestId id : c.taken) {
            const std::optional<PendingTickets::Pending> taken = tickets.Take(id);
            const bool waiting = std::find(c.added.begin(), c.added.end(), id) != c.added.end() &&
                                 std::find(seen.begin(), seen.end(), id) == seen.end();
            ASSERT_EQ(taken.has_value(), waiting) << id;
            if (taken) {
                EXPECT_EQ(taken->ticket, id * 100);
                EXPECT_EQ(taken->confirmingCode, CodeOf(id));
                seen.push_back(id);
            }
        }
        EXPECT_EQ(IdsOf(tickets.Waiting()), c.left);
        EXPECT_EQ(tickets.Size(), c.left.size());
    }
}

// A long run where one early request stays unanswered while thousands after it settle: the
// room of those settled is let go, and the early one is still found.
TEST(PendingTicketsTest, OneRequestLeftWaitingAmongManySettledIsStillFound) {
    PendingTickets tickets;
    for (RequestId id = 1; id <= 5000; ++id) {
        tickets.Add(id, id, "ARD");
        if (id > 2) {
            ASSERT_TRUE(tickets.Take(id - 1).has_value()) << id;
        }
    }
    EXPECT_EQ(IdsOf(tickets.Waiting()), (std::vector<RequestId>{1, 5000}));
    ASSERT_TRUE(tickets.Take(1).has_value());
    ASSERT_TRUE(tickets.Take(5000).has_value());
    EXPECT_EQ(tickets.Size(), 0u);
    EXPECT_TRUE(tickets.Waiting().empty());
}

}  // namespace

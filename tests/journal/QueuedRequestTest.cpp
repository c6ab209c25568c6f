#include "journal/QueuedRequest.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const JournalTime kSent{std::chrono::milliseconds(1'700'000'000'000)};

JournalTime After(int ms) {
    return kSent + std::chrono::milliseconds(ms);
}

// What goes in comes out, whichever parts are kept in place and whichever apart, and an
// outcome once known for good is not replaced.
TEST(QueuedRequestTest, GivesBackTheRequestAndItsOutcomeAsTheyCame) {
    struct Case {
        const char* name;
        std::vector<ChangedField> fields;
        bool passwordChanged;
        std::vector<OutcomeUpdate> updates;
        OutcomeUpdate expected;
        bool updated;
    };
    const std::string longReport = "A-REPORT-LONGER-THAN-SIX";
    const Case cases[] = {
        {"never answered", {}, false, {}, {}, false},
        {"confirmed",
         {},
         false,
         {{JournalOutcome::Confirmed, "ARD", "", After(5)}},
         {JournalOutcome::Confirmed, "ARD", "", After(5)},
         true},
        {"a report of six, in place",
         {},
         false,
         {{JournalOutcome::Confirmed, "ARDXYZ", "", After(5)}},
         {JournalOutcome::Confirmed, "ARDXYZ", "", After(5)},
         true},
        {"a long report, apart",
         {},
         false,
         {{JournalOutcome::Confirmed, longReport, "", After(5)}},
         {JournalOutcome::Confirmed, longReport, "", After(5)},
         true},
        {"refused with its reason",
         {{"bots", "a,b"}},
         true,
         {{JournalOutcome::Refused, "", "no such account", After(7)}},
         {JournalOutcome::Refused, "", "no such account", After(7)},
         true},
        {"the first final outcome stays",
         {},
         false,
         {{JournalOutcome::Refused, "", "no", After(5)}, {JournalOutcome::Confirmed, "ARD", "", After(6)}},
         {JournalOutcome::Refused, "", "no", After(5)},
         true},
        {"a final outcome replaces a note",
         {},
         false,
         {{JournalOutcome::Pending, "ARX-LONG-NOTE", "still waiting", After(5)},
          {JournalOutcome::Confirmed, "ARM", "", After(9)}},
         {JournalOutcome::Confirmed, "ARM", "", After(9)},
         true},
        {"a note alone",
         {{"protocols", "chat"}},
         false,
         {{JournalOutcome::Pending, "", "still waiting", After(5)}},
         {JournalOutcome::Pending, "", "still waiting", After(5)},
         true},
    };
    const auto context = std::make_shared<const RequestContext>(
        RequestContext{{"10.0.0.5", 4000, "office"}, "admin", "edit", "7", "backup.json", "why"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QueuedRequest queued(
            42, JournalRequest{kSent, context, "a-member-with-a-long-login", c.fields, c.passwordChanged}, 3);
        for (OutcomeUpdate update : c.updates) {
            queued.Settle(std::move(update));
        }
        EXPECT_EQ(queued.Ticket(), 42u);
        EXPECT_EQ(queued.Context(), 3u);
        EXPECT_EQ(queued.Updated(), c.updated);
        EXPECT_EQ(queued.Settled(), c.expected.outcome != JournalOutcome::Pending);
        const JournalRequest request = queued.Request(context);
        EXPECT_EQ(request.time, kSent);
        EXPECT_EQ(request.context, context);
        EXPECT_EQ(request.member, "a-member-with-a-long-login");
        EXPECT_EQ(request.fields, c.fields);
        EXPECT_EQ(request.passwordChanged, c.passwordChanged);
        const OutcomeUpdate outcome = queued.Outcome();
        EXPECT_EQ(outcome.outcome, c.expected.outcome);
        EXPECT_EQ(outcome.report, c.expected.report);
        EXPECT_EQ(outcome.text, c.expected.text);
        EXPECT_EQ(outcome.time, c.expected.time);
    }
}

}  // namespace

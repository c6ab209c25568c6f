#include "session/RequestFollower.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ManualClock.hpp"

namespace {

using std::chrono::seconds;

struct AnswerCase {
    const char* name;
    const char* report;
    std::optional<SettledRequest> settled;
};

// Three requests wait: an add of "carol" (id 1), another add of "Carol" (id 2), an edit of bob (id 3).
TEST(RequestFollower, AReportSettlesTheOldestRequestOfItsLoginThatItAnswers) {
    const std::vector<AnswerCase> cases = {
        {"presence is no answer", "ARI:on,,carol=,;;", std::nullopt},
        {"an edit's report does not answer an add", "ARM:,,carol=,;;", std::nullopt},
        {"another administrator's add", "ARA:,,someone=,;;", std::nullopt},
        {"the add, in other letter case", "ARA:,,CAROL=,;;",
         SettledRequest{1, "carol", RequestOutcome::Confirmed, ""}},
        {"a refusal answers whatever waits", "ARE_bob: no such account ",
         SettledRequest{3, "bob", RequestOutcome::Refused, "no such account"}},
        {"a list's line answers nothing", "ARLM:,,bob=,;;", std::nullopt},
        {"a delete's report does not answer an edit", "ARD_bob", std::nullopt},
    };
    for (const AnswerCase& c : cases) {
        ManualClock clock;
        RequestFollower follower;
        follower.Follow("ARA", "carol", clock.Now());
        follower.Follow("ARA", "Carol", clock.Now());
        follower.Follow("ARM", "bob", clock.Now());
        EXPECT_EQ(follower.Answer(CutServerLineView(c.report)), c.settled) << c.name;
        EXPECT_EQ(follower.Pending(), c.settled ? 2u : 3u) << c.name;
    }
}

TEST(RequestFollower, TheSecondRequestOfALoginIsAnsweredBySecondReport) {
    ManualClock clock;
    RequestFollower follower;
    follower.Follow("ARA", "carol", clock.Now());
    follower.Follow("ARA", "Carol", clock.Now());
    EXPECT_EQ(follower.Answer(CutServerLineView("ARE_carol:login exists"))->id, 1u);
    EXPECT_EQ(follower.Answer(CutServerLineView("ARA:,,carol=,;;"))->id, 2u);
    EXPECT_FALSE(follower.Answer(CutServerLineView("ARE_carol:again")));
}

TEST(RequestFollower, UnansweredRequestsRunOutInTheOrderTheyWereSent) {
    ManualClock clock;
    RequestFollower follower(seconds(10));
    follower.Follow("ARD", "a", clock.Now());
    clock.Advance(seconds(4));
    follower.Follow("ARD", "b", clock.Now());
    EXPECT_EQ(follower.NextDeadline(), clock.Now() + seconds(6));

    clock.Advance(seconds(5));
    EXPECT_TRUE(follower.Expire(clock.Now()).empty());
    clock.Advance(seconds(1));
    const std::vector<SettledRequest> first = follower.Expire(clock.Now());
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0], (SettledRequest{1, "a", RequestOutcome::Unconfirmed, "no answer in time"}));
    // A late report no longer finds the request it would have answered.
    EXPECT_FALSE(follower.Answer(CutServerLineView("ARD_a")));

    const std::vector<SettledRequest> rest = follower.Abandon("the connection ended");
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].login, "b");
    EXPECT_EQ(follower.Pending(), 0u);
    EXPECT_FALSE(follower.NextDeadline());
}

}  // namespace

#include "session/BulkRate.hpp"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const MonotonicTime kStart = MonotonicTime{} + std::chrono::hours(1);

TEST(BulkRate, NothingIsPromisedBeforeThereIsAPaceToGoBy) {
    BulkRate rate;
    EXPECT_FALSE(rate.PerSecond());
    rate.Note(0, kStart);
    rate.Note(50, kStart + milliseconds(50));
    EXPECT_FALSE(rate.PerSecond()) << "too soon";
    rate.Note(50, kStart + seconds(1));
    rate.Note(50, kStart + seconds(7));
    EXPECT_FALSE(rate.PerSecond()) << "nothing settled in the span";
    EXPECT_FALSE(rate.TimeLeft(100));
}

TEST(BulkRate, TheRateFollowsTheLastSecondsAndGivesTheTimeLeft) {
    BulkRate rate;
    // 100 a second for ten seconds, then 1,000 a second.
    for (int second = 0; second <= 10; ++second) {
        rate.Note(static_cast<size_t>(second) * 100, kStart + seconds(second));
    }
    ASSERT_TRUE(rate.PerSecond());
    EXPECT_DOUBLE_EQ(*rate.PerSecond(), 100.0);
    EXPECT_EQ(rate.TimeLeft(3000), seconds(20));
    for (int second = 11; second <= 16; ++second) {
        rate.Note(1000 + static_cast<size_t>(second - 10) * 1000, kStart + seconds(second));
    }
    EXPECT_DOUBLE_EQ(*rate.PerSecond(), 1000.0) << "the slow start has left the span";
    EXPECT_EQ(rate.TimeLeft(7500), seconds(1));  // 500 left, rounded up
    EXPECT_EQ(rate.TimeLeft(7000), seconds(0));
}

TEST(BulkRate, TheTimeLeftReadsAsAClock) {
    EXPECT_EQ(ClockText(seconds(0)), "0:00");
    EXPECT_EQ(ClockText(seconds(65)), "1:05");
    EXPECT_EQ(ClockText(seconds(3725)), "1:02:05");
}

}  // namespace

#include "link/TkvSCReconnect.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/ManualClock.hpp"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using ::testing::ElementsAreArray;

constexpr int kGaveUp = -1;

int WaitInSeconds(const TkvSCReconnect& scheduler, const ManualClock& clock) {
    return static_cast<int>(
        std::chrono::duration_cast<seconds>(scheduler.NextAttempt() - clock.Now()).count());
}

// Calls ScheduleNext `calls` times, one second apart, and gives for each call the planned wait
// in whole seconds, or kGaveUp when the call left NextAttempt alone and disarmed.
std::vector<int> PlannedWaits(TkvSCReconnect& scheduler, ManualClock& clock, int calls) {
    std::vector<int> waits;
    for (int i = 0; i < calls; ++i) {
        clock.Advance(seconds(1));
        const auto before = scheduler.NextAttempt();
        scheduler.SetArmed(true);
        scheduler.ScheduleNext();
        const bool gaveUp = scheduler.NextAttempt() == before && !scheduler.Armed();
        waits.push_back(gaveUp ? kGaveUp : WaitInSeconds(scheduler, clock));
    }
    return waits;
}

class TkvSCReconnectTest : public ::testing::Test {
protected:
    ManualClock clock;
    TkvSCReconnect scheduler{clock};
};

TEST_F(TkvSCReconnectTest, StartsWithTheDocumentedSettings) {
    EXPECT_FALSE(scheduler.Enabled());
    EXPECT_FALSE(scheduler.Armed());
    EXPECT_EQ(scheduler.DelaySeconds(), 10);
    EXPECT_EQ(scheduler.PauseSeconds(), 60);
    EXPECT_EQ(scheduler.FirstDelaySeconds(), 10);
    EXPECT_EQ(scheduler.AttemptsBeforePause(), 6);
    EXPECT_EQ(scheduler.Cycles(), -1);
    EXPECT_EQ(scheduler.ForcedAttempts(), 0);
    EXPECT_FALSE(scheduler.IsDue());
}

struct PlanCase {
    const char* label;
    int32_t attemptsBeforePause;
    int32_t cycles;
    int32_t forcedAttempts;
    std::vector<int> waits;
};

TEST(TkvSCReconnectPlan, PlansBurstsPausesAndGivingUp) {
    const PlanCase cases[] = {
        {"endless cycles", 6, -1, 0, {10, 3, 3, 3, 3, 3, 60, 3, 3}},
        {"one cycle of two", 2, 1, 0, {10, 3, 60, 3, 3, kGaveUp}},
        {"no cycles: the seventh call gives up", 6, 0, 0, {10, 3, 3, 3, 3, 3, kGaveUp}},
        {"no attempts per burst: only pauses", 0, 2, 0, {60, 60, kGaveUp}},
        {"no attempts per burst, endless", 0, -1, 0, {60, 60, 60, 60}},
        {"forced attempts outlast the cycles", 1, 0, 3, {10, 3, 3, kGaveUp}},
        {"negative attempts per burst act as none", -4, 1, 0, {60, kGaveUp}},
    };
    for (const auto& c : cases) {
        ManualClock clock;
        TkvSCReconnect scheduler{clock};
        scheduler.SetDelay(3);
        scheduler.SetAttemptsBeforePause(c.attemptsBeforePause);
        scheduler.SetCycles(c.cycles);
        scheduler.SetForcedAttempts(c.forcedAttempts);
        EXPECT_THAT(PlannedWaits(scheduler, clock, static_cast<int>(c.waits.size())),
                    ElementsAreArray(c.waits))
            << c.label;
    }
}

TEST_F(TkvSCReconnectTest, GivingUpClearsTheCountersAndDisarms) {
    scheduler.SetCycles(0);
    scheduler.SetEnabled(true);
    PlannedWaits(scheduler, clock, 6);
    ASSERT_EQ(scheduler.TotalAttempts(), 6);
    const auto planned = scheduler.NextAttempt();

    scheduler.ScheduleNext();

    EXPECT_FALSE(scheduler.Armed());
    EXPECT_EQ(scheduler.NextAttempt(), planned);
    EXPECT_EQ(scheduler.AttemptsInCycle(), 0);
    EXPECT_EQ(scheduler.CyclesDone(), 0);
    EXPECT_EQ(scheduler.TotalAttempts(), 0);
    EXPECT_EQ(scheduler.ForcedAttempts(), 0);
    clock.Advance(seconds(3600));
    EXPECT_FALSE(scheduler.IsDue());
}

TEST_F(TkvSCReconnectTest, IsDueOnlyOnceTheTimeHasPassed) {
    scheduler.SetEnabled(true);
    scheduler.SetArmed(true);
    scheduler.ScheduleNext();
    clock.Advance(seconds(10));
    EXPECT_FALSE(scheduler.IsDue()) << "equal to NextAttempt";
    clock.Advance(milliseconds(1));
    EXPECT_TRUE(scheduler.IsDue());
}

struct DueCase {
    bool enabled;
    bool armed;
    int32_t forced;
    bool due;
};

TEST_F(TkvSCReconnectTest, IsDueNeedsArmedAndEnabledOrForcedAttempts) {
    const DueCase cases[] = {
        {false, false, 0, false}, {true, false, 0, false}, {false, true, 0, false},
        {true, true, 0, true},    {false, false, 1, true}, {false, false, -1, false},
    };
    for (const auto& c : cases) {
        scheduler.SetEnabled(c.enabled);
        scheduler.SetArmed(c.armed);
        scheduler.SetForcedAttempts(c.forced);
        EXPECT_EQ(scheduler.IsDue(), c.due) << c.enabled << c.armed << c.forced;
    }
}

struct FirstDelayCase {
    int32_t requested;
    int32_t firstWait;
};

TEST_F(TkvSCReconnectTest, FirstDelayIsAtLeastTheMinimumAndUsedOnce) {
    const FirstDelayCase cases[] = {{5, 10}, {10, 10}, {25, 25}, {-3, 10}};
    for (const auto& c : cases) {
        scheduler.ResetCounters();
        scheduler.SetFirstDelay(c.requested);
        scheduler.ScheduleNext();
        EXPECT_EQ(WaitInSeconds(scheduler, clock), c.firstWait) << c.requested;
        EXPECT_EQ(scheduler.FirstDelaySeconds(), 10) << c.requested;
    }
}

TEST_F(TkvSCReconnectTest, NegativeIntervalsReadBackAsZero) {
    scheduler.SetDelay(-5);
    scheduler.SetPause(-1);
    EXPECT_EQ(scheduler.DelaySeconds(), 0);
    EXPECT_EQ(scheduler.PauseSeconds(), 0);
    scheduler.SetMinFirstDelay(-2);
    EXPECT_EQ(scheduler.FirstDelaySeconds(), 0);
}

TEST_F(TkvSCReconnectTest, ForcedAttemptsRunOutAfterThirtyPlans) {
    scheduler.SetForcedAttempts(30);
    for (int i = 0; i < 29; ++i) {
        scheduler.ScheduleNext();
    }
    clock.Advance(seconds(3600));
    EXPECT_TRUE(scheduler.IsDue());
    scheduler.ScheduleNext();
    clock.Advance(seconds(3600));
    EXPECT_EQ(scheduler.ForcedAttempts(), 0);
    EXPECT_FALSE(scheduler.IsDue());
}

}  // namespace

#pragma once

#include <chrono>
#include <cstdint>

#include "link/Clock.hpp"

// Decides when the link tries to connect again and when it gives up: bursts of attempts spaced
// by Delay, separated by Pause, for Cycles pauses (negative: no limit). A reconnection ordered
// by the server runs on ForcedAttempts whatever Armed and Enabled say.
class TkvSCReconnect {
public:
    explicit TkvSCReconnect(const Clock& clock);

    void SetDelay(int32_t seconds);
    void SetPause(int32_t seconds);
    void SetAttemptsBeforePause(int32_t count) { attemptsBeforePause_ = count; }
    void SetCycles(int32_t count) { cycles_ = count; }
    void SetMinFirstDelay(int32_t seconds);
    void SetFirstDelay(int32_t seconds);
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    void SetArmed(bool armed) { armed_ = armed; }
    void SetForcedAttempts(int32_t count) { forcedAttempts_ = count; }

    int32_t DelaySeconds() const;
    int32_t PauseSeconds() const;
    int32_t FirstDelaySeconds() const;
    int32_t AttemptsBeforePause() const { return attemptsBeforePause_; }
    int32_t Cycles() const { return cycles_; }
    bool Enabled() const { return enabled_; }
    bool Armed() const { return armed_; }
    MonotonicTime NextAttempt() const { return nextAttempt_; }
    int32_t AttemptsInCycle() const { return attemptsInCycle_; }
    int32_t CyclesDone() const { return cyclesDone_; }
    int32_t TotalAttempts() const { return totalAttempts_; }
    int32_t ForcedAttempts() const { return forcedAttempts_; }

    void ResetCounters();
    bool IsDue() const;
    void ScheduleNext();

private:
    void PlanWithinBurst(MonotonicTime now);
    void PlanPause(MonotonicTime now);
    void GiveUp();
    void PlanForcedAfterCycles(MonotonicTime now);
    void CountPlannedAttempt();

    const Clock& clock_;
    bool enabled_ = false;
    std::chrono::milliseconds delay_{std::chrono::seconds(10)};
    std::chrono::milliseconds pause_{std::chrono::seconds(60)};
    bool armed_ = false;
    MonotonicTime nextAttempt_ = MonotonicTime::min();
    int32_t attemptsInCycle_ = 0;
    int32_t cyclesDone_ = 0;
    int32_t totalAttempts_ = 0;
    int32_t forcedAttempts_ = 0;
    int32_t attemptsBeforePause_ = 6;
    int32_t cycles_ = -1;
    std::chrono::milliseconds firstDelay_{std::chrono::seconds(10)};
    std::chrono::milliseconds minFirstDelay_{std::chrono::seconds(10)};
};

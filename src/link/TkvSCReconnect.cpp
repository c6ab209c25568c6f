#include "link/TkvSCReconnect.hpp"

#include <algorithm>

namespace {

std::chrono::milliseconds NonNegativeSeconds(int32_t seconds) {
    return std::chrono::seconds(std::max(seconds, 0));
}

int32_t WholeSeconds(std::chrono::milliseconds interval) {
    return static_cast<int32_t>(std::chrono::round<std::chrono::seconds>(interval).count());
}

}  // namespace

TkvSCReconnect::TkvSCReconnect(const Clock& clock) : clock_(clock) {
    SetMinFirstDelay(10);
}

void TkvSCReconnect::SetDelay(int32_t seconds) {
    delay_ = NonNegativeSeconds(seconds);
}

void TkvSCReconnect::SetPause(int32_t seconds) {
    pause_ = NonNegativeSeconds(seconds);
}

void TkvSCReconnect::SetMinFirstDelay(int32_t seconds) {
    minFirstDelay_ = NonNegativeSeconds(seconds);
    firstDelay_ = minFirstDelay_;
}

void TkvSCReconnect::SetFirstDelay(int32_t seconds) {
    firstDelay_ = std::max<std::chrono::milliseconds>(std::chrono::seconds(seconds), minFirstDelay_);
}

int32_t TkvSCReconnect::DelaySeconds() const {
    return WholeSeconds(delay_);
}

int32_t TkvSCReconnect::PauseSeconds() const {
    return WholeSeconds(pause_);
}

int32_t TkvSCReconnect::FirstDelaySeconds() const {
    return WholeSeconds(firstDelay_);
}

void TkvSCReconnect::ResetCounters() {
    attemptsInCycle_ = 0;
    cyclesDone_ = 0;
    totalAttempts_ = 0;
    forcedAttempts_ = 0;
}

bool TkvSCReconnect::IsDue() const {
    const bool wanted = (armed_ && enabled_) || forcedAttempts_ > 0;
    return wanted && clock_.Now() > nextAttempt_;
}

void TkvSCReconnect::ScheduleNext() {
    const auto now = clock_.Now();
    if (attemptsInCycle_ < attemptsBeforePause_) {
        PlanWithinBurst(now);
    } else if (cycles_ > cyclesDone_ || cycles_ < 0) {
        PlanPause(now);
    } else if (forcedAttempts_ <= 0) {
        GiveUp();
    } else {
        PlanForcedAfterCycles(now);
    }
}

void TkvSCReconnect::PlanWithinBurst(MonotonicTime now) {
    if (totalAttempts_ == 0) {
        nextAttempt_ = now + firstDelay_;
        firstDelay_ = minFirstDelay_;
    } else {
        nextAttempt_ = now + delay_;
    }
    ++attemptsInCycle_;
    CountPlannedAttempt();
}

void TkvSCReconnect::PlanPause(MonotonicTime now) {
    nextAttempt_ = now + pause_;
    attemptsInCycle_ = 0;
    ++cyclesDone_;
    CountPlannedAttempt();
}

void TkvSCReconnect::GiveUp() {
    ResetCounters();
    armed_ = false;
}

void TkvSCReconnect::PlanForcedAfterCycles(MonotonicTime now) {
    nextAttempt_ = now + delay_;
    CountPlannedAttempt();
}

void TkvSCReconnect::CountPlannedAttempt() {
    ++totalAttempts_;
    forcedAttempts_ = std::max(forcedAttempts_ - 1, 0);
}

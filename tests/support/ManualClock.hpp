#pragma once

#include <chrono>

#include "link/Clock.hpp"

// A clock that moves only when the test moves it, so that time-dependent behaviour is exact.
class ManualClock final : public Clock {
public:
    MonotonicTime Now() const override { return now_; }

    void Advance(std::chrono::milliseconds step) { now_ += step; }
    void Set(MonotonicTime time) { now_ = time; }

    // An arbitrary fixed start, far from both ends of the clock's range.
    static MonotonicTime Start() { return MonotonicTime{} + std::chrono::hours(24 * 365); }

private:
    MonotonicTime now_ = Start();
};

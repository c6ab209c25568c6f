#pragma once

#include <chrono>

// Monotonic, so that a wall-clock change cannot postpone a heartbeat or a reconnection.
using MonotonicTime = std::chrono::steady_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    virtual MonotonicTime Now() const = 0;
};

class SteadyClock final : public Clock {
public:
    MonotonicTime Now() const override { return std::chrono::steady_clock::now(); }

    static const SteadyClock& Instance() {
        static const SteadyClock clock;
        return clock;
    }
};

#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "link/Clock.hpp"

// How fast a command on many members is being settled, and how long the rest will take at that
// pace: the rate is taken over the last few seconds, so that a server slowing down or speeding up
// shows soon, and a single burst of answers does not promise a time it will not keep.
class BulkRate {
public:
    static constexpr std::chrono::seconds kSpan{5};

    // settled: how many requests are settled by now (never fewer than at the last call).
    void Note(size_t settled, MonotonicTime now);

    // Requests settled per second; nothing until a tenth of a second has passed since the first
    // note, or while nothing was settled in the span.
    std::optional<double> PerSecond() const;
    // The time the rest of total takes at that rate.
    std::optional<std::chrono::seconds> TimeLeft(size_t total) const;

private:
    struct Sample {
        MonotonicTime at;
        size_t settled;
    };
    std::deque<Sample> samples_;  // oldest first, the oldest at most a span before the newest
};

// "1:05" or "1:02:05" for the time left.
std::string ClockText(std::chrono::seconds time);

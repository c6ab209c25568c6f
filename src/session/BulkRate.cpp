#include "session/BulkRate.hpp"

#include <cmath>
#include <cstdio>

void BulkRate::Note(size_t settled, MonotonicTime now) {
    samples_.push_back({now, settled});
    // One sample older than the span is kept, so that the span is always covered whole.
    while (samples_.size() > 2 && now - samples_[1].at >= kSpan) {
        samples_.pop_front();
    }
}

std::optional<double> BulkRate::PerSecond() const {
    if (samples_.size() < 2) {
        return std::nullopt;
    }
    const std::chrono::duration<double> elapsed = samples_.back().at - samples_.front().at;
    const size_t settled = samples_.back().settled - samples_.front().settled;
    if (elapsed < std::chrono::milliseconds(100) || settled == 0) {
        return std::nullopt;
    }
    return static_cast<double>(settled) / elapsed.count();
}

std::optional<std::chrono::seconds> BulkRate::TimeLeft(size_t total) const {
    const std::optional<double> rate = PerSecond();
    if (!rate || samples_.empty()) {
        return std::nullopt;
    }
    const size_t settled = samples_.back().settled;
    const size_t left = total > settled ? total - settled : 0;
    return std::chrono::seconds(static_cast<int64_t>(std::ceil(static_cast<double>(left) / *rate)));
}

std::string ClockText(std::chrono::seconds time) {
    const auto seconds = static_cast<long long>(time.count());
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    }
    return text;
}

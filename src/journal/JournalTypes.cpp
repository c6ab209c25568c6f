#include "journal/JournalTypes.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace {

constexpr std::array<std::pair<JournalOutcome, const char*>, 5> kOutcomeNames{{
    {JournalOutcome::Pending, "pending"},
    {JournalOutcome::Confirmed, "confirmed"},
    {JournalOutcome::Refused, "refused"},
    {JournalOutcome::Unconfirmed, "unconfirmed"},
    {JournalOutcome::Cancelled, "cancelled"},
}};

}  // namespace

JournalTime JournalNow() {
    return std::chrono::time_point_cast<std::chrono::milliseconds>(JournalClock::now());
}

const char* JournalOutcomeName(JournalOutcome outcome) {
    for (const auto& [value, name] : kOutcomeNames) {
        if (value == outcome) {
            return name;
        }
    }
    return "unknown";
}

std::optional<JournalOutcome> JournalOutcomeFromName(std::string_view name) {
    for (const auto& [value, known] : kOutcomeNames) {
        if (name == known) {
            return value;
        }
    }
    return std::nullopt;
}

const char* ConnectionEventKindName(ConnectionEventKind kind) {
    switch (kind) {
        case ConnectionEventKind::Connect:
            return "connect";
        case ConnectionEventKind::Login:
            return "login";
        case ConnectionEventKind::Refusal:
            return "refusal";
        case ConnectionEventKind::Loss:
            return "loss";
        case ConnectionEventKind::Redirect:
            return "redirect";
    }
    return "unknown";
}

bool IsSecretField(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return folded.find("password") != std::string::npos;
}

#include "session/RequestFollower.hpp"

#include <utility>

#include "protocol/ProtocolCodes.hpp"
#include "session/MemberReport.hpp"
#include "util/untCalc1.hpp"

namespace {

// The events that settle a request: the report each kind of request waits for, or a refusal.
bool MaySettle(MemberEvent event) {
    return event == MemberEvent::Added || event == MemberEvent::Changed || event == MemberEvent::Deleted ||
           event == MemberEvent::LoggedOut || event == MemberEvent::Refused;
}

}  // namespace

RequestId RequestFollower::Follow(std::string_view confirmingCode, std::string_view login,
                                  MonotonicTime now) {
    const RequestId id = nextId_++;
    requests_.emplace(id, Request{std::string(login), std::string(confirmingCode), now + wait_});
    byLogin_[FoldAscii(login)].push_back(id);
    return id;
}

std::optional<SettledRequest> RequestFollower::Answer(const ServerLineView& line) {
    // Most reports answer nothing: the lines of a list, and every report while nothing waits.
    if (requests_.empty()) {
        return std::nullopt;
    }
    const std::optional<MemberReport> report = MemberReportOf(line);
    if (!report || !MaySettle(report->event)) {
        return std::nullopt;
    }
    const std::optional<RequestId> id = OldestAnswered(FoldAscii(report->login), line.code);
    if (!id) {
        return std::nullopt;
    }
    if (line.code == ReportCode::Refused) {
        return Settle(*id, RequestOutcome::Refused, Trim(line.payload));
    }
    return Settle(*id, RequestOutcome::Confirmed, {});
}

std::optional<RequestId> RequestFollower::OldestAnswered(const std::string& foldedLogin,
                                                         std::string_view code) const {
    const auto found = byLogin_.find(foldedLogin);
    if (found == byLogin_.end()) {
        return std::nullopt;
    }
    for (const RequestId id : found->second) {
        if (code == ReportCode::Refused || requests_.at(id).confirmingCode == code) {
            return id;
        }
    }
    return std::nullopt;
}

std::vector<SettledRequest> RequestFollower::Expire(MonotonicTime now) {
    std::vector<SettledRequest> expired;
    while (!requests_.empty() && requests_.begin()->second.deadline <= now) {
        expired.push_back(Settle(requests_.begin()->first, RequestOutcome::Unconfirmed, "no answer in time"));
    }
    return expired;
}

std::vector<SettledRequest> RequestFollower::Abandon(std::string_view why) {
    std::vector<SettledRequest> abandoned;
    while (!requests_.empty()) {
        abandoned.push_back(Settle(requests_.begin()->first, RequestOutcome::Unconfirmed, std::string(why)));
    }
    return abandoned;
}

std::optional<MonotonicTime> RequestFollower::NextDeadline() const {
    if (requests_.empty()) {
        return std::nullopt;
    }
    return requests_.begin()->second.deadline;
}

SettledRequest RequestFollower::Settle(RequestId id, RequestOutcome outcome, std::string reason) {
    const auto found = requests_.find(id);
    SettledRequest settled{id, std::move(found->second.login), outcome, std::move(reason)};
    const auto ids = byLogin_.find(FoldAscii(settled.login));
    std::erase(ids->second, id);
    if (ids->second.empty()) {
        byLogin_.erase(ids);
    }
    requests_.erase(found);
    return settled;
}

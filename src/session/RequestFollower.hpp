#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "link/Clock.hpp"
#include "protocol/ServerLine.hpp"

using RequestId = uint64_t;

enum class RequestOutcome {
    Confirmed,    // the server's report says it was done
    Refused,      // the server answered "ARE" for the login, with its reason
    Unconfirmed,  // no answer within the wait, or the connection ended first
};

struct SettledRequest {
    RequestId id = 0;
    std::string login;
    RequestOutcome outcome = RequestOutcome::Confirmed;
    std::string reason;  // Refused: the server's words; Unconfirmed: why

    bool operator==(const SettledRequest&) const = default;
};

// The requests sent and not yet answered. A request counts as done only when the report that
// confirms it comes for its login; the server answers the requests about one login in the order
// they were sent, so a report settles the oldest request of that login that it can answer.
class RequestFollower {
public:
    explicit RequestFollower(std::chrono::milliseconds wait = kDefaultWait) : wait_(wait) {}

    static constexpr std::chrono::milliseconds kDefaultWait{std::chrono::seconds(30)};

    // For the requests sent from now on.
    void SetWait(std::chrono::milliseconds wait) { wait_ = wait; }

    // confirmingCode: the report that says the request was done ("ARA", "ARM", "ARD", "ARO").
    RequestId Follow(std::string_view confirmingCode, std::string_view login, MonotonicTime now);

    // A report from the server; the request it settles, if any.
    std::optional<SettledRequest> Answer(const ServerLineView& line);
    // The requests whose wait has run out by now, oldest first.
    std::vector<SettledRequest> Expire(MonotonicTime now);
    // Every request still waiting, oldest first: no report can answer them any more.
    std::vector<SettledRequest> Abandon(std::string_view why);

    size_t Pending() const { return requests_.size(); }
    std::optional<MonotonicTime> NextDeadline() const;

private:
    struct Request {
        std::string login;
        std::string confirmingCode;
        MonotonicTime deadline;
    };

    SettledRequest Settle(RequestId id, RequestOutcome outcome, std::string reason);
    std::optional<RequestId> OldestAnswered(const std::string& foldedLogin, std::string_view code) const;

    std::chrono::milliseconds wait_;
    RequestId nextId_ = 1;
    // By id, which is the order they were sent and, the wait being the same, of their deadlines.
    std::map<RequestId, Request> requests_;
    std::unordered_map<std::string, std::deque<RequestId>> byLogin_;  // by folded login
};

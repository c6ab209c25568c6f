#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "journal/Journal.hpp"
#include "session/RequestFollower.hpp"

// The journal's tickets of the requests sent and not settled yet, by the session's request id.
// The ids grow with each request and most requests are settled soon and in the order sent, so
// they wait in one array in id order: no allocation per request, and one settled out of order
// leaves a gap until those before it are settled too.
class PendingTickets {
public:
    struct Pending {
        RequestId id = 0;
        JournalTicket ticket = 0;
        std::string confirmingCode;
        bool settled = false;
    };

    void Add(RequestId id, JournalTicket ticket, std::string confirmingCode);
    // The request's ticket and the report that confirms it, no longer waiting; unset when the
    // request is not waiting.
    std::optional<Pending> Take(RequestId id);
    // Every request still waiting, in id order.
    std::vector<Pending> Waiting() const;
    size_t Size() const { return waiting_; }

private:
    std::vector<Pending> entries_;  // from head_ on, in id order; the settled ones are gaps
    size_t head_ = 0;
    size_t waiting_ = 0;
};

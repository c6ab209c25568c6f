#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/Journal.hpp"
#include "session/RequestFollower.hpp"

// The journal's tickets of the requests sent and not settled yet, by the session's request id.
// The ids grow with each request and most requests are settled soon and in the order sent, so
// they wait in one array in id order: no allocation per request, and one settled out of order
// leaves a gap until those before it are settled too. The reports that confirm them are a
// handful of codes, each kept once.
class PendingTickets {
public:
    struct Pending {
        RequestId id = 0;
        JournalTicket ticket = 0;
        std::string confirmingCode;
    };

    void Add(RequestId id, JournalTicket ticket, std::string_view confirmingCode);
    // The request's ticket and the report that confirms it, no longer waiting; unset when the
    // request is not waiting.
    std::optional<Pending> Take(RequestId id);
    // Every request still waiting, in id order.
    std::vector<Pending> Waiting() const;
    size_t Size() const { return waiting_; }

private:
    // Plain values, so that letting the settled ones at the front go moves bytes, nothing more.
    struct Entry {
        RequestId id = 0;
        JournalTicket ticket = 0;
        uint32_t code = 0;  // in codes_
        bool settled = false;
    };

    uint32_t CodeIndex(std::string_view code);
    Pending PendingOf(const Entry& entry) const { return {entry.id, entry.ticket, codes_[entry.code]}; }

    std::vector<Entry> entries_;  // from head_ on, in id order; the settled ones are gaps
    size_t head_ = 0;
    size_t waiting_ = 0;
    std::vector<std::string> codes_;
    uint32_t lastCode_ = 0;  // the code found last: a bulk operation's requests share one
};

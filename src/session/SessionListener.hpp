#pragma once

#include "link/LinkEvent.hpp"
#include "protocol/ServerLine.hpp"
#include "protocol/ServerReports.hpp"
#include "session/RequestFollower.hpp"
#include "session/SentRequest.hpp"

// What a front end hears from its session, in the order the link's events came. Every call
// comes from the session's Tick, never from inside a socket notification.
class SessionListener {
public:
    // Every link event, before the session acts on it; control: what a "Read" line orders of the
    // connection (also for lines that will not be obeyed), for whoever records it.
    virtual void EventArrived(const LinkEvent& event, const ConnectionEffect& control) = 0;
    // The member list is about to be emptied: a new attempt begins or the connection ended.
    virtual void MembersClearing() {}
    // A report applied to the member list (line read once logged in), or the list emptied
    // (RebuildAll, after MembersClearing).
    virtual void MembersChanged(const RowsEffect& effect, const ServerLineView* report) = 0;
    // Every event queued so far has been handed on: the end of a tick. What waits for the end of a
    // burst of reports is done now.
    virtual void ReportsDelivered() {}
    // The link's state after an event other than "Read" was applied.
    virtual void StateChanged(LinkEventKind kind) = 0;
    // The login completed without the administrator right; the session closes the connection.
    virtual void NotAdministrator() {}
    // The server ordered the connection closed or moved, and the session obeys.
    virtual void ConnectionOrdered(const ConnectionEffect& /*order*/) {}
    // A request went out to the server; a followed one is settled later (RequestSettled).
    virtual void RequestSent(const SentRequest& /*request*/) {}
    // A request followed since it was sent is settled.
    virtual void RequestSettled(const SettledRequest& /*request*/) {}

protected:
    ~SessionListener() = default;
};

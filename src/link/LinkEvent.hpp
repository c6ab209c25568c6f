#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// What the link tells its owner, one event at a time, from Tick.
enum class LinkEventKind : uint8_t {
    Lookup,
    Connecting,
    Connect,
    Login,
    Read,
    Write,
    Error,
    Dropped,
    Disconnect
};

// Whether the session was logged in when the event was queued. Two more states mark a Read
// that is shown, so that nothing is lost, but must not be obeyed as a report or as connection
// control:
// - Cut: the line the connection's end cut off (the unterminated tail held for the next chunk
//   when the connection closed); it is no whole line.
// - FromEndedConnection: a line of a connection that a newer attempt replaced before the line
//   reached the owner (a long burst is delivered in slices); what it orders was meant for the
//   connection that has ended, not for the new one.
enum class LineState : uint8_t { LoggedOut, LoggedIn, Cut, FromEndedConnection };

constexpr bool MayBeObeyed(LineState state) {
    return state == LineState::LoggedOut || state == LineState::LoggedIn;
}

// The event's word, as the connection log shows it to the user.
constexpr std::string_view NameOf(LinkEventKind kind) {
    switch (kind) {
        case LinkEventKind::Lookup:
            return "Lookup";
        case LinkEventKind::Connecting:
            return "Connecting";
        case LinkEventKind::Connect:
            return "Connect";
        case LinkEventKind::Login:
            return "Login";
        case LinkEventKind::Read:
            return "Read";
        case LinkEventKind::Write:
            return "Write";
        case LinkEventKind::Error:
            return "Error";
        case LinkEventKind::Dropped:
            return "Dropped";
        case LinkEventKind::Disconnect:
            return "Disconnect";
    }
    return {};
}

struct LinkEvent {
    LinkEventKind kind = LinkEventKind::Read;
    LineState state = LineState::LoggedOut;
    std::string text;

    bool operator==(const LinkEvent&) const = default;
};

using TkvClientEventHandler = std::function<void(const LinkEvent& event)>;

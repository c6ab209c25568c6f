#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using SessionId = uint64_t;

// What request handling needs of the live connections; the server implements it over its
// sockets, tests over plain lists.
class SessionDirectory {
public:
    virtual void SendLine(SessionId to, const std::string& line) = 0;
    virtual void SendToAdministrators(const std::string& line) = 0;
    // Logged-in connections, in the order they connected.
    virtual std::vector<SessionId> LoggedInSessions() const = 0;
    virtual std::vector<SessionId> SessionsOf(std::string_view login) const = 0;
    // Closes the connection and updates the account's presence without reporting the logout, so
    // that the caller can report it once for all of the account's connections.
    virtual void CloseWithoutReport(SessionId session) = 0;

protected:
    ~SessionDirectory() = default;
};

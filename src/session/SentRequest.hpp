#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session/RequestFollower.hpp"

// A request as it went out, for whoever keeps a record of what was done. A password never
// leaves the session this way: only the fact that one was set.
struct SentRequest {
    // Unset for the requests to everyone, which no report confirms.
    std::optional<RequestId> followed;
    std::string confirmingCode;  // the report that will confirm it ("ARD"…); empty when not followed
    std::string command;         // "add", "edit", "delete", "expel", "logoff", "reconnect", "logoff-all"…
    std::string login;           // empty for a request to everyone
    // The fields the request sets, by name ("protocols", "bots"): for an edit, those that differ
    // from the listed account.
    std::vector<std::pair<std::string, std::string>> fields;
    bool passwordChanged = false;
};

#pragma once

#include <optional>
#include <string_view>

#include "protocol/ServerLine.hpp"

// What a report says happened, for whoever follows the members one by one.
enum class MemberEvent {
    ListComplete,  // the whole list has come
    Added,         // an account was made
    Changed,       // an account's fields changed
    LoggedIn,      // a session of the member began
    LoggedOut,     // a session of the member ended; another may go on
    Deleted,       // the account is gone
    Refused,       // the server refused a request about the member
};

struct MemberReport {
    MemberEvent event;
    std::string_view login;  // a view into the line; empty for ListComplete
};

// Nothing for the lines that are about no one member (a list's lines, acknowledgements,
// connection control, unknown codes).
std::optional<MemberReport> MemberReportOf(const ServerLineView& line);

#pragma once

#include <optional>
#include <string>
#include <string_view>

// The passwords that lines of the wire carry, hidden for whoever reads a log over the
// administrator's shoulder: a member text's password in a report, the password of an add or
// edit request, and the one an "SRE" order carries. Nothing when the line shows no password.
inline constexpr std::string_view kHiddenPassword = "********";

std::optional<std::string> MaskedReport(std::string_view line);
std::optional<std::string> MaskedRequest(std::string_view line);

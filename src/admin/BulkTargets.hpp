#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "members/TkvCLDataCollection.hpp"
#include "session/MemberFilter.hpp"

// The logins a command on many members names in a file: the login column of a CSV that "list
// --format csv" printed, when the first line is that listing's header; otherwise a login a line
// (blanks around it dropped, empty lines skipped). False with the reason for a listing whose
// rows cannot be read.
bool ReadTargetFile(std::string_view text, std::vector<std::string>& logins, std::string& error);

// The logins the command takes: the named ones that the filter lets through (a login not listed
// is kept, so that the plan says it is not listed), or, with none named, every listed member
// the filter lets through, in the list's order.
std::vector<std::string> SelectTargets(const TkvCLDataCollection& members,
                                       const std::optional<std::vector<std::string>>& named,
                                       const MemberFilter& filter);

#pragma once

#include <string>
#include <string_view>

#include "members/TkvCLData.hpp"

// The account a session is logged in with keeps "administrator", so that no edit takes away the
// right it is made with (the window locks that account's protocols for the same reason). Why an
// edit giving the account newProtocols is refused, or empty.
std::string LockedProtocolsProblem(const TkvCLData& account, std::string_view ownLogin,
                                   std::string_view newProtocols);

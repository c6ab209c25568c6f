#pragma once

#include <string>
#include <string_view>

#include "members/TkvCLData.hpp"
#include "protocol/AdminRequest.hpp"

// The account a session is logged in with keeps the administrator right, so that no edit takes
// away the right it is made with (the window locks that account's protocols for the same
// reason). Why an edit giving the account newProtocols is refused, or empty.
std::string LockedProtocolsProblem(const TkvCLData& account, std::string_view ownLogin,
                                   std::string_view newProtocols);

// Why a request making or changing an account with these fields must not be sent, or empty: a
// field its line cannot carry, or the session's own account losing its right. existing: the
// account as listed now, if it is.
std::string AccountRequestProblem(const AccountFields& fields, const TkvCLData* existing,
                                  std::string_view ownLogin);

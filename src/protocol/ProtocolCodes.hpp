#pragma once

#include <string_view>

// The codes of the server's lines and of the client's requests. They are compared exactly,
// letter case included.

// Reports about the member list, read once the login has completed.
namespace ReportCode {
inline constexpr std::string_view ListStart = "ARLS";
inline constexpr std::string_view ListMember = "ARLM";
inline constexpr std::string_view ListComplete = "ARLC";
inline constexpr std::string_view AccountAdded = "ARA";
inline constexpr std::string_view AccountModified = "ARM";
inline constexpr std::string_view AccountDeleted = "ARD";
inline constexpr std::string_view MemberLoggedIn = "ARI";
inline constexpr std::string_view MemberLoggedOut = "ARO";
// Carries a member text like "ARM"; the client needs nothing more of it.
inline constexpr std::string_view MemberQuery = "ARQ";
// A request refused by the server, with its reason; the window ignores it.
inline constexpr std::string_view Refused = "ARE";
inline constexpr std::string_view Acknowledged = "ARK";
}  // namespace ReportCode

// The protocol a login must be granted to administer the server; the client keeps no other.
inline constexpr std::string_view kAdministratorProtocol = "administrator";

// Connection control, obeyed even before the login has completed.
namespace ControlCode {
inline constexpr std::string_view Reconnect = "SRE";
inline constexpr std::string_view Close = "SRC";
}  // namespace ControlCode

// Administration requests; each is followed by "_", a login (possibly empty), ":" and arguments.
namespace RequestCode {
inline constexpr std::string_view AddAccount = "ADA";
inline constexpr std::string_view EditAccount = "ADE";
inline constexpr std::string_view DeleteAccount = "ADD";
inline constexpr std::string_view Expel = "ADX";
// With an empty login: everyone, the requester included.
inline constexpr std::string_view Logoff = "AEC";
inline constexpr std::string_view LogoffAllButRequester = "AEX";
// With an empty login: everyone, the requester included.
inline constexpr std::string_view Reconnect = "ACR";
inline constexpr std::string_view ReconnectAllButRequester = "ACX";
}  // namespace RequestCode

#pragma once

// What the program's exit status tells a script.
namespace ExitStatus {
inline constexpr int Done = 0;
// The server refused the request, or it was refused before sending (a field the line cannot
// carry, an unknown or offline member), or some rows of an import were refused or skipped.
inline constexpr int Refused = 1;
inline constexpr int NoConnection = 2;
inline constexpr int NotAdministrator = 3;
inline constexpr int TimedOut = 4;
inline constexpr int Usage = 64;
}  // namespace ExitStatus

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/ClientSocket.hpp"

// "Windows socket error: <message> (<code>)", the message without its trailing blanks, control
// characters and full stops, so that the code reads as the end of the sentence.
std::string FormatSocketError(std::string_view platformMessage, int32_t code);

// The name an "Error" event gives the kind ("ConnectError", ...).
std::string SocketErrorKindName(TSocketErrorKind kind);

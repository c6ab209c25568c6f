#include "link/ErrorEventWording.hpp"

#include "link/LinkProtection.hpp"

namespace {

bool IsTrailingFiller(char c) {
    return static_cast<unsigned char>(c) <= 32 || c == '.';
}

}  // namespace

std::string FormatSocketError(std::string_view platformMessage, int32_t code) {
    auto end = platformMessage.size();
    while (end > 0 && IsTrailingFiller(platformMessage[end - 1])) {
        --end;
    }
    if (IsLinkRefusal(code)) {
        // No socket said it: the link's protection did.
        return std::string(platformMessage.substr(0, end)) + " (" + std::to_string(code) + ")";
    }
    return "Windows socket error: " + std::string(platformMessage.substr(0, end)) + " (" +
           std::to_string(code) + ")";
}

std::string SocketErrorKindName(TSocketErrorKind kind) {
    switch (kind) {
        case TSocketErrorKind::Send:
            return "SendError";
        case TSocketErrorKind::Receive:
            return "ReceiveError";
        case TSocketErrorKind::Connect:
            return "ConnectError";
        case TSocketErrorKind::Disconnect:
            return "DisconnectError";
        default:
            return "UnknownError";
    }
}

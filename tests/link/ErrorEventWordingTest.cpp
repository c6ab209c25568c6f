#include "link/ErrorEventWording.hpp"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    std::string message;
    int32_t code;
    std::string expected;
};

TEST(FormatSocketError, DropsTrailingBlanksControlsAndFullStops) {
    const FormatCase cases[] = {
        {"Connection refused. \r\n", 10061, "Windows socket error: Connection refused (10061)"},
        {"Timed out...", 10060, "Windows socket error: Timed out (10060)"},
        {"v1.2 failed . .\t", -5, "Windows socket error: v1.2 failed (-5)"},
        {" keep. inner.x", 1, "Windows socket error:  keep. inner.x (1)"},
        {"", 0, "Windows socket error:  (0)"},
        {"...", 7, "Windows socket error:  (7)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSocketError(c.message, c.code), c.expected) << c.message;
    }
}

TEST(SocketErrorKindName, NamesEachKind) {
    EXPECT_EQ(SocketErrorKindName(TSocketErrorKind::General), "UnknownError");
    EXPECT_EQ(SocketErrorKindName(TSocketErrorKind::Send), "SendError");
    EXPECT_EQ(SocketErrorKindName(TSocketErrorKind::Receive), "ReceiveError");
    EXPECT_EQ(SocketErrorKindName(TSocketErrorKind::Connect), "ConnectError");
    EXPECT_EQ(SocketErrorKindName(TSocketErrorKind::Disconnect), "DisconnectError");
    EXPECT_EQ(SocketErrorKindName(TSocketErrorKind::Accept), "UnknownError");
    EXPECT_EQ(SocketErrorKindName(TSocketErrorKind::Lookup), "UnknownError");
}

}  // namespace

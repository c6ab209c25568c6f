#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LinkHarness.hpp"
#include "link/LinkProtection.hpp"

namespace {

using std::chrono::seconds;

constexpr std::string_view kHex = "680D64176D5711E2E0DC96CF3AEE145D063492BD69FD138EFCEA3F44D25DDF83";

struct FingerprintCase {
    std::string written;
    std::string normal;
};

class FingerprintReading : public ::testing::TestWithParam<FingerprintCase> {};

TEST_P(FingerprintReading, ReadsAsOpensslPrintsItOrNotAtAll) {
    EXPECT_EQ(NormalFingerprint(GetParam().written), GetParam().normal);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FingerprintReading,
    ::testing::Values(FingerprintCase{std::string(kHex), std::string(kHex)},
                      FingerprintCase{ColonFingerprint(kHex), std::string(kHex)},
                      FingerprintCase{"sha256 Fingerprint=" + ColonFingerprint(kHex), std::string(kHex)},
                      FingerprintCase{"680d64176d5711e2e0dc96cf3aee145d063492bd69fd138efcea3f44d25ddf83",
                                      std::string(kHex)},
                      FingerprintCase{std::string(kHex.substr(2)), ""},        // too short
                      FingerprintCase{std::string(kHex) + "00", ""},           // too long
                      FingerprintCase{"G" + std::string(kHex.substr(1)), ""},  // not hexadecimal
                      FingerprintCase{"", ""}));

TEST(Pins, SurviveTheirTextAndDropWhatDoesNotRead) {
    const std::map<std::string, std::string> pins{{"a.example:1", std::string(kHex)},
                                                  {"[::1]:6671", std::string(kHex)}};
    EXPECT_EQ(ParsePins(PinsText(pins)), pins);
    EXPECT_EQ(ParsePins("nohost,=AB,x:1=12,a.example:1=" + ColonFingerprint(kHex)),
              (std::map<std::string, std::string>{{"a.example:1", std::string(kHex)}}));
}

class LinkRefusalSchedule : public ::testing::Test, protected LinkHarness {
protected:
    size_t Attempts() const { return socket->Opens().size(); }
};

// However the schedule stood, a refused certificate or a missing TLS is never tried again by
// itself: the same answer would come back.
TEST_F(LinkRefusalSchedule, ARefusalIsNotRetriedLikeALostConnection) {
    for (const int32_t code : {LinkRefusal::CertificateUnverified, LinkRefusal::CertificateChanged,
                               LinkRefusal::TlsFailed, LinkRefusal::TunnelFailed}) {
        link->SetAutoReconnect(true);
        link->SetHost("server.test");
        link->SetPort(4000);
        link->Reconnect().SetArmed(true);
        Tick();
        const size_t before = Attempts();
        socket->Refuse(code);
        Tick();
        clock.Advance(seconds(3600));
        Tick();
        EXPECT_EQ(Attempts(), before) << code;
        EXPECT_FALSE(link->TimeUntilDue().has_value()) << code;
        EXPECT_FALSE(link->SocketActive());
    }
}

TEST_F(LinkRefusalSchedule, AServersOrderedReconnectStopsAtARefusal) {
    LogIn();
    link->ServerReconnect(1, 4001, "other.test");
    Tick();
    clock.Advance(seconds(60));
    Tick();
    const size_t before = Attempts();
    ASSERT_GT(before, 1u);
    socket->Refuse(LinkRefusal::CertificateUnverified);
    clock.Advance(seconds(3600));
    Tick();
    EXPECT_EQ(Attempts(), before);
}

TEST_F(LinkRefusalSchedule, AnOrdinaryRefusalIsStillRetried) {
    link->SetAutoReconnect(true);
    link->SetHost("server.test");
    link->SetPort(4000);
    link->Reconnect().SetArmed(true);
    Tick();
    socket->Refuse(10061);
    clock.Advance(seconds(3600));
    Tick();
    EXPECT_EQ(Attempts(), 2u);
}

}  // namespace

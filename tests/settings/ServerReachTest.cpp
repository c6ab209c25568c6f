#include <gtest/gtest.h>

#include "session/ReachPolicy.hpp"
#include "settings/SavedServers.hpp"
#include "settings/ServerReach.hpp"

namespace {

constexpr std::string_view kPin = "680D64176D5711E2E0DC96CF3AEE145D063492BD69FD138EFCEA3F44D25DDF83";

struct WayCase {
    std::string way;
    ReachKind kind;
    std::string sshTarget;
};

class ReachWays : public ::testing::TestWithParam<WayCase> {};

TEST_P(ReachWays, ReadAsTheFileSaysThem) {
    const ServerReach reach{GetParam().way, {}, {}, {}};
    EXPECT_EQ(KindOf(reach), GetParam().kind);
    EXPECT_EQ(SshTargetOf(reach), GetParam().sshTarget);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ReachWays,
    ::testing::Values(WayCase{"", ReachKind::Plain, ""}, WayCase{"tcp", ReachKind::Plain, ""},
                      WayCase{"plain", ReachKind::Plain, ""}, WayCase{" TLS ", ReachKind::Tls, ""},
                      WayCase{"ssh ops@jump.example:2222", ReachKind::Ssh, "ops@jump.example:2222"},
                      WayCase{"ssh", ReachKind::Plain, ""}));

TEST(ServerReachFile, APlainConnectionWritesNoKeyAndAnEmptiedKeyIsCleared) {
    IniStore ini("unused.ini");
    ini.SetText("[Parameters]\nHost=a\n");
    ASSERT_TRUE(WriteServerReach(ini, "Parameters", ServerReach{}));
    EXPECT_EQ(ini.Text(), "[Parameters]\nHost=a\n");

    const ServerReach tls{"tls", "/etc/ca.pem", "a:1=" + std::string(kPin), ""};
    ASSERT_TRUE(WriteServerReach(ini, "Parameters", tls));
    EXPECT_EQ(ReadServerReach(ini, "Parameters"), tls);
    ASSERT_TRUE(WriteServerReach(ini, "Parameters", ServerReach{"tcp", "", "", ""}));
    EXPECT_EQ(ReadServerReach(ini, "Parameters"), (ServerReach{"tcp", "", "", ""}));
}

TEST(ServerReachFile, ASavedServerKeepsItsWayAndPins) {
    IniStore ini("unused.ini");
    SavedServer lab;
    lab.name = "lab";
    lab.host = "lab.example";
    lab.port = 6671;
    lab.login = "admin";
    SetReach(lab, ServerReach{"tls", "ca.pem", "lab.example:6671=" + std::string(kPin), ""});
    ASSERT_TRUE(WriteSavedServer(ini, lab));
    const std::optional<SavedServer> read = FindSavedServer(ini, "lab");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, lab);

    const TlsPolicy policy = TlsPolicyOf(ReachOf(*read));
    EXPECT_TRUE(policy.on);
    EXPECT_EQ(policy.caFile, "ca.pem");
    EXPECT_EQ(policy.pins.at("lab.example:6671"), kPin);
    EXPECT_FALSE(TlsPolicyOf(ServerReach{"ssh a@b", "ca.pem", "", ""}).on);
}

}  // namespace

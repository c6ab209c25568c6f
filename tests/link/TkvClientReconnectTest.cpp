#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LinkHarness.hpp"

namespace {

using enum LinkEventKind;
using enum LineState;

using std::chrono::milliseconds;
using std::chrono::seconds;
using ::testing::ElementsAre;

constexpr milliseconds kJustOver{1};

class TkvClientReconnect : public ::testing::Test, protected LinkHarness {
protected:
    size_t Attempts() const { return socket->Opens().size(); }

    seconds WaitPlanned() const {
        return std::chrono::duration_cast<seconds>(link->Reconnect().NextAttempt() - clock.Now());
    }
};

TEST_F(TkvClientReconnect, ANewLinkWaitsForTheOwnerAndAnEvent) {
    link->SetHost("server.test");
    link->SetPort(4000);
    clock.Advance(seconds(3600));
    Tick();
    EXPECT_EQ(Attempts(), 0u);

    link->SetAutoReconnect(true);
    Tick();
    EXPECT_EQ(Attempts(), 0u) << "switched on but not armed";
}

TEST_F(TkvClientReconnect, DroppedLoginIsRetriedAfterTheFirstDelayThenEveryDelay) {
    link->SetAutoReconnect(true);
    LogIn();
    socket->PeerCloses();

    clock.Advance(seconds(10));
    Tick();
    EXPECT_EQ(Attempts(), 1u);
    clock.Advance(kJustOver);
    Tick();
    EXPECT_EQ(Attempts(), 2u);
    EXPECT_EQ(WaitPlanned(), seconds(10));
}

TEST_F(TkvClientReconnect, RefusedAttemptFromATickPlansThreeTimes) {
    link->SetAutoReconnect(true);
    link->SetHost("server.test");
    link->SetPort(4000);
    link->Reconnect().SetArmed(true);

    Tick();
    ASSERT_EQ(Attempts(), 1u);
    socket->Refuse(10061);

    EXPECT_EQ(link->Reconnect().TotalAttempts(), 3);
    EXPECT_TRUE(link->Reconnect().Armed());
    EXPECT_THAT(TickKinds(), ElementsAre(Lookup, Connecting, Disconnect, Error));
}

TEST_F(TkvClientReconnect, ErrorPlanReplacesThePauseOfTheDisconnectPlan) {
    link->SetAutoReconnect(true);
    link->SetReconnectAttempts(1);
    link->SetReconnectDelay(7);
    link->SetHost("server.test");
    link->SetPort(4000);
    link->Reconnect().SetArmed(true);

    Tick();
    socket->Refuse(10061);

    EXPECT_EQ(link->Reconnect().CyclesDone(), 1);
    EXPECT_EQ(WaitPlanned(), seconds(7));
}

struct ConnectErrorCase {
    int32_t code;
    bool armedBefore;
    bool armedAfter;
};

TEST(TkvClientConnectError, SomeCodesSteerTheReconnection) {
    const ConnectErrorCase cases[] = {
        {10049, true, false}, {10055, true, false},  {10061, false, true},
        {10060, true, true},  {10060, false, false},
    };
    for (const auto& c : cases) {
        LinkHarness h;
        h.link->Connect("server.test", 4000);
        h.link->Reconnect().SetArmed(c.armedBefore);
        h.socket->Refuse(c.code);
        EXPECT_EQ(h.link->Reconnect().Armed(), c.armedAfter) << c.code;
        EXPECT_GE(h.link->Reconnect().TotalAttempts(), 1) << c.code;
    }
}

TEST(TkvClientReconnectNeeds, NothingIsAttemptedWithoutPortHostAndLogin) {
    struct Missing {
        const char* label;
        int32_t port;
        std::string host;
        std::string login;
    };
    const Missing cases[] = {
        {"port", 0, "server.test", "admin"},
        {"host", 4000, "", "admin"},
        {"login", 4000, "server.test", ""},
    };
    for (const auto& c : cases) {
        LinkHarness h;
        h.link->SetPort(c.port);
        h.link->SetHost(c.host);
        h.link->SetLogin(c.login);
        h.link->Reconnect().SetForcedAttempts(5);
        h.clock.Advance(seconds(1));
        ASSERT_TRUE(h.link->Reconnect().IsDue()) << c.label;
        h.Tick();
        EXPECT_TRUE(h.socket->Opens().empty()) << c.label;
        EXPECT_EQ(h.link->Reconnect().ForcedAttempts(), 5) << c.label;
        EXPECT_EQ(h.link->Reconnect().TotalAttempts(), 0) << c.label;
    }
}

TEST_F(TkvClientReconnect, SwitchingOffDisarmsAndSwitchingOnDoesNotArm) {
    link->SetAutoReconnect(true);
    link->Reconnect().SetArmed(true);
    link->SetAutoReconnect(false);
    EXPECT_FALSE(link->Reconnect().Armed());
    link->SetAutoReconnect(true);
    EXPECT_FALSE(link->Reconnect().Armed());
    EXPECT_TRUE(link->AutoReconnect());
}

TEST_F(TkvClientReconnect, DisconnectBeforeAnyDataArmsAgain) {
    link->SetAutoReconnect(true);
    ConnectAndAccept();
    link->Disconnect();
    EXPECT_TRUE(link->Reconnect().Armed());

    clock.Advance(seconds(10) + kJustOver);
    Tick();
    EXPECT_EQ(Attempts(), 2u);
}

TEST_F(TkvClientReconnect, RefusedLoginIsNotRetried) {
    link->SetAutoReconnect(true);
    ConnectAndAccept();
    socket->Deliver("send login:\r\nsend password:\r\naccess denied\r\n");
    socket->PeerCloses();

    clock.Advance(seconds(3600));
    Tick();
    EXPECT_EQ(Attempts(), 1u);
}

TEST_F(TkvClientReconnect, ServerOrderedReconnectionRunsWithAutomaticReconnectionOff) {
    LogIn();
    link->ServerReconnect(5, 0, "");

    EXPECT_FALSE(link->Connected());
    EXPECT_THAT(TickKinds(), ElementsAre(Disconnect));
    EXPECT_EQ(WaitPlanned(), seconds(10)) << "at least the minimum first delay";
    EXPECT_EQ(link->Reconnect().ForcedAttempts(), 29);

    clock.Advance(seconds(10) + kJustOver);
    Tick();
    EXPECT_EQ(socket->Opens().back(), (FakeSocketLog::OpenCall{"", "server.test", 4000}));
}

TEST_F(TkvClientReconnect, ServerOrderedDelayLongerThanTheMinimumIsKept) {
    link->ServerReconnect(25, 0, "");
    EXPECT_EQ(WaitPlanned(), seconds(25));
    EXPECT_EQ(link->Reconnect().FirstDelaySeconds(), 10);
}

TEST_F(TkvClientReconnect, ServerOrderedReconnectionGivesUpAfterThirtyPlans) {
    link->SetHost("server.test");
    link->SetPort(4000);
    link->ServerReconnect(0, 0, "");
    for (int i = 0; i < 100; ++i) {
        clock.Advance(seconds(3600));
        const auto before = Attempts();
        Tick();
        if (Attempts() > before) {
            socket->Refuse(10060);  // each attempt plans twice: before it and on its error
        }
    }
    EXPECT_EQ(Attempts(), 15u);
    EXPECT_EQ(link->Reconnect().ForcedAttempts(), 0);
}

TEST_F(TkvClientReconnect, ServerOrderedReconnectionToAnotherServerAndAccount) {
    LogIn();
    link->ServerReconnectAs(0, 5000, " other.test ", "operator", "");

    EXPECT_EQ(link->Host(), "other.test");
    EXPECT_EQ(link->Port(), 5000);
    EXPECT_EQ(link->Login(), "operator");
    EXPECT_EQ(link->Password(), "");

    clock.Advance(seconds(10) + kJustOver);
    Tick();
    EXPECT_EQ(socket->Opens().back(), (FakeSocketLog::OpenCall{"", "other.test", 5000}));
    socket->AcceptConnection();
    const auto sentBefore = socket->Written().size();
    socket->Deliver("send login:\r\nsend password:\r\n");
    EXPECT_EQ(socket->Written().substr(sentBefore), "operator\r\r");
}

TEST_F(TkvClientReconnect, ServerOrderedReconnectionKeepsWhatItIsNotGiven) {
    link->SetHost("server.test");
    link->SetPort(4000);
    link->ServerReconnectAs(0, 0, "  ", "", "new");
    EXPECT_EQ(link->Host(), "server.test");
    EXPECT_EQ(link->Port(), 4000);
    EXPECT_EQ(link->Login(), "admin");
    EXPECT_EQ(link->Password(), "new");
}

TEST_F(TkvClientReconnect, IntervalsAreSetAndReadInSeconds) {
    link->SetReconnectDelay(-3);
    link->SetReconnectPause(90);
    link->SetReconnectAttempts(-1);
    link->SetReconnectCycles(4);
    EXPECT_EQ(link->ReconnectDelay(), 0);
    EXPECT_EQ(link->ReconnectPause(), 90);
    EXPECT_EQ(link->ReconnectAttempts(), -1);
    EXPECT_EQ(link->ReconnectCycles(), 4);
}

// A lookup or connect slower than the delay would otherwise be replaced by the next attempt
// again and again, and never complete.
TEST_F(TkvClientReconnect, NoNewAttemptWhileOneIsPending) {
    struct Ending {
        const char* label;
        std::function<void(FakeClientSocket&)> end;
        bool attemptsAgain;
    };
    const Ending endings[] = {
        {"timed out", [](FakeClientSocket& s) { s.Refuse(10060); }, true},
        {"refused", [](FakeClientSocket& s) { s.Refuse(10061); }, true},
        {"lookup failed", [](FakeClientSocket& s) { s.FailLookup(); }, true},
        {"connected", [](FakeClientSocket& s) { s.AcceptConnection(); }, false},
    };
    for (const auto& ending : endings) {
        LinkHarness h;
        h.link->SetAutoReconnect(true);
        h.LogIn();
        h.socket->PeerCloses();
        h.clock.Advance(seconds(11));
        h.Tick();
        ASSERT_EQ(h.socket->Opens().size(), 2u) << ending.label;
        ASSERT_TRUE(h.socket->Pending()) << ending.label;
        for (int i = 0; i < 10; ++i) {
            h.clock.Advance(seconds(11));
            h.Tick();
        }
        EXPECT_EQ(h.socket->Opens().size(), 2u) << ending.label << ": replaced while pending";
        ending.end(*h.socket);
        h.clock.Advance(seconds(11));
        h.Tick();
        EXPECT_EQ(h.socket->Opens().size() > 2u, ending.attemptsAgain) << ending.label;
    }
}

}  // namespace

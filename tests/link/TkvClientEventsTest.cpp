#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LinkHarness.hpp"

namespace {

using enum LinkEventKind;
using enum LineState;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class TkvClientEvents : public ::testing::Test, protected LinkHarness {};

TEST_F(TkvClientEvents, NormalConnectionQueuesEveryStepInOrder) {
    link->SetPassword("pw");
    EXPECT_TRUE(link->Connect("server.test", 4000));
    socket->AcceptConnection();
    socket->Deliver("send login:\r\n");
    socket->Deliver("send password:\r\n");
    socket->Deliver("protocols: administrator, chat :)\r\n");
    socket->Deliver("ARLC\r\n");
    link->SendLine("ADX_bob:");
    socket->PeerCloses();
    ASSERT_THAT(delivered, IsEmpty()) << "events reach the owner only from Tick";

    EXPECT_THAT(Tick(), ElementsAreArray<LinkEvent>({
                            {Lookup, LoggedOut, ""},
                            {Connecting, LoggedOut, ""},
                            {Connect, LoggedOut, ""},
                            {Read, LoggedOut, "send login:"},
                            {Write, LoggedOut, "admin"},
                            {Read, LoggedOut, "send password:"},
                            {Write, LoggedOut, "pw"},
                            {Read, LoggedOut, "protocols: administrator, chat :)"},
                            {Login, LoggedIn, ""},
                            {Read, LoggedIn, "ARLC"},
                            {Write, LoggedIn, "ADX_bob:"},
                            {Disconnect, LoggedOut, ""},
                        }));
    EXPECT_EQ(socket->Written(), "admin\rpw\rADX_bob:\r");
    EXPECT_THAT(socket->Opens(), ElementsAre(FakeSocketLog::OpenCall{"", "server.test", 4000}));
    EXPECT_FALSE(link->Connected());
    EXPECT_FALSE(link->LoggedIn());
    EXPECT_THAT(link->ServerProtocols(), IsEmpty());
}

struct ConnectCase {
    const char* label;
    std::string host;
    int32_t port;
    FakeSocketLog::OpenCall opened;
};

TEST(TkvClientConnect, OpensAnAddressOrAHostName) {
    const ConnectCase cases[] = {
        {"dotted address", "10.0.0.1", 1, {"10.0.0.1", "", 1}},
        {"host name, trimmed", " server.test\t", 4000, {"", "server.test", 4000}},
        {"empty host and port 0 keep the previous ones", "", 0, {"", "old.test", 99}},
        {"blank host and a negative port keep the previous ones", "  ", -5, {"", "old.test", 99}},
        {"an out-of-range port is the socket's to refuse", "10.0.0.1", 70000, {"10.0.0.1", "", 70000}},
        {"not quite an address", "10.0.0.256", 7, {"", "10.0.0.256", 7}},
    };
    for (const auto& c : cases) {
        LinkHarness h;
        h.link->SetHost("old.test");
        h.link->SetPort(99);
        EXPECT_TRUE(h.link->Connect(c.host, c.port)) << c.label;
        EXPECT_THAT(h.socket->Opens(), ElementsAre(c.opened)) << c.label;
        EXPECT_THAT(h.TickKinds(), ElementsAre(Lookup)) << c.label;
    }
}

TEST_F(TkvClientEvents, RefusedConnectionClosesTheEndpointBeforeItsError) {
    link->Connect("server.test", 4000);
    socket->Refuse(10061);

    EXPECT_THAT(Tick(),
                ElementsAreArray<LinkEvent>({
                    {Lookup, LoggedOut, ""},
                    {Connecting, LoggedOut, ""},
                    {Disconnect, LoggedOut, ""},
                    {Error, LoggedOut, "ConnectError - Windows socket error: Connection refused (10061)"},
                }));
    EXPECT_EQ(socket->Log()->closeEndpointCalls, 1);
    EXPECT_EQ(link->LastErrorText(), "Windows socket error: Connection refused (10061)");
    EXPECT_EQ(link->LastErrorCode(), 10061);
    EXPECT_EQ(link->LastErrorKind(), "ConnectError");
    EXPECT_THAT(socket->Log()->unhandledErrorCodes, IsEmpty());
}

TEST_F(TkvClientEvents, TimedOutConnectionGivesAnErrorAlone) {
    link->Connect("server.test", 4000);
    socket->Refuse(10060);

    EXPECT_THAT(TickKinds(), ElementsAre(Lookup, Connecting, Error));
    EXPECT_EQ(link->LastErrorText(), "Windows socket error: Connection timed out (10060)");
    EXPECT_EQ(socket->Log()->closeEndpointCalls, 0);
    EXPECT_THAT(socket->Log()->unhandledErrorCodes, IsEmpty());
}

TEST_F(TkvClientEvents, FailedLookupGivesADisconnectAndNoError) {
    link->Connect("bad..host", 4000);
    socket->FailLookup();

    EXPECT_THAT(TickKinds(), ElementsAre(Lookup, Disconnect));
    EXPECT_THAT(link->LastErrorText(), IsEmpty());
}

TEST_F(TkvClientEvents, FailureToOpenIsReportedByTheResult) {
    link->Connect("server.test", 4000);
    socket->FailNextOpen("No endpoint can be created");

    EXPECT_FALSE(link->Connect("server.test", 4000));
    EXPECT_EQ(link->LastErrorText(), "No endpoint can be created");
    EXPECT_THAT(TickKinds(), ElementsAre(Lookup)) << "events queued before the failure stay queued";
}

TEST_F(TkvClientEvents, ConnectOnAnEstablishedConnectionClosesItFirst) {
    LogIn();
    const int closesBefore = socket->Log()->closeCalls;

    link->Connect("other.test", 0);

    EXPECT_EQ(socket->Log()->closeCalls, closesBefore + 1);
    EXPECT_THAT(Tick(), ElementsAreArray<LinkEvent>({{Disconnect, LoggedOut, ""}, {Lookup, LoggedOut, ""}}));
    EXPECT_EQ(link->Reconnect().TotalAttempts(), 1) << "one plan, by the disconnect handling";
    EXPECT_EQ(socket->Opens().back(), (FakeSocketLog::OpenCall{"", "other.test", 4000}));
}

TEST_F(TkvClientEvents, OtherErrorsLeaveTheConnectionUp) {
    LogIn();
    socket->RaiseError(TSocketErrorKind::Receive, 10054);
    socket->RaiseError(TSocketErrorKind::Disconnect, 10053);

    EXPECT_THAT(TickKinds(), ElementsAre(Error, Error));
    EXPECT_TRUE(link->Connected());
    EXPECT_TRUE(link->LoggedIn());
    EXPECT_EQ(link->LastErrorKind(), "DisconnectError");
    EXPECT_THAT(socket->Log()->unhandledErrorCodes, IsEmpty());
}

TEST_F(TkvClientEvents, DisconnectDoesNotStopAPendingAttempt) {
    link->Connect("server.test", 4000);
    link->Disconnect();
    socket->AcceptConnection();

    EXPECT_THAT(TickKinds(), ElementsAre(Lookup, Connecting, Connect));
    EXPECT_TRUE(link->Connected());
}

TEST_F(TkvClientEvents, EventsQueuedDuringDeliveryWaitForTheNextTick) {
    onDelivered = [this](const LinkEvent& event) {
        if (event.kind == Login) {
            link->SendLine("ARLS");
        }
    };
    ConnectAndAccept();
    socket->Deliver("protocols: administrator :)\r\n");

    EXPECT_THAT(TickKinds(), ElementsAre(Lookup, Connecting, Connect, Read, Login));
    EXPECT_EQ(socket->Written(), "ARLS\r") << "sent at once";
    EXPECT_THAT(Tick(), ElementsAre(LinkEvent{Write, LoggedIn, "ARLS"}));
}

TEST(TkvClientLifetime, DestructionClosesTheSocketAndDropsUndeliveredEvents) {
    auto harness = std::make_unique<LinkHarness>();
    harness->LogIn();
    harness->socket->Deliver("ARLC\r\n");
    const auto log = harness->socket->Log();
    const int closesBefore = log->closeCalls;
    harness->delivered.clear();

    harness->link.reset();

    EXPECT_THAT(harness->delivered, IsEmpty());
    EXPECT_EQ(log->closeCalls, closesBefore + 1);
    EXPECT_TRUE(log->destroyed);
    EXPECT_FALSE(log->handlerAttachedAtDestruction);
}

TEST(TkvClientLifetime, AnEmptyCallbackSwallowsEvents) {
    ManualClock clock;
    auto owned = std::make_unique<FakeClientSocket>();
    auto* socket = owned.get();
    TkvClient link({}, std::move(owned), clock);
    link.Connect("server.test", 1);
    socket->AcceptConnection();
    link.Tick();
    EXPECT_EQ(link.QueuedEventCount(), 0u);
}

}  // namespace

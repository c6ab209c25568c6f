#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LinkHarness.hpp"
#include "link/LineFramer.hpp"

namespace {

using enum LinkEventKind;
using enum LineState;

using namespace std::string_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

std::vector<std::string> ReadTexts(const std::vector<LinkEvent>& events) {
    std::vector<std::string> texts;
    for (const auto& event : events) {
        if (event.kind == Read) {
            texts.push_back(event.text);
        }
    }
    return texts;
}

struct ChunkCase {
    const char* label;
    std::vector<std::string> chunks;
    std::vector<std::string> reads;
};

TEST(TkvClientFraming, BeforeTheLoginEveryChunkStandsAlone) {
    const ChunkCase cases[] = {
        {"all line ends", {"a\r\nb\rc\nd"}, {"a", "b", "c", "d"}},
        {"LF CR gives an empty line", {"a\n\rb\r\n"}, {"a", "", "b"}},
        {"zero byte", {"a\r\nb\0c\r\n"s}, {"a", "b"}},
        {"empty chunk", {""}, {}},
        {"a prompt split over two chunks", {"send lo", "gin:\r\n"}, {"send lo", "gin:"}},
    };
    for (const auto& c : cases) {
        LinkHarness h;
        h.ConnectAndAccept();
        for (const auto& chunk : c.chunks) {
            h.socket->Deliver(chunk);
        }
        EXPECT_THAT(ReadTexts(h.Tick()), ElementsAreArray(c.reads)) << c.label;
        EXPECT_THAT(h.socket->Written(), IsEmpty()) << c.label;
    }
}

TEST(TkvClientFraming, UnterminatedPromptIsStillAnswered) {
    LinkHarness h;
    h.ConnectAndAccept();
    h.socket->Deliver("send login:");
    EXPECT_EQ(h.socket->Written(), "admin\r");
}

TEST(TkvClientFraming, AfterTheLoginALineCutByTheNetworkArrivesWhole) {
    LinkHarness h;
    h.LogIn();
    h.socket->Deliver("ARLM_al");
    h.socket->Deliver("ice:x\r\nAR");
    h.socket->Deliver("LC\r\n");
    EXPECT_THAT(h.Tick(),
                ElementsAreArray<LinkEvent>({{Read, LoggedIn, "ARLM_alice:x"}, {Read, LoggedIn, "ARLC"}}));
}

TEST(TkvClientFraming, TheChunkThatCompletesTheLoginHoldsItsRest) {
    LinkHarness h;
    h.ConnectAndAccept();
    h.Tick();
    h.socket->Deliver("protocols: administrator :)\r\nARLM_a");
    h.socket->Deliver("b\r\n");
    EXPECT_THAT(h.Tick(), ElementsAreArray<LinkEvent>({{Read, LoggedOut, "protocols: administrator :)"},
                                                       {Login, LoggedIn, ""},
                                                       {Read, LoggedIn, "ARLM_ab"}}));
}

// Nothing is lost, but the tail is marked as cut so that the owner does not obey a fragment.
TEST(TkvClientFraming, HeldRestIsDeliveredCutBeforeTheDisconnect) {
    LinkHarness h;
    h.LogIn();
    h.socket->Deliver("ARLM_partial");
    h.socket->PeerCloses();
    EXPECT_THAT(h.Tick(),
                ElementsAreArray<LinkEvent>({{Read, Cut, "ARLM_partial"}, {Disconnect, LoggedOut, ""}}));
}

TEST(TkvClientFraming, HeldRestKeepsItsLoginWhenTheOwnerConnectsAgain) {
    LinkHarness h;
    h.LogIn();
    h.socket->Deliver("ARLM_bob:hi :)");
    h.link->Connect("", 0);
    EXPECT_THAT(h.Tick(),
                ElementsAreArray<LinkEvent>(
                    {{Read, Cut, "ARLM_bob:hi :)"}, {Disconnect, LoggedOut, ""}, {Lookup, LoggedOut, ""}}));
    EXPECT_FALSE(h.link->LoggedIn());
}

TEST(TkvClientFraming, HeldRestIsBoundedByOneMebibyte) {
    LinkHarness h;
    h.LogIn();
    const std::string bound(LineFramer::kMaxHeldBytes, 'x');

    h.socket->Deliver(bound);
    EXPECT_THAT(h.Tick(), IsEmpty()) << "a rest at the bound is held";
    h.socket->Deliver("y");
    EXPECT_THAT(h.Tick(),
                ElementsAre(LinkEvent{Dropped, LoggedIn, "a line longer than 1048576 bytes, unread"}))
        << "one byte over the bound drops the line, and says so";
    h.socket->Deliver("ARLM:on,,ghost=;;\r\nz\r\n");
    EXPECT_THAT(ReadTexts(h.Tick()), ElementsAre("z")) << "the overlong line's end is no report";
}

class TkvClientHeartbeat : public ::testing::Test, protected LinkHarness {
protected:
    static constexpr std::chrono::milliseconds kInterval = std::chrono::seconds(60);
    static constexpr std::chrono::milliseconds kJustOver{1};
};

TEST_F(TkvClientHeartbeat, IdleConnectionGetsASpaceAfterTheInterval) {
    LogIn();
    const auto sentBefore = socket->Written();

    clock.Advance(kInterval);
    Tick();
    EXPECT_EQ(socket->Written(), sentBefore) << "not yet at exactly the interval";

    clock.Advance(kJustOver);
    Tick();
    EXPECT_EQ(socket->Written(), sentBefore + " \r");
    EXPECT_THAT(Tick(), ElementsAre(LinkEvent{Write, LoggedIn, " "}));
}

TEST_F(TkvClientHeartbeat, AnyActivityPushesItBack) {
    struct Activity {
        const char* label;
        std::function<void()> run;
        bool pushesBack;
    };
    const Activity activities[] = {
        {"read", [this] { socket->Deliver("x\r\n"); }, true},
        {"line sent", [this] { link->SendLine("ARLS"); }, true},
        {"network ready to write", [this] { socket->Writable(); }, true},
        {"an error is no traffic", [this] { socket->RaiseError(TSocketErrorKind::Receive, 10054); }, false},
    };
    for (const auto& [label, activity, pushesBack] : activities) {
        if (!link->SocketActive()) {
            ConnectAndAccept();
        }
        clock.Advance(kInterval + kJustOver);
        Tick();  // heartbeat now, so that the next one is a full interval away
        clock.Advance(kInterval / 2);
        activity();
        const auto sentBefore = socket->Written();

        clock.Advance(kInterval / 2 + kJustOver);
        Tick();
        const bool pushedBack = socket->Written() == sentBefore;
        clock.Advance(kInterval / 2);
        Tick();
        EXPECT_EQ(pushedBack, pushesBack) << label;
        EXPECT_EQ(socket->Written(), sentBefore + " \r") << label;
    }
}

TEST_F(TkvClientHeartbeat, OnlyWhileTheSocketIsActive) {
    link->Connect("server.test", 4000);
    clock.Advance(5 * kInterval);
    Tick();
    socket->AcceptConnection();
    socket->PeerCloses();
    clock.Advance(5 * kInterval);
    Tick();
    EXPECT_THAT(socket->Written(), IsEmpty());
}

TEST_F(TkvClientHeartbeat, IntervalIsSetInSeconds) {
    link->SetHeartbeatSeconds(5);
    ConnectAndAccept();
    clock.Advance(std::chrono::seconds(5) + kJustOver);
    Tick();
    EXPECT_EQ(socket->Written(), " \r");
}

TEST_F(TkvClientHeartbeat, EmptyLineFromTheOwnerIsALoneCarriageReturn) {
    ConnectAndAccept();
    Tick();
    link->SendLine("");
    EXPECT_EQ(socket->Written(), "\r");
    EXPECT_THAT(Tick(), ElementsAre(LinkEvent{Write, LoggedOut, ""}));
}

TEST_F(TkvClientHeartbeat, LinesAreDroppedWhileTheSocketIsNotActive) {
    link->SendLine("ARLS");
    link->Connect("server.test", 4000);
    link->SendLine("ARLS");
    EXPECT_THAT(socket->Written(), IsEmpty());
    EXPECT_EQ(socket->Log()->writeRequests, 0);
    EXPECT_THAT(TickKinds(), ElementsAre(Lookup));
}

}  // namespace

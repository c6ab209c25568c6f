// How the link hands a burst to its owner: in bounded slices, reading no more than it can soon
// deliver, and telling the owner when a tick is next worth making.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "LinkHarness.hpp"

namespace {

using enum LinkEventKind;
using enum LineState;

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class TkvClientDelivery : public ::testing::Test, protected LinkHarness {};

std::string Lines(int first, int count) {
    std::string bytes;
    for (int i = first; i < first + count; ++i) {
        bytes += "ARLM:,,m" + std::to_string(i) + "=;;\r\n";
    }
    return bytes;
}

std::vector<std::string> Texts(const std::vector<LinkEvent>& events) {
    std::vector<std::string> texts;
    for (const LinkEvent& event : events) {
        texts.push_back(event.text);
    }
    return texts;
}

TEST_F(TkvClientDelivery, ALongBurstIsDeliveredInSlicesInOrder) {
    LogIn();
    socket->Deliver(Lines(0, 10));
    // Each event takes the owner 20 ms: a slice ends after the event that crosses 50 ms.
    onDelivered = [this](const LinkEvent&) { clock.Advance(20ms); };
    std::vector<size_t> sliceSizes;
    std::vector<std::string> texts;
    while (link->HasPendingWork()) {
        const auto slice = Tick();
        sliceSizes.push_back(slice.size());
        for (const std::string& text : Texts(slice)) {
            texts.push_back(text);
        }
    }
    EXPECT_THAT(sliceSizes, ElementsAre(3u, 3u, 3u, 1u));
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        expected.push_back("ARLM:,,m" + std::to_string(i) + "=;;");
    }
    EXPECT_EQ(texts, expected);
}

TEST_F(TkvClientDelivery, WhatTheOwnerCausesWaitsBehindTheRestOfACutSlice) {
    LogIn();
    socket->Deliver(Lines(0, 4));
    bool sent = false;
    onDelivered = [this, &sent](const LinkEvent&) {
        clock.Advance(30ms);
        if (!sent) {
            sent = true;
            link->SendLine("ADX_m0:");
        }
    };
    const auto first = Tick();
    const auto second = Tick();
    const auto third = Tick();
    EXPECT_THAT(Texts(first), ElementsAre("ARLM:,,m0=;;", "ARLM:,,m1=;;"));
    EXPECT_THAT(Texts(second), ElementsAre("ARLM:,,m2=;;", "ARLM:,,m3=;;"));
    EXPECT_THAT(third, ElementsAre(LinkEvent{Write, LoggedIn, "ADX_m0:"}));
}

// A reconnection falls due while the ended connection's lines are still being delivered: the
// attempt waits for the last of them, since one of them may be an order that redirects it.
TEST_F(TkvClientDelivery, AScheduledAttemptWaitsUntilTheEndedConnectionIsHeardOut) {
    LogIn();
    socket->Deliver(Lines(0, 10));
    socket->PeerCloses();
    link->ServerReconnect(0, 0, "");
    clock.Advance(11s);
    // Each delivered event, and whether the new attempt had already begun when it came.
    std::vector<std::string> seen;
    onDelivered = [this, &seen](const LinkEvent& event) {
        clock.Advance(20ms);
        seen.push_back(std::string(NameOf(event.kind)) +
                       (socket->Log()->opens.size() > 1 ? " (attempt begun)" : ""));
    };
    for (int ticks = 0; ticks < 20; ++ticks) {
        Tick();
    }
    std::vector<std::string> expected(10, "Read");
    expected.insert(expected.end(), {"Disconnect", "Lookup (attempt begun)"});
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(socket->Log()->opens.size(), 2u);
}

// The administrator connects anew while a burst of the old connection is still being delivered:
// its remaining lines are shown, but marked, so that no order of theirs acts on the new one.
TEST_F(TkvClientDelivery, LinesOfAReplacedConnectionAreMarkedAsSuch) {
    LogIn();
    socket->Deliver("SRC\r\nSRE:0,4001,old.test\r\nSRC\r\nSRE:0,4002,old.test\r\n");
    onDelivered = [this](const LinkEvent&) { clock.Advance(30ms); };
    const auto first = Tick();
    link->Connect("new.test", 5000);
    std::vector<LinkEvent> rest;
    while (link->HasPendingWork()) {
        for (const LinkEvent& event : Tick()) {
            rest.push_back(event);
        }
    }
    EXPECT_THAT(first, ElementsAre(LinkEvent{Read, LoggedIn, "SRC"},
                                   LinkEvent{Read, LoggedIn, "SRE:0,4001,old.test"}));
    EXPECT_THAT(rest, ElementsAre(LinkEvent{Read, FromEndedConnection, "SRC"},
                                  LinkEvent{Read, FromEndedConnection, "SRE:0,4002,old.test"},
                                  LinkEvent{Disconnect, LoggedOut, ""}, LinkEvent{Lookup, LoggedOut, ""}));
    // What the new connection brings counts again.
    onDelivered = nullptr;
    socket->AcceptConnection();
    socket->Deliver("send login:\r\n");
    EXPECT_THAT(Tick(), testing::Contains(LinkEvent{Read, LoggedOut, "send login:"}));
}

TEST_F(TkvClientDelivery, WithoutTimePassingEverythingQueuedGoesAtOnce) {
    LogIn();
    socket->Deliver(Lines(0, 5000));
    EXPECT_EQ(Tick().size(), 5000u);
    EXPECT_FALSE(link->HasPendingWork());
}

TEST_F(TkvClientDelivery, TheOwnerIsToldOnceWhenTheQueueStopsBeingEmpty) {
    int told = 0;
    link->SetOnEventQueued([&told] { ++told; });
    LogIn();  // its events are delivered by a tick
    const int afterLogin = told;
    EXPECT_GE(afterLogin, 1);
    socket->Deliver(Lines(0, 3));
    socket->Deliver(Lines(3, 3));
    EXPECT_EQ(told, afterLogin + 1);
    Tick();
    socket->Deliver(Lines(6, 1));
    EXPECT_EQ(told, afterLogin + 2);
}

struct DueCase {
    const char* label;
    std::function<void(LinkHarness&)> arrange;
    std::optional<std::chrono::milliseconds> due;
};

TEST(TkvClientDue, TheNextTickIsDueForWorkTheHeartbeatOrAReconnection) {
    const std::vector<DueCase> cases = {
        {"never connected", [](LinkHarness&) {}, std::nullopt},
        {"events queued", [](LinkHarness& h) { h.link->Connect("server.test", 4000); }, 0ms},
        {"logged in, just active", [](LinkHarness& h) { h.LogIn(); }, 60001ms},
        {"logged in, 45 s quiet",
         [](LinkHarness& h) {
             h.LogIn();
             h.clock.Advance(45s);
         },
         15001ms},
        {"heartbeat overdue",
         [](LinkHarness& h) {
             h.LogIn();
             h.clock.Advance(61s);
         },
         0ms},
        {"closed by the peer, reconnection armed",
         [](LinkHarness& h) {
             h.link->SetAutoReconnect(true);
             h.LogIn();
             h.socket->PeerCloses();
             h.Tick();
         },
         10001ms},
        {"closed by the peer, automatic reconnection off",
         [](LinkHarness& h) {
             h.LogIn();
             h.socket->PeerCloses();
             h.Tick();
         },
         std::nullopt},
        {"server-ordered reconnection in 30 s",
         [](LinkHarness& h) {
             h.LogIn();
             h.link->ServerReconnect(30, 0, "");
             h.Tick();
         },
         30001ms},
        {"reconnection wanted but no login to use",
         [](LinkHarness& h) {
             h.LogIn();
             h.link->SetLogin("");
             h.link->ServerReconnect(30, 0, "");
             h.Tick();
         },
         std::nullopt},
    };
    for (const DueCase& c : cases) {
        LinkHarness harness;
        c.arrange(harness);
        EXPECT_EQ(harness.link->TimeUntilDue(), c.due) << c.label;
    }
}

// A socket that hands out at most the bytes asked for, as the TCP socket does, and keeps the
// rest; everything is scripted by the test.
class BoundedSocket final : public ClientSocket {
public:
    void SetHandler(ClientSocketHandler* handler) override { handler_ = handler; }
    void Open(const std::string&, const std::string&, int32_t) override {
        handler_->SocketLookup();
        handler_->SocketConnecting();
        active_ = true;
        handler_->SocketConnect();
    }
    bool Active() const override { return active_; }
    void Close() override {}
    void CloseEndpoint() override {}
    std::string ReceiveText() override { return ReceiveTextUpTo(unread_.size()); }
    std::string ReceiveTextUpTo(std::size_t maxBytes) override {
        largestRead = std::max(largestRead, std::min(maxBytes, unread_.size()));
        std::string piece = unread_.substr(0, maxBytes);
        unread_.erase(0, piece.size());
        return piece;
    }
    void SendText(const std::string&) override {}
    void RequestWriteNotification() override { handler_->SocketWrite(); }
    std::string ErrorMessage(int32_t) const override { return "error"; }

    void Deliver(const std::string& bytes) {
        unread_ += bytes;
        handler_->SocketRead();
    }
    void PeerCloses() {
        active_ = false;
        handler_->SocketDisconnect();
    }
    std::size_t Unread() const { return unread_.size(); }
    std::size_t largestRead = 0;

private:
    ClientSocketHandler* handler_ = nullptr;
    bool active_ = false;
    std::string unread_;
};

struct BoundedLink {
    BoundedLink() {
        auto owned = std::make_unique<BoundedSocket>();
        socket = owned.get();
        link = std::make_unique<TkvClient>(
            [this](const LinkEvent& event) {
                if (event.kind == Read) {
                    reads.push_back(event.text);
                    if (reads.size() % 1000 == 0) {
                        clock.Advance(std::chrono::milliseconds(1));  // an owner that takes its time
                    }
                } else {
                    others.push_back(event.kind);
                }
            },
            std::move(owned), clock);
        link->SetLogin("admin");
        link->SetPassword("pw");
        link->Connect("server.test", 4000);
        socket->Deliver("send login:\r\nsend password:\r\nprotocols: administrator\r\n:)\r\n");
        link->Tick();
        reads.clear();
        others.clear();
    }

    ManualClock clock;
    BoundedSocket* socket = nullptr;
    std::vector<std::string> reads;
    std::vector<LinkEventKind> others;
    std::unique_ptr<TkvClient> link;
};

constexpr int kBurstLines = 1000000;  // about 20 MiB, well over the queue's bound

TEST(TkvClientBackpressure, ReadsNoMoreThanTheQueueCanHoldAndCatchesUpFromTicks) {
    BoundedLink bench;
    bench.socket->Deliver(Lines(0, kBurstLines));
    EXPECT_GT(bench.socket->Unread(), 0u) << "the rest stays in the socket";
    EXPECT_LE(bench.socket->largestRead, TkvClient::kReadChunk);
    EXPECT_TRUE(bench.link->HasPendingWork());
    size_t mostQueued = 0;
    int ticks = 0;
    while (bench.link->HasPendingWork() && ticks < 1000) {
        mostQueued = std::max(mostQueued, bench.link->QueuedEventCount());
        bench.link->Tick();
        ++ticks;
    }
    ASSERT_EQ(bench.reads.size(), static_cast<size_t>(kBurstLines));
    for (int i : {0, 1, kBurstLines / 2, kBurstLines - 1}) {
        EXPECT_EQ(bench.reads[static_cast<size_t>(i)], "ARLM:,,m" + std::to_string(i) + "=;;");
    }
    // Each queued line costs its text and the event itself, so the queue stayed far below the
    // whole burst.
    EXPECT_LT(mostQueued, static_cast<size_t>(kBurstLines) / 4);
    EXPECT_GT(ticks, 2);
}

TEST(TkvClientBackpressure, WhatThePeerSentBeforeClosingComesBeforeTheDisconnect) {
    BoundedLink bench;
    bench.socket->Deliver(Lines(0, kBurstLines) + "ARLM:,,tail=;;");  // the last line unterminated
    bench.socket->PeerCloses();
    EXPECT_EQ(bench.socket->Unread(), 0u);
    while (bench.link->HasPendingWork()) {
        bench.link->Tick();
    }
    ASSERT_EQ(bench.reads.size(), static_cast<size_t>(kBurstLines) + 1);
    EXPECT_EQ(bench.reads.back(), "ARLM:,,tail=;;");
    EXPECT_THAT(bench.others, ElementsAre(Disconnect));
}

}  // namespace

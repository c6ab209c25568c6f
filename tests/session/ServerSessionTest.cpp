#include "session/ServerSession.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"

namespace {

using std::chrono::seconds;

// Remembers what the session told it, in order, as short words.
struct RecordingListener final : SessionListener {
    void EventArrived(const LinkEvent& event, const ConnectionEffect& control) override {
        heard.push_back("event " + std::string(NameOf(event.kind)));
        if (control.order != ConnectionOrder::None) {
            heard.push_back("control");
        }
    }
    void MembersClearing() override { heard.push_back("clearing"); }
    void MembersChanged(const RowsEffect& effect, const ServerLineView* report) override {
        if (effect.change != RowsChange::None || report == nullptr) {
            heard.push_back("rows " + (report ? std::string(report->code) : std::string("cleared")));
        }
    }
    void StateChanged(LinkEventKind kind) override { heard.push_back("state " + std::string(NameOf(kind))); }
    void NotAdministrator() override { heard.push_back("not administrator"); }
    void ConnectionOrdered(const ConnectionEffect&) override { heard.push_back("ordered"); }
    void RequestSettled(const SettledRequest& request) override { settled.push_back(request); }

    std::vector<std::string> heard;
    std::vector<SettledRequest> settled;
};

struct SessionHarness {
    SessionHarness() {
        auto owned = std::make_unique<FakeClientSocket>();
        socket = owned.get();
        session = std::make_unique<ServerSession>(listener, std::move(owned), clock);
        session->ApplySchedule({false, 10, 6, 60, -1});
    }

    void LogIn(const std::string& granted = "administrator") {
        session->SetCredentials("admin", "secret");
        session->Connect("server.test", 4000);
        socket->AcceptConnection();
        socket->Deliver("send login:\r\nsend password:\r\nprotocols: " + granted + " :)\r\n");
        session->Tick();
    }

    // The list as the server sends it after a login, with admin online.
    void List(const std::vector<std::string>& members) {
        std::string lines = "ARLS\r\n";
        for (const std::string& member : members) {
            lines += "ARLM:" + member + "\r\n";
        }
        socket->Deliver(lines + "ARLC\r\n");
        session->Tick();
    }

    void Report(const std::string& line) {
        socket->Deliver(line + "\r\n");
        session->Tick();
    }

    // What was written since the login's two answers.
    std::vector<std::string> Requests() const {
        std::vector<std::string> lines = socket->SentLines();
        lines.erase(lines.begin(), lines.begin() + std::min<std::ptrdiff_t>(2, std::ssize(lines)));
        return lines;
    }

    ManualClock clock;
    RecordingListener listener;
    FakeClientSocket* socket = nullptr;
    std::unique_ptr<ServerSession> session;
};

const std::vector<std::string> kMembers = {"on,,admin=secret,administrator;;", "on,,bob=pw,chat;b1;",
                                           ",,carol=pw,chat;;"};

TEST(ServerSession, AnAdministratorStaysAndAnyoneElseIsSentAway) {
    for (const auto& [granted, stays] : std::vector<std::pair<std::string, bool>>{
             {"administrator", true}, {"chat, ADMINISTRATOR", true}, {"chat", false}, {"", false}}) {
        SessionHarness h;
        h.LogIn(granted);
        h.session->Tick();
        EXPECT_EQ(h.session->LoggedInAsAdministrator(), stays) << granted;
        EXPECT_EQ(h.socket->Active(), stays) << granted;
        const bool toldNot = std::find(h.listener.heard.begin(), h.listener.heard.end(),
                                       "not administrator") != h.listener.heard.end();
        EXPECT_EQ(toldNot, !stays) << granted;
    }
}

TEST(ServerSession, TheListIsEmptiedOnlyAfterItsReadersLetGo) {
    SessionHarness h;
    h.LogIn();
    h.List(kMembers);
    ASSERT_EQ(h.session->Members().Count(), 3);
    EXPECT_TRUE(h.session->ListComplete());
    h.listener.heard.clear();
    h.socket->PeerCloses();
    h.session->Tick();
    EXPECT_EQ(h.listener.heard,
              (std::vector<std::string>{"event Disconnect", "clearing", "rows cleared", "state Disconnect"}));
    EXPECT_EQ(h.session->Members().Count(), 0);
}

TEST(ServerSession, AServersRedirectLastsForThisRunOnly) {
    SessionHarness h;
    h.LogIn();
    h.Report("SRE:5,5001,other.test,guest,pw2");
    const ServerAccount kept{"server.test", 4000, "admin", "secret"};
    EXPECT_EQ(h.session->AccountToKeep(), kept);
    EXPECT_EQ(h.session->Link().Login(), "guest");
    // A second order does not overwrite what the administrator set.
    h.Report("SRE:5,5002,third.test");
    EXPECT_EQ(h.session->AccountToKeep(), kept);
    // The administrator's own connect forgets the redirect.
    h.session->SetCredentials("root", "pw");
    h.session->Connect("fourth.test", 4100);
    EXPECT_EQ(h.session->AccountToKeep(), (ServerAccount{"fourth.test", 4100, "root", "pw"}));
}

TEST(ServerSession, ConnectionControlFromACutLineIsShownButNotObeyed) {
    SessionHarness h;
    h.LogIn();
    h.socket->Deliver("SRC");  // no line end: held, then cut by the connection's end
    h.socket->PeerCloses();
    h.session->Tick();
    const auto& heard = h.listener.heard;
    EXPECT_NE(std::find(heard.begin(), heard.end(), "control"), heard.end());
    EXPECT_EQ(std::find(heard.begin(), heard.end(), "ordered"), heard.end());
}

TEST(ServerSession, ALoginTheServerRefusedIsKnownUntilTheNextAttempt) {
    SessionHarness h;
    h.session->SetCredentials("admin", "wrong");
    h.session->Connect("server.test", 4000);
    h.socket->AcceptConnection();
    h.socket->Deliver("send login:\r\nsend password:\r\nlogin refused\r\n");
    h.session->Tick();
    EXPECT_TRUE(h.session->LoginRefused());
    h.socket->PeerCloses();
    h.session->Tick();
    h.session->SetCredentials("admin", "secret");
    h.session->Connect("server.test", 4000);
    h.session->Tick();
    EXPECT_FALSE(h.session->LoginRefused());
}

// One row per rule of the commands: what each sends, or why it sends nothing.
struct CommandCase {
    const char* name;
    std::function<RequestResult(ServerSession&)> command;
    RequestRefusal refusal;
    std::vector<std::string> sent;
};

TEST(ServerSession, EveryCommandKeepsItsRules) {
    const auto account = [](std::string login, std::string password, std::string protocols) {
        return AccountFields{std::move(login), std::move(password), std::move(protocols), ""};
    };
    const std::vector<CommandCase> cases = {
        {"add",
         [&](ServerSession& s) { return s.AddAccount(account("dave", "pw", "chat")); },
         RequestRefusal::None,
         {"ADA_dave:pw,chat;"}},
        {"add listed in other case",
         [&](ServerSession& s) { return s.AddAccount(account("BOB", "pw", "")); },
         RequestRefusal::LoginExists,
         {}},
        {"add with a comma in the password",
         [&](ServerSession& s) { return s.AddAccount(account("dave", "p,w", "")); },
         RequestRefusal::Unsendable,
         {}},
        {"edit",
         [&](ServerSession& s) { return s.EditAccount(account("bob", "pw", "games")); },
         RequestRefusal::None,
         {"ADE_bob:pw,games;"}},
        {"own account loses administrator",
         [&](ServerSession& s) { return s.EditAccount(account("ADMIN", "secret", "chat")); },
         RequestRefusal::OwnAdministrator,
         {}},
        {"own account keeps administrator",
         [&](ServerSession& s) { return s.EditAccount(account("admin", "new", "chat, Administrator")); },
         RequestRefusal::None,
         {"ADE_admin:new,chat, Administrator;"}},
        {"delete online expels too",
         [](ServerSession& s) { return s.DeleteAccount("bob"); },
         RequestRefusal::None,
         {"ADD_bob:", "ADX_bob:"}},
        {"delete offline",
         [](ServerSession& s) { return s.DeleteAccount("carol"); },
         RequestRefusal::None,
         {"ADD_carol:"}},
        {"delete nameless",
         [](ServerSession& s) { return s.DeleteAccount(""); },
         RequestRefusal::EmptyLogin,
         {}},
        {"expel", [](ServerSession& s) { return s.Expel("bob"); }, RequestRefusal::None, {"ADX_bob:"}},
        {"expel offline", [](ServerSession& s) { return s.Expel("carol"); }, RequestRefusal::NotOnline, {}},
        {"expel unknown", [](ServerSession& s) { return s.Expel("zed"); }, RequestRefusal::NotOnline, {}},
        {"log off with a colon",
         [](ServerSession& s) { return s.AskToLogOff("b:ob"); },
         RequestRefusal::Unsendable,
         {}},
        {"log off",
         [](ServerSession& s) { return s.AskToLogOff("bob"); },
         RequestRefusal::None,
         {"AEC_bob:"}},
        {"reconnect",
         [](ServerSession& s) { return s.AskToReconnect("bob"); },
         RequestRefusal::None,
         {"ACR_bob:5 , 4000 , server.test"}},
        {"everyone but me",
         [](ServerSession& s) { return s.AskEveryoneToLogOff(true); },
         RequestRefusal::None,
         {"AEX_:"}},
        {"everyone reconnects",
         [](ServerSession& s) { return s.AskEveryoneToReconnect(false); },
         RequestRefusal::None,
         {"ACR_:5 , 4000 , server.test"}},
    };
    for (const CommandCase& c : cases) {
        SessionHarness h;
        h.LogIn();
        h.List(kMembers);
        const RequestResult result = c.command(*h.session);
        EXPECT_EQ(result.refusal, c.refusal) << c.name;
        EXPECT_EQ(result.detail.empty(),
                  c.refusal != RequestRefusal::Unsendable && c.refusal != RequestRefusal::OwnAdministrator)
            << c.name;
        EXPECT_EQ(h.Requests(), c.sent) << c.name;
    }
}

TEST(ServerSession, NobodyIsReachedWhenNobodyElseIsListedOrTheLinkIsDown) {
    SessionHarness h;
    EXPECT_EQ(h.session->AskEveryoneToLogOff(false).refusal, RequestRefusal::NobodyToReach);
    h.LogIn();
    h.List({kMembers.front()});
    EXPECT_EQ(h.session->AskEveryoneToReconnect(true).refusal, RequestRefusal::NobodyToReach);
    EXPECT_TRUE(h.session->AskEveryoneToReconnect(false).Sent());
}

TEST(ServerSession, ARequestIsDoneOnlyWhenItsReportComes) {
    SessionHarness h;
    h.LogIn();
    h.List(kMembers);
    const RequestId bob = *h.session->DeleteAccount("bob").followed;
    EXPECT_FALSE(h.session->Expel("carol").followed);  // offline: nothing sent, nothing followed
    const RequestId dave = *h.session->AddAccount({"dave", "pw", "", ""}).followed;
    const RequestId edit = *h.session->EditAccount({"carol", "pw", "games", ""}).followed;
    EXPECT_EQ(h.session->RequestsPending(), 3u);

    // Reports about others, and of a kind that answers no request of the login, settle nothing.
    h.Report("ARM:on,,bob=pw,chat;b1;");
    h.Report("ARI:on,,dave=pw,;;");
    EXPECT_TRUE(h.listener.settled.empty());

    h.Report("ARE_DAVE:the name is reserved");
    h.Report("ARD_bob");
    ASSERT_EQ(h.listener.settled.size(), 2u);
    EXPECT_EQ(h.listener.settled[0],
              (SettledRequest{dave, "dave", RequestOutcome::Refused, "the name is reserved"}));
    EXPECT_EQ(h.listener.settled[1], (SettledRequest{bob, "bob", RequestOutcome::Confirmed, ""}));

    h.clock.Advance(RequestFollower::kDefaultWait);
    h.session->Tick();
    ASSERT_EQ(h.listener.settled.size(), 3u);
    EXPECT_EQ(h.listener.settled[2].id, edit);
    EXPECT_EQ(h.listener.settled[2].outcome, RequestOutcome::Unconfirmed);
    EXPECT_EQ(h.session->RequestsPending(), 0u);
}

TEST(ServerSession, RequestsLeftWhenTheConnectionEndsAreUnconfirmed) {
    SessionHarness h;
    h.LogIn();
    h.List(kMembers);
    h.session->SetRequestWait(seconds(5));
    h.session->AskToLogOff("bob");
    EXPECT_LE(h.session->TimeUntilDue().value(), seconds(5));
    h.socket->PeerCloses();
    h.session->Tick();
    ASSERT_EQ(h.listener.settled.size(), 1u);
    EXPECT_EQ(h.listener.settled[0].outcome, RequestOutcome::Unconfirmed);
    EXPECT_EQ(h.listener.settled[0].reason, "the connection ended");
}

}  // namespace

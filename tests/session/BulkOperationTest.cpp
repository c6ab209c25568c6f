#include "session/BulkOperation.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"

namespace {

using std::chrono::seconds;

// Hands every settled request to the operation under test, as a front end does.
struct ForwardingListener final : SessionListener {
    void EventArrived(const LinkEvent&, const ConnectionEffect&) override {}
    void MembersChanged(const RowsEffect&, const ServerLineView*) override {}
    void StateChanged(LinkEventKind) override {}
    void RequestSettled(const SettledRequest& request) override {
        if (operation != nullptr) {
            operation->Settled(request);
        }
    }
    BulkOperation* operation = nullptr;
};

struct BulkHarness {
    explicit BulkHarness(const std::vector<std::string>& members) {
        auto owned = std::make_unique<FakeClientSocket>();
        socket = owned.get();
        session = std::make_unique<ServerSession>(listener, std::move(owned), clock);
        session->ApplySchedule({false, 10, 6, 60, -1});
        session->SetRequestWait(seconds(30));
        session->SetCredentials("admin", "secret");
        session->Connect("server.test", 4000);
        socket->AcceptConnection();
        socket->Deliver("send login:\r\nsend password:\r\nprotocols: administrator :)\r\n");
        session->Tick();
        std::string lines = "ARLS\r\n";
        for (const std::string& member : members) {
            lines += "ARLM:" + member + "\r\n";
        }
        socket->Deliver(lines + "ARLC\r\n");
        session->Tick();
        sentBefore = socket->SentLines().size();
    }

    BulkOperation& Start(BulkCommand command, const std::vector<std::string>& logins) {
        operation = std::make_unique<BulkOperation>(*session, std::move(command), logins);
        listener.operation = operation.get();
        return *operation;
    }

    void Report(const std::string& line) {
        socket->Deliver(line + "\r\n");
        session->Tick();
    }

    std::vector<std::string> Requests() {
        std::vector<std::string> lines = socket->SentLines();
        std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(sentBefore), lines.end());
        sentBefore = lines.size();
        return fresh;
    }

    ManualClock clock;
    ForwardingListener listener;
    FakeClientSocket* socket = nullptr;
    std::unique_ptr<ServerSession> session;
    std::unique_ptr<BulkOperation> operation;
    size_t sentBefore = 0;
};

const std::vector<std::string> kMembers = {"on,,admin=secret,administrator;;", "on,,bob=pw,chat;b1;",
                                           ",,carol=pw,chat, mail;;", "on,,dave=pw,;;",
                                           ",,erin=pw,chat;b1,b2;"};

std::vector<std::string> Logins(const std::vector<BulkEntry>& entries) {
    std::vector<std::string> logins;
    for (const BulkEntry& entry : entries) {
        logins.push_back(entry.login);
    }
    return logins;
}

TEST(BulkOperation, ThePlanSkipsTheOwnAccountAndWhatCannotBeSentSayingWhy) {
    struct Case {
        BulkCommand command;
        std::vector<std::string> targets;
        std::vector<BulkEntry> skipped;
    };
    const std::vector<std::string> named = {"ADMIN", "bob", "carol", "Bob", "ghost", "dave", "erin"};
    const std::string own = "the account of this connection never takes part in a command on many members";
    BulkEdit addMail;
    addMail.addProtocol = "MAIL";
    BulkEdit addAdministrator;  // which the own account has already
    addAdministrator.addProtocol = "administrator";
    const std::vector<Case> cases = {
        {{BulkAction::Delete, {}},
         {"bob", "carol", "dave", "erin"},
         {{"admin", own}, {"ghost", "not listed"}}},
        {{BulkAction::Expel, {}},
         {"bob", "dave"},
         {{"admin", own}, {"carol", "not online"}, {"ghost", "not listed"}, {"erin", "not online"}}},
        {{BulkAction::Edit, addMail},
         {"bob", "dave", "erin"},
         {{"admin", own}, {"carol", "nothing to change"}, {"ghost", "not listed"}}},
        {{BulkAction::Edit, addAdministrator},
         {"bob", "carol", "dave", "erin"},
         {{"admin", own}, {"ghost", "not listed"}}},
    };
    for (const Case& c : cases) {
        BulkHarness h(kMembers);
        BulkOperation& bulk = h.Start(c.command, named);
        const std::string_view word = BulkActionWord(c.command.action);
        EXPECT_EQ(bulk.Targets(), c.targets) << word;
        EXPECT_EQ(Logins(bulk.List(BulkOutcome::Skipped)), Logins(c.skipped)) << word;
        for (size_t i = 0; i < c.skipped.size() && i < bulk.Count(BulkOutcome::Skipped); ++i) {
            EXPECT_EQ(bulk.List(BulkOutcome::Skipped)[i].reason, c.skipped[i].reason) << word;
        }
        EXPECT_EQ(bulk.Total(), c.targets.size() + c.skipped.size()) << word;
        EXPECT_TRUE(h.Requests().empty()) << "the plan sends nothing";
    }
}

TEST(BulkOperation, NoMoreThanThePacingAwaitsAndOnlyTheReportCountsAsDone) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::Delete, {}}, {"bob", "carol", "dave", "erin"});
    bulk.SetPacing({2, 10});
    bulk.Pump();
    // bob and dave are online: their delete expels them too.
    EXPECT_EQ(h.Requests(), (std::vector<std::string>{"ADD_bob:", "ADX_bob:", "ADD_carol:"}));
    bulk.Pump();
    EXPECT_TRUE(h.Requests().empty()) << "two await their answer already";
    EXPECT_EQ(bulk.SentCount(), 2U);
    EXPECT_EQ(bulk.Count(BulkOutcome::Confirmed), 0U);

    h.Report("ARD_carol");
    EXPECT_EQ(Logins(bulk.List(BulkOutcome::Confirmed)), std::vector<std::string>{"carol"});
    bulk.Pump();
    EXPECT_EQ(h.Requests(), (std::vector<std::string>{"ADD_dave:", "ADX_dave:"}));
    h.Report("ARE_bob:account is protected");
    h.Report("ARD_dave");
    bulk.Pump();
    EXPECT_EQ(h.Requests(), (std::vector<std::string>{"ADD_erin:"}));
    EXPECT_FALSE(bulk.Finished());
    h.clock.Advance(seconds(31));
    h.session->Tick();
    EXPECT_TRUE(bulk.Finished());
    EXPECT_EQ(bulk.SummaryLine(), "2 confirmed, 1 refused, 1 unconfirmed");
    EXPECT_EQ(bulk.List(BulkOutcome::Refused)[0].reason, "account is protected");
    EXPECT_EQ(bulk.List(BulkOutcome::Unconfirmed)[0].login, "erin");
    EXPECT_EQ(bulk.ListCsv(BulkOutcome::Refused), "login,reason\r\nbob,account is protected\r\n");
}

TEST(BulkOperation, OnePumpSendsNoMoreThanItsShare) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::Delete, {}}, {"carol", "erin"});
    bulk.SetPacing({10, 1});
    bulk.Pump();
    EXPECT_EQ(h.Requests(), std::vector<std::string>{"ADD_carol:"});
    bulk.Pump();
    EXPECT_EQ(h.Requests(), std::vector<std::string>{"ADD_erin:"});
}

// The gate is asked at each pump: closed, nothing goes out and nothing is lost or skipped;
// opened again, the sending goes on where it stopped.
TEST(BulkOperation, AClosedSendGateHoldsTheRestBackUntilItOpens) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::Delete, {}}, {"carol", "erin"});
    bulk.SetPacing({10, 1});
    bool open = true;
    bulk.SetSendGate([&] { return open; });
    bulk.Pump();
    EXPECT_EQ(h.Requests(), std::vector<std::string>{"ADD_carol:"});
    open = false;
    bulk.Pump();
    bulk.Pump();
    EXPECT_TRUE(h.Requests().empty());
    EXPECT_TRUE(bulk.GateClosed());
    EXPECT_EQ(bulk.SentCount(), 1u);
    EXPECT_EQ(bulk.Count(BulkOutcome::Skipped), 0u);
    EXPECT_EQ(bulk.Count(BulkOutcome::NotSent), 0u);
    open = true;
    bulk.Pump();
    EXPECT_EQ(h.Requests(), std::vector<std::string>{"ADD_erin:"});
}

TEST(BulkOperation, CancelStopsSendingAndWhatWasSentIsStillFollowed) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::Delete, {}}, {"bob", "carol", "dave", "erin"});
    bulk.SetPacing({2, 10});
    bulk.Pump();
    h.Requests();
    bulk.Cancel();
    bulk.Pump();
    EXPECT_TRUE(h.Requests().empty());
    EXPECT_EQ(Logins(bulk.List(BulkOutcome::NotSent)), (std::vector<std::string>{"dave", "erin"}));
    EXPECT_FALSE(bulk.Finished());
    h.Report("ARD_bob");
    h.Report("ARD_carol");
    EXPECT_TRUE(bulk.Finished());
    EXPECT_EQ(bulk.SummaryLine(), "2 confirmed, 0 refused, 0 unconfirmed, 2 not sent");
}

TEST(BulkOperation, TheConnectionsEndLeavesWhatWasSentUnconfirmedAndTheRestUnsent) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::Delete, {}}, {"bob", "carol", "dave"});
    bulk.SetPacing({1, 10});
    bulk.Pump();
    h.socket->PeerCloses();
    h.session->Tick();
    bulk.Pump();
    EXPECT_TRUE(bulk.Finished());
    EXPECT_EQ(bulk.List(BulkOutcome::Unconfirmed)[0].login, "bob");
    EXPECT_EQ(bulk.List(BulkOutcome::Unconfirmed)[0].reason, "the connection ended");
    EXPECT_EQ(Logins(bulk.List(BulkOutcome::NotSent)), (std::vector<std::string>{"carol", "dave"}));
}

TEST(BulkOperation, GivingUpLeavesWhatAwaitsUnconfirmedAndTheRestUnsent) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::Delete, {}}, {"bob", "carol", "dave", "erin"});
    bulk.SetPacing({2, 10});
    bulk.Pump();
    h.Report("ARD_bob");
    bulk.GiveUp("no answer within --timeout");
    EXPECT_TRUE(bulk.Finished());
    EXPECT_EQ(bulk.SummaryLine(), "1 confirmed, 0 refused, 1 unconfirmed, 2 not sent");
    EXPECT_EQ(bulk.List(BulkOutcome::Unconfirmed)[0].login, "carol");
    EXPECT_EQ(bulk.List(BulkOutcome::NotSent)[1].reason, "no answer within --timeout");
    h.Report("ARD_carol");
    EXPECT_EQ(bulk.Count(BulkOutcome::Confirmed), 1U) << "an answer after giving up changes nothing";
}

TEST(BulkOperation, AMemberWhoWentOfflineSinceThePlanIsSkippedAtItsTurn) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::LogOff, {}}, {"bob", "dave"});
    EXPECT_EQ(bulk.Targets(), (std::vector<std::string>{"bob", "dave"}));
    h.Report("ARO:,,dave=pw,;;");
    bulk.Pump();
    EXPECT_EQ(h.Requests(), std::vector<std::string>{"AEC_bob:"});
    EXPECT_EQ(Logins(bulk.List(BulkOutcome::Skipped)), std::vector<std::string>{"dave"});
    h.Report("ARO:,,bob=pw,chat;b1;");
    EXPECT_TRUE(bulk.Finished());
    EXPECT_EQ(bulk.SummaryLine(), "1 confirmed, 0 refused, 0 unconfirmed, 1 skipped");
}

TEST(BulkOperation, EditingManyChangesOneListByOneNameAndKeepsEveryOtherField) {
    struct Case {
        std::string member;  // as listed
        BulkEdit edit;
        std::string sent;  // empty: nothing to change
    };
    const auto edit = [](std::optional<std::string> addP, std::optional<std::string> removeP,
                         std::optional<std::string> addB, std::optional<std::string> removeB) {
        return BulkEdit{std::move(addP), std::move(removeP), std::move(addB), std::move(removeB)};
    };
    const std::vector<Case> cases = {
        {",,bob=pw 1,chat;b1;", edit("mail", {}, {}, {}), "ADE_bob:pw 1,chat,mail;b1"},
        {",,bob=pw,chat, Mail;b1;", edit("MAIL", {}, {}, {}), ""},
        {",,bob=pw,chat, Mail;b1;", edit({}, "mail", {}, {}), "ADE_bob:pw,chat;b1"},
        {",,bob=pw,chat;b1,b2;", edit({}, {}, {}, "B1"), "ADE_bob:pw,chat;b2"},
        {",,bob=pw,chat;;", edit({}, {}, "b9", {}), "ADE_bob:pw,chat;b9"},
        {",,bob=pw,chat;b1;", edit({}, "none", {}, "none"), ""},
        {",,bob=pw,chat;b1;", edit("mail", "chat", "b2", "b1"), "ADE_bob:pw,mail;b2"},
    };
    for (const Case& c : cases) {
        BulkHarness h({"on,,admin=secret,administrator;;", c.member});
        BulkOperation& bulk = h.Start({BulkAction::Edit, c.edit}, {"bob"});
        bulk.Pump();
        const std::vector<std::string> sent = h.Requests();
        if (c.sent.empty()) {
            EXPECT_TRUE(sent.empty()) << c.member;
            EXPECT_EQ(bulk.Count(BulkOutcome::Skipped), 1U) << c.member;
        } else {
            EXPECT_EQ(sent, std::vector<std::string>{c.sent}) << c.member;
        }
    }
}

TEST(BulkOperation, EachSentRequestIsToldWithItsOperationAndBackup) {
    BulkHarness h(kMembers);
    BulkOperation& bulk = h.Start({BulkAction::Delete, {}}, {"carol", "erin"});
    bulk.SetContext({7, "/backups/delete.csv"});
    std::vector<std::string> told;
    bulk.SetSentListener([&](const std::string& login, RequestId id, const BulkContext& context) {
        told.push_back(login + " " + std::to_string(id > 0) + " " + std::to_string(context.id) + " " +
                       context.backupPath);
    });
    bulk.Pump();
    EXPECT_EQ(told,
              (std::vector<std::string>{"carol 1 7 /backups/delete.csv", "erin 1 7 /backups/delete.csv"}));
}

}  // namespace

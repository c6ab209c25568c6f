// The session's record in a real journal file: a scripted socket drives the session, the
// journal writes to SQLite in a folder of the test's own, and a reader reads it back.

#include "session/SessionJournal.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "journal/JournalReader.hpp"
#include "session/BulkOperation.hpp"
#include "session/ServerSession.hpp"
#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"

namespace {

using std::chrono::seconds;

// Hands the journal what the session says, as the window and krvadmin do.
struct JournalingListener final : SessionListener {
    void EventArrived(const LinkEvent& event, const ConnectionEffect& control) override {
        journal->EventArrived(event, control);
    }
    void MembersChanged(const RowsEffect&, const ServerLineView*) override {}
    void StateChanged(LinkEventKind kind) override { journal->StateChanged(kind); }
    void NotAdministrator() override { journal->NotAdministrator(); }
    void ConnectionOrdered(const ConnectionEffect& order) override { journal->ConnectionOrdered(order); }
    void RequestSent(const SentRequest& request) override { journal->RequestSent(request); }
    void RequestSettled(const SettledRequest& request) override { journal->RequestSettled(request); }

    SessionJournal* journal = nullptr;
};

class SessionJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "krv-session-journal-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        path_ = (root_ / "krvClientA" / "journal.sqlite3").string();
        auto owned = std::make_unique<FakeClientSocket>();
        socket_ = owned.get();
        session_ = std::make_unique<ServerSession>(listener_, std::move(owned), clock_);
        session_->ApplySchedule({false, 10, 6, 60, -1});
        session_->SetRequestWait(seconds(30));
        StoredSettings settings;
        journal_ = std::make_unique<SessionJournal>(*session_, SessionJournal::OptionsFrom(settings, path_));
        listener_.journal = journal_.get();
    }
    void TearDown() override {
        journal_.reset();
        session_.reset();
        std::filesystem::remove_all(root_);
    }

    void LogIn(const std::string& granted = "administrator") {
        session_->SetCredentials("admin", "secret");
        session_->Connect("server.test", 4000);
        socket_->AcceptConnection();
        socket_->Deliver("send login:\r\nsend password:\r\nprotocols: " + granted + " :)\r\n");
        session_->Tick();
    }
    void Report(const std::string& lines) {
        socket_->Deliver(lines);
        session_->Tick();
    }
    void List() {
        Report(
            "ARLS\r\nARLM:on,,admin=secret,administrator;;\r\nARLM:on,,bob=pw,chat;b1;\r\n"
            "ARLM:,,carol=pw,chat;;\r\nARLC\r\n");
    }

    std::unique_ptr<JournalReader> Reader() {
        journal_->Flush();
        std::string error;
        auto reader = JournalReader::Open(path_, &error);
        EXPECT_NE(reader, nullptr) << error;
        return reader;
    }
    std::vector<RequestRecord> Requests() {
        auto reader = Reader();
        auto records = reader ? reader->Requests({}, {}) : std::vector<RequestRecord>{};
        std::reverse(records.begin(), records.end());  // oldest first
        return records;
    }
    std::vector<std::string> Story() {
        auto reader = Reader();
        std::vector<std::string> story;
        if (reader) {
            for (const ConnectionRecord& record : reader->ConnectionEvents({}, {})) {
                story.insert(
                    story.begin(),
                    std::string(ConnectionEventKindName(record.entry.kind)) + " " + record.entry.text +
                        (record.entry.redirectServer.empty() ? std::string()
                                                             : " -> " + record.entry.redirectServer));
            }
        }
        return story;
    }
    std::vector<MemberCountPoint> Counts() {
        auto reader = Reader();
        const JournalTime now = JournalNow();
        return reader
                   ? reader->MemberCounts("", now - std::chrono::hours(1), now + std::chrono::hours(1), 1000)
                   : std::vector<MemberCountPoint>{};
    }

    std::filesystem::path root_;
    std::string path_;
    ManualClock clock_;
    JournalingListener listener_;
    FakeClientSocket* socket_ = nullptr;
    std::unique_ptr<ServerSession> session_;
    std::unique_ptr<SessionJournal> journal_;
};

TEST_F(SessionJournalTest, EveryRequestSentIsKeptWithItsOutcome) {
    LogIn();
    List();
    ASSERT_TRUE(session_->AddAccount({"dave", "n3w-s3cret", "chat,news", "b2"}).Sent());
    ASSERT_TRUE(session_->EditAccount({"bob", "0ther-s3cret", "chat", "b1"}).Sent());
    ASSERT_TRUE(session_->EditAccount({"carol", "pw", "files", ""}).Sent());
    ASSERT_TRUE(session_->DeleteAccount("carol").Sent());
    ASSERT_TRUE(session_->Expel("bob").Sent());
    ASSERT_TRUE(session_->AskEveryoneToLogOff(true).Sent());
    // Refused before sending: nothing goes out, nothing is journaled.
    ASSERT_FALSE(session_->Expel("carol").Sent());
    Report(
        "ARA:,,dave=n3w-s3cret,chat,news;b2;\r\nARM:on,,bob=0ther-s3cret,chat;b1;\r\n"
        "ARM:,,carol=pw,files;;\r\nARE_carol:the account is protected\r\n");
    socket_->PeerCloses();  // the expel never answered
    session_->Tick();

    struct Expected {
        std::string command, member, changes;
        bool passwordChanged;
        JournalOutcome outcome;
        std::string report, text;
    };
    const std::vector<Expected> expected{
        {"add", "dave", "protocols=chat,news;bots=b2", true, JournalOutcome::Confirmed, "ARA", ""},
        {"edit", "bob", "", true, JournalOutcome::Confirmed, "ARM", ""},
        {"edit", "carol", "protocols=files", false, JournalOutcome::Confirmed, "ARM", ""},
        {"delete", "carol", "", false, JournalOutcome::Refused, "", "the account is protected"},
        {"expel", "bob", "", false, JournalOutcome::Unconfirmed, "", "the connection ended"},
        {"logoff-all-but-me", "", "", false, JournalOutcome::Unconfirmed, "",
         "no report confirms a request to everyone"},
    };
    const std::vector<RequestRecord> records = Requests();
    ASSERT_EQ(records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const RequestRecord& record = records[i];
        const Expected& want = expected[i];
        std::string changes;
        for (const ChangedField& field : record.entry.fields) {
            changes += (changes.empty() ? "" : ";") + field.name + "=" + field.value;
        }
        EXPECT_EQ(record.entry.command, want.command) << i;
        EXPECT_EQ(record.entry.member, want.member) << i;
        EXPECT_EQ(changes, want.changes) << i;
        EXPECT_EQ(record.entry.passwordChanged, want.passwordChanged) << i;
        EXPECT_EQ(record.outcome.outcome, want.outcome) << i;
        EXPECT_EQ(record.outcome.report, want.report) << i;
        EXPECT_EQ(record.outcome.text, want.text) << i;
        EXPECT_EQ(record.entry.server, (JournalServer{"server.test", 4000, ""})) << i;
        EXPECT_EQ(record.entry.administrator, "admin") << i;
    }
    // No password sent is anywhere in the file or its log.
    journal_.reset();
    listener_.journal = nullptr;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "krvClientA")) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes.find("s3cret"), std::string::npos) << entry.path();
    }
}

// A saved server's name goes with its entries, and only with entries of that host and port: the
// host in any letter case, not a server the connection was sent on to.
TEST_F(SessionJournalTest, EntriesOfASavedServerCarryItsName) {
    struct Case {
        std::string namedHost;
        int32_t namedPort;
        std::string expected;
    };
    const Case cases[] = {
        {"server.test", 4000, "Production"},
        {"SERVER.test", 4000, "Production"},
        {"server.test", 4001, ""},
        {"other.test", 4000, ""},
    };
    for (const Case& c : cases) {
        journal_->NameServer(c.namedHost, c.namedPort, "Production");
        LogIn();
        List();
        ASSERT_TRUE(session_->Expel("bob").Sent());
        socket_->PeerCloses();
        session_->Tick();
        const std::vector<RequestRecord> records = Requests();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back().entry.server, (JournalServer{"server.test", 4000, c.expected}))
            << c.namedHost << ":" << c.namedPort;
    }
}

// The requests of one command share what the link says of the server and the login until the
// link says otherwise: each connection's requests carry that connection's.
TEST_F(SessionJournalTest, RequestsCarryTheServerAndLoginOfTheirOwnConnection) {
    struct Case {
        std::string login;
        std::string host;
        int32_t port;
    };
    const Case cases[] = {
        {"admin", "server.test", 4000},
        {"root", "server.test", 4000},
        {"root", "other.test", 4001},
        {"admin", "server.test", 4000},
    };
    for (const Case& c : cases) {
        session_->SetCredentials(c.login, "secret");
        session_->Connect(c.host, c.port);
        socket_->AcceptConnection();
        socket_->Deliver("send login:\r\nsend password:\r\nprotocols: administrator :)\r\n");
        session_->Tick();
        List();
        ASSERT_TRUE(session_->Expel("bob").Sent()) << c.login;
        ASSERT_TRUE(session_->Expel("bob").Sent()) << c.login;
        socket_->PeerCloses();
        session_->Tick();
        const std::vector<RequestRecord> records = Requests();
        ASSERT_GE(records.size(), 2u);
        for (size_t i = records.size() - 2; i < records.size(); ++i) {
            EXPECT_EQ(records[i].entry.administrator, c.login) << c.host;
            EXPECT_EQ(records[i].entry.server, (JournalServer{c.host, c.port, ""})) << c.login;
            EXPECT_EQ(records[i].entry.command, "expel");
        }
    }
}

TEST_F(SessionJournalTest, RequestsOfABulkOperationCarryItAndItsBackup) {
    LogIn();
    List();
    journal_->BelongTo("1765400000000", "/backups/delete-20261211.csv");
    ASSERT_TRUE(session_->DeleteAccount("carol").Sent());
    journal_->BelongTo({}, {});
    ASSERT_TRUE(session_->Expel("bob").Sent());
    const std::vector<RequestRecord> records = Requests();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].entry.bulkId, "1765400000000");
    EXPECT_EQ(records[0].entry.backupFile, "/backups/delete-20261211.csv");
    EXPECT_EQ(records[1].entry.bulkId, "");
    EXPECT_EQ(records[1].entry.backupFile, "");
}

// Every target of a bulk operation is accounted for: those sent with their outcome, those given
// up before their turn as cancelled, all with the operation and the reason typed for it.
TEST_F(SessionJournalTest, ABulkOperationsTargetsNeverSentAreKeptAsCancelledWithTheReason) {
    struct Case {
        const char* name;
        bool cancel;  // otherwise the connection ends after the first request went out
        std::string why;
        JournalOutcome firstOutcome;
    };
    const Case cases[] = {
        {"cancel", true, "cancelled before it was sent", JournalOutcome::Confirmed},
        {"connection lost", false, "the connection ended before it was sent", JournalOutcome::Unconfirmed},
    };
    for (const Case& c : cases) {
        LogIn();
        Report(
            "ARLS\r\nARLM:on,,admin=secret,administrator;;\r\nARLM:on,,bob=pw,chat;b1;\r\n"
            "ARLM:,,carol=pw,chat;;\r\nARLM:,,dave=pw,;;\r\nARLC\r\n");
        BulkOperation bulk(*session_, BulkCommand{BulkAction::Delete, {}}, {"bob", "carol", "dave"});
        bulk.SetPacing({1, 1});
        journal_->BelongTo("42", "/backups/delete.csv");
        journal_->GiveReason("left the team");
        bulk.SetNotSentListener(
            [&](const std::vector<std::string>& logins, const std::string& why, const BulkContext&) {
                journal_->RequestsNotSent(BulkRequestWord(bulk.Command().action), logins, why);
            });
        bulk.Pump();
        ASSERT_EQ(bulk.SentCount(), 1u) << c.name;
        if (c.cancel) {
            bulk.Cancel();
            Report("ARD_bob\r\n");
        } else {
            socket_->PeerCloses();
            session_->Tick();
            bulk.Pump();
        }
        journal_->BelongTo({}, {});
        journal_->GiveReason({});
        ASSERT_EQ(bulk.Count(BulkOutcome::NotSent), 2u) << c.name;
        std::vector<RequestRecord> records = Requests();
        ASSERT_GE(records.size(), 3u) << c.name;
        records.erase(records.begin(), records.end() - 3);
        const char* members[] = {"bob", "carol", "dave"};
        for (size_t i = 0; i < 3; ++i) {
            const RequestRecord& record = records[i];
            EXPECT_EQ(record.entry.command, "delete") << c.name;
            EXPECT_EQ(record.entry.member, members[i]) << c.name;
            EXPECT_EQ(record.entry.bulkId, "42") << c.name;
            EXPECT_EQ(record.entry.backupFile, "/backups/delete.csv") << c.name;
            EXPECT_EQ(record.entry.reason, "left the team") << c.name;
            EXPECT_EQ(record.outcome.outcome, i == 0 ? c.firstOutcome : JournalOutcome::Cancelled)
                << c.name << " " << members[i];
            if (i > 0) {
                EXPECT_EQ(record.outcome.text, c.why) << c.name;
            }
        }
        if (c.cancel) {
            socket_->PeerCloses();
            session_->Tick();
        }
    }
    // What is sent after the operation carries neither it nor its reason.
    LogIn();
    List();
    ASSERT_TRUE(session_->Expel("bob").Sent());
    const std::vector<RequestRecord> records = Requests();
    EXPECT_EQ(records.back().entry.reason, "");
    EXPECT_EQ(records.back().entry.bulkId, "");
}

TEST_F(SessionJournalTest, TheConnectionsStoryIsKept) {
    LogIn();
    List();
    Report("SRE:5,5001,other.test\r\n");
    // The redirect closes this connection; the next attempt is refused its login.
    clock_.Advance(seconds(6));
    session_->Tick();
    socket_->AcceptConnection();
    Report("send login:\r\nsend password:\r\nlogin refused\r\n");
    socket_->PeerCloses();
    session_->Tick();
    // A login without the administrator right is closed by the session.
    LogIn("chat");
    session_->Tick();

    const std::vector<std::string> story = Story();
    const std::vector<std::string> expected{
        "connect server.test:4000",
        "login logged in as admin",
        "redirect in 5 s -> other.test:5001",
        "loss the server ordered a reconnection",
        "connect other.test:5001",
        "refusal login refused",
        "loss the server closed the connection",
        "connect server.test:4000",
        "refusal the login admin has no administrator rights",
        "loss the server closed the connection",
    };
    EXPECT_EQ(story, expected);
}

TEST_F(SessionJournalTest, MemberCountsAreTakenEachMinuteAndAtEachChangeOfConnection) {
    const JournalTime start = JournalNow();
    journal_->Tick(start);  // not logged in: nothing
    LogIn();
    journal_->Tick(start);  // the list has not come yet
    List();
    journal_->Tick(start);                // logged in with the whole list: counted
    journal_->Tick(start + seconds(30));  // not due
    Report("ARO:,,bob=pw,chat;b1;\r\n");  // bob went offline
    journal_->Tick(start + seconds(60));  // due
    journal_->Tick(start + seconds(61));  // not due
    socket_->PeerCloses();                // the counts as the connection ended
    session_->Tick();
    journal_->Tick(start + seconds(200));  // not logged in

    std::vector<std::pair<int64_t, int64_t>> counts;
    for (const MemberCountPoint& point : Counts()) {
        counts.emplace_back(point.total, point.online);
    }
    EXPECT_EQ(counts, (std::vector<std::pair<int64_t, int64_t>>{{3, 2}, {3, 1}, {3, 1}}));
}

TEST_F(SessionJournalTest, AJournalThatCannotBeOpenedSaysSoOnceAndTheSessionGoesOn) {
    journal_.reset();
    // The folder the journal would live in is a file.
    std::ofstream(root_ / "blocked") << "not a folder";
    journal_ = std::make_unique<SessionJournal>(
        *session_,
        SessionJournal::OptionsFrom(StoredSettings{}, (root_ / "blocked" / "journal.sqlite3").string()));
    listener_.journal = journal_.get();
    LogIn();
    List();
    EXPECT_TRUE(session_->DeleteAccount("carol").Sent());
    Report("ARD_carol\r\n");
    EXPECT_EQ(session_->Members().Count(), 2);
    journal_->Flush();
    const std::vector<std::string> notices = journal_->TakeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("cannot be written"), std::string::npos) << notices[0];
    journal_->Flush();
    EXPECT_TRUE(journal_->TakeNotices().empty());
}

}  // namespace

#include "journal/Journal.hpp"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "journal/JournalLocation.hpp"
#include "journal/JournalReader.hpp"
#include "journal/JournalTestSupport.hpp"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

const JournalTime kBase{milliseconds(1'700'000'000'000)};

JournalTime At(int64_t seconds) {
    return kBase + std::chrono::seconds(seconds);
}

std::vector<std::string> MembersOf(const std::vector<RequestRecord>& records) {
    std::vector<std::string> members;
    for (const RequestRecord& record : records) {
        members.push_back(record.entry.member);
    }
    return members;
}

using JournalRoundTripTest = JournalFolderTest;

TEST_F(JournalRoundTripTest, EveryOutcomeComesBackAsSettled) {
    struct Case {
        const char* command;
        OutcomeUpdate outcome;
    };
    const Case cases[] = {
        {"add", {JournalOutcome::Pending, "", "", {}}},
        {"edit", {JournalOutcome::Confirmed, "ARM", "", At(100)}},
        {"delete", {JournalOutcome::Refused, "", "no such account", At(101)}},
        {"expel", {JournalOutcome::Unconfirmed, "", "the connection ended first", At(102)}},
        {"logoff", {JournalOutcome::Cancelled, "", "", At(103)}},
    };
    {
        Journal journal(Options());
        int second = 0;
        for (const Case& c : cases) {
            RequestEntry entry =
                Request(c.command, std::string("member-") + c.command, Numbered("reason ", second));
            entry.time = At(second++);
            entry.fields = {{"protocols", "chat"}, {"userBots", "b1,b2"}};
            entry.bulkId = "bulk-7";
            entry.backupFile = "/tmp/backup.csv";
            const JournalTicket ticket = journal.Record(entry);
            if (c.outcome.outcome != JournalOutcome::Pending) {
                journal.Settle(ticket, c.outcome);
            }
        }
        journal.Flush();
        EXPECT_EQ(journal.Failure(), "");
    }
    const auto records = AllRequests();
    ASSERT_EQ(records.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[std::size(cases) - 1 - i];  // newest first
        const RequestRecord& record = records[i];
        SCOPED_TRACE(c.command);
        EXPECT_EQ(record.entry.command, c.command);
        EXPECT_EQ(record.entry.member, std::string("member-") + c.command);
        EXPECT_EQ(record.entry.time, At(static_cast<int64_t>(std::size(cases) - 1 - i)));
        EXPECT_EQ(record.entry.server, (JournalServer{"10.0.0.5", 4000, "office"}));
        EXPECT_EQ(record.entry.administrator, "admin");
        EXPECT_EQ(record.entry.fields,
                  (std::vector<ChangedField>{{"protocols", "chat"}, {"userBots", "b1,b2"}}));
        EXPECT_FALSE(record.entry.passwordChanged);
        EXPECT_EQ(record.entry.bulkId, "bulk-7");
        EXPECT_EQ(record.entry.backupFile, "/tmp/backup.csv");
        EXPECT_EQ(record.outcome.outcome, c.outcome.outcome);
        EXPECT_EQ(record.outcome.report, c.outcome.report);
        EXPECT_EQ(record.outcome.text, c.outcome.text);
        EXPECT_EQ(record.outcome.time, c.outcome.time);
    }
}

TEST_F(JournalRoundTripTest, AnOutcomeSettledInALaterBatchReachesItsRequest) {
    Journal journal(Options());
    const JournalTicket first = journal.Record(Request("delete", "ann"));
    const JournalTicket second = journal.Record(Request("delete", "bob"));
    journal.Flush();
    journal.Settle(second, {JournalOutcome::Confirmed, "ARD", "", At(5)});
    journal.Settle(first, {JournalOutcome::Refused, "", "not allowed", At(6)});
    journal.Settle(first, {JournalOutcome::Confirmed, "ARD", "", At(7)});  // settled for good before
    journal.Flush();
    const auto records = AllRequests();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].entry.member, "bob");
    EXPECT_EQ(records[0].outcome.outcome, JournalOutcome::Confirmed);
    EXPECT_EQ(records[1].entry.member, "ann");
    EXPECT_EQ(records[1].outcome.outcome, JournalOutcome::Refused);
    EXPECT_EQ(records[1].outcome.text, "not allowed");
}

// Within one batch, as across batches, the first final outcome of a request is the one kept.
TEST_F(JournalRoundTripTest, WithinOneBatchTheFirstFinalOutcomeStays) {
    struct Case {
        std::vector<OutcomeUpdate> updates;
        JournalOutcome kept;
        std::string text;
    };
    const Case cases[] = {
        {{{JournalOutcome::Confirmed, "ARD", "", At(5)}}, JournalOutcome::Confirmed, ""},
        {{{JournalOutcome::Refused, "", "no", At(5)}, {JournalOutcome::Confirmed, "ARD", "", At(6)}},
         JournalOutcome::Refused,
         "no"},
        {{{JournalOutcome::Pending, "", "", At(5)}, {JournalOutcome::Unconfirmed, "", "gone", At(6)}},
         JournalOutcome::Unconfirmed,
         "gone"},
        {{}, JournalOutcome::Pending, ""},
    };
    Journal journal(Options());
    for (const Case& c : cases) {
        const JournalTicket ticket = journal.Record(Request("delete", "ann"));
        for (const OutcomeUpdate& update : c.updates) {
            journal.Settle(ticket, update);
        }
        journal.Flush();
        const auto records = AllRequests();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.front().outcome.outcome, c.kept) << c.updates.size();
        EXPECT_EQ(records.front().outcome.text, c.text) << c.updates.size();
    }
}

// A bulk operation cancelled early gives up more requests at once than the queue holds entries.
TEST_F(JournalRoundTripTest, RequestsNeverSentAreKeptWholePastTheQueuesLimit) {
    JournalOptions options = Options();
    options.maxQueued = 10;
    Journal journal(options);
    std::vector<std::string> members;
    for (int i = 0; i < 1000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "m%d", i);
        members.emplace_back(name);
    }
    RequestEntry entry = Request("expel", "", "left the team");
    entry.bulkId = "42";
    journal.RecordUnsent(entry, members,
                         {JournalOutcome::Cancelled, "", "cancelled before it was sent", At(9)});
    journal.RecordUnsent(entry, {}, {JournalOutcome::Cancelled, "", "nothing", At(9)});
    journal.Flush();
    EXPECT_EQ(journal.Dropped(), 0u);
    auto records = AllRequests();
    ASSERT_EQ(records.size(), members.size());
    std::reverse(records.begin(), records.end());
    EXPECT_EQ(MembersOf(records), members);
    for (const RequestRecord& record : records) {
        EXPECT_EQ(record.entry.command, "expel");
        EXPECT_EQ(record.entry.bulkId, "42");
        EXPECT_EQ(record.entry.reason, "left the team");
        EXPECT_EQ(record.outcome.outcome, JournalOutcome::Cancelled);
        EXPECT_EQ(record.outcome.text, "cancelled before it was sent");
    }
}

// Waits, without a limit the test could not survive anyway, for what the writer does on its own.
template <class Condition>
bool Eventually(Condition condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

// Senders of many requests hold back once half the queue is taken, well before the queue is
// full and entries would be dropped; and the writer takes the queue then, however long its
// interval still runs (an hour here). A file locked by another program holds the writer in the
// middle of a batch, so that the queue behind it fills as the test says.
TEST_F(JournalRoundTripTest, FallingBehindIsSaidAtHalfTheQueueAndTheWriterTakesItThen) {
    JournalOptions options = Options();
    options.maxQueued = 10;
    options.commitInterval = std::chrono::hours(1);
    options.busyTimeout = std::chrono::minutes(1);
    Journal journal(options);
    journal.Record(Request("delete", "first"));
    journal.Flush();

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 0; i < 5; ++i) {
        journal.Record(Request("delete", "held"));
    }
    ASSERT_TRUE(Eventually([&] { return !journal.FallingBehind(); }));  // taken, and held
    const std::pair<int, bool> steps[] = {{4, false}, {1, true}};
    for (const auto& [more, behind] : steps) {
        for (int i = 0; i < more; ++i) {
            journal.Record(Request("delete", "next"));
        }
        EXPECT_EQ(journal.FallingBehind(), behind) << more;
    }
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    EXPECT_TRUE(Eventually([&] { return !journal.FallingBehind(); }));
    EXPECT_EQ(journal.Dropped(), 0u);
    journal.Flush();
    EXPECT_EQ(AllRequests().size(), 11u);
}

// A request no answer reached leaves its outcome's time empty in the file, for whoever reads it
// with sqlite3; one whose wait was noted has the time of that note.
TEST_F(JournalRoundTripTest, APendingRequestHasNoOutcomeTimeInTheFile) {
    {
        Journal journal(Options());
        journal.Record(Request("delete", "unanswered"));
        const JournalTicket noted = journal.Record(Request("delete", "noted"));
        journal.Settle(noted, {JournalOutcome::Pending, "", "still waiting", At(3)});
        journal.Flush();
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* query = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw,
                                 "SELECT m.name, r.outcome_time IS NULL, r.outcome_text FROM requests r "
                                 "JOIN members m ON m.id = r.member_id ORDER BY r.id",
                                 -1, &query, nullptr),
              SQLITE_OK);
    std::vector<std::string> rows;
    while (sqlite3_step(query) == SQLITE_ROW) {
        rows.push_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(query, 0))) + " " +
                       std::to_string(sqlite3_column_int(query, 1)) + " " +
                       reinterpret_cast<const char*>(sqlite3_column_text(query, 2)));
    }
    sqlite3_finalize(query);
    sqlite3_close(raw);
    EXPECT_EQ(rows, (std::vector<std::string>{"unanswered 1 ", "noted 0 still waiting"}));
}

// An outcome that comes while its request still waits in the queue is put with it there: it
// must find its own request among entries of other kinds and past requests the full queue
// dropped, whichever order the outcomes come in, and whether the writer took the queue before
// them or not.
TEST_F(JournalRoundTripTest, OutcomesFindTheirOwnRequestsWhereverTheyWait) {
    struct Case {
        const char* steps;  // R: a request, C: a connection event, F: a flush
        size_t maxQueued;
        bool reversed;  // outcomes in the reverse order of the requests
    };
    const Case cases[] = {
        {"RCRRCR", 300, false}, {"RCRRCR", 300, true},   {"RRFRCR", 300, true},
        {"CRRRRRRR", 4, false}, {"RFRCFRR", 300, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        std::filesystem::remove(path_);
        JournalOptions options = Options();
        options.maxQueued = c.maxQueued;
        options.commitInterval = std::chrono::hours(1);
        Journal journal(options);
        std::vector<std::pair<JournalTicket, std::string>> tickets;
        for (const char* step = c.steps; *step != '\0'; ++step) {
            if (*step == 'R') {
                std::string member = Numbered("m", static_cast<long long>(tickets.size()));
                tickets.emplace_back(journal.Record(Request("delete", member)), member);
            } else if (*step == 'C') {
                journal.Record(
                    ConnectionEntry{At(0), {"h", 1, ""}, "admin", ConnectionEventKind::Login, "", "", ""});
            } else {
                journal.Flush();
            }
        }
        if (c.reversed) {
            std::reverse(tickets.begin(), tickets.end());
        }
        for (const auto& [ticket, member] : tickets) {
            journal.Settle(ticket, {JournalOutcome::Refused, "", "why " + member, At(1)});
        }
        journal.Flush();
        const auto records = AllRequests();
        if (journal.Dropped() == 0) {
            EXPECT_EQ(records.size(), tickets.size());
        }
        for (const RequestRecord& record : records) {
            EXPECT_EQ(record.outcome.outcome, JournalOutcome::Refused) << record.entry.member;
            EXPECT_EQ(record.outcome.text, "why " + record.entry.member);
        }
    }
}

// Requests settled within their batch go to the file many to a statement, the others one at a
// time: whatever the mix, every row keeps its own values and its context's, and the rows keep
// the order they were queued in (all at one time here, so the reader orders them by row alone).
TEST_F(JournalRoundTripTest, RowsWrittenManyAtOnceKeepTheirValuesAndOrder) {
    struct Step {
        // 's': settled in the batch, of two contexts in turn; 'S': the same, of one context;
        // 'p': left pending; 'u': never sent; 'c': a connection
        char kind;
        int count;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"one", {{'s', 1}}},
        {"one statement's worth", {{'s', 32}}},
        {"one more", {{'s', 33}}},
        {"broken by a pending one", {{'s', 40}, {'p', 1}, {'s', 40}}},
        {"broken by a connection", {{'s', 5}, {'c', 1}, {'s', 70}}},
        {"never sent between", {{'s', 31}, {'u', 50}, {'s', 3}, {'p', 2}}},
        {"one context, then two, then another", {{'S', 70}, {'s', 40}, {'S', 33}, {'u', 40}}},
    };
    const std::shared_ptr<const RequestContext> contexts[] = {
        std::make_shared<const RequestContext>(
            RequestContext{{"10.0.0.5", 4000, "office"}, "admin", "delete", "7", "/b/7.csv", "left"}),
        std::make_shared<const RequestContext>(
            RequestContext{{"10.0.0.6", 4001, ""}, "root", "expel", "", "", "spam"}),
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(path_);
        std::vector<std::string> members;  // oldest first
        std::vector<const RequestContext*> contextOf;
        std::vector<JournalOutcome> outcomes;
        {
            Journal journal(Options());
            for (const Step& step : c.steps) {
                if (step.kind == 'c') {
                    journal.Record(ConnectionEntry{
                        At(0), {"h", 1, ""}, "admin", ConnectionEventKind::Login, "", "", ""});
                    continue;
                }
                if (step.kind == 'u') {
                    std::vector<std::string> logins;
                    for (int i = 0; i < step.count; ++i) {
                        logins.push_back(Numbered("u", n++));
                        members.push_back(logins.back());
                        contextOf.push_back(contexts[1].get());
                        outcomes.push_back(JournalOutcome::Cancelled);
                    }
                    journal.RecordUnsent(contexts[1], logins,
                                         {JournalOutcome::Cancelled, "", "cancelled", At(1)}, At(0));
                    continue;
                }
                for (int i = 0; i < step.count; ++i) {
                    // Every third request of another context, so that neighbours differ.
                    const int k = n++;
                    const auto& context = contexts[step.kind == 's' && k % 3 == 0 ? 1 : 0];
                    JournalRequest request{
                        At(0), context, Numbered("m", k), {{"bots", Numbered("b", k)}}, false};
                    members.push_back(request.member);
                    contextOf.push_back(context.get());
                    const JournalTicket ticket = journal.Record(std::move(request));
                    if (step.kind != 'p') {
                        journal.Settle(ticket, {JournalOutcome::Confirmed, "ARD", "", At(1)});
                        outcomes.push_back(JournalOutcome::Confirmed);
                    } else {
                        outcomes.push_back(JournalOutcome::Pending);
                    }
                }
            }
        }
        auto records = AllRequests();
        std::reverse(records.begin(), records.end());
        ASSERT_EQ(records.size(), members.size());
        EXPECT_EQ(MembersOf(records), members);
        for (size_t i = 0; i < records.size(); ++i) {
            const RequestEntry& entry = records[i].entry;
            const RequestContext& context = *contextOf[i];
            SCOPED_TRACE(entry.member);
            EXPECT_EQ(entry.server, context.server);
            EXPECT_EQ(entry.administrator, context.administrator);
            EXPECT_EQ(entry.command, context.command);
            EXPECT_EQ(entry.bulkId, context.bulkId);
            EXPECT_EQ(entry.backupFile, context.backupFile);
            EXPECT_EQ(entry.reason, context.reason);
            EXPECT_EQ(records[i].outcome.outcome, outcomes[i]);
            if (outcomes[i] != JournalOutcome::Cancelled) {
                ASSERT_EQ(entry.fields.size(), 1u);
                EXPECT_EQ(entry.fields[0].value, Numbered("b", std::stoll(entry.member.substr(1))));
            }
        }
    }
}

// The writer runs nicer than the thread that made the journal, by as much as it is told, and
// never less nice than it was.
TEST_F(JournalRoundTripTest, TheWriterRunsAsMuchNicerAsItIsTold) {
    const auto nicenessOfThreads = [] {
        std::multiset<int> found;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            std::ifstream stat(task.path() / "stat");
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            // Past the command's closing parenthesis: state, then fields 4 to 19; 19 is the nice value.
            std::istringstream fields(text.substr(text.rfind(')') + 2));
            std::string field;
            for (int i = 3; i <= 19 && fields >> field; ++i) {
            }
            found.insert(std::stoi(field));
        }
        return found;
    };
    const int own = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    for (const int niceness : {0, 5, 40}) {
        const std::multiset<int> before = nicenessOfThreads();
        JournalOptions options = Options();
        options.writerNiceness = niceness;
        Journal journal(options);
        journal.Record(Request("delete", "ann"));
        journal.Flush();  // the writer has started, and lowered itself first
        std::multiset<int> after = nicenessOfThreads();
        const int expected = std::min(own + niceness, 19);
        ASSERT_EQ(after.size(), before.size() + 1) << niceness;
        for (const int value : before) {
            after.erase(after.find(value));
        }
        EXPECT_EQ(*after.begin(), expected) << niceness;
    }
}

// A writer slower than its callers loses nothing when they heed FallingBehind: the writer, as
// nice as it can be, writes what a small queue lets through while a caller that never stops on
// its own records requests and their outcomes as fast as it can.
TEST_F(JournalRoundTripTest, ASlowWriterDropsNothingWhileItsCallersWaitForIt) {
    struct Case {
        size_t maxQueued;
        int requests;
    };
    const Case cases[] = {{64, 3000}, {1000, 10000}};
    for (const Case& c : cases) {
        std::filesystem::remove(path_);
        JournalOptions options = Options();
        options.maxQueued = c.maxQueued;
        options.writerNiceness = 19;
        // A queue this small never holds a batch's worth: the writer takes it at each interval.
        options.commitInterval = std::chrono::milliseconds(10);
        Journal journal(options);
        const auto context = std::make_shared<const RequestContext>(
            RequestContext{{"10.0.0.5", 4000, ""}, "admin", "delete", "", "", ""});
        int waits = 0;
        for (int i = 0; i < c.requests; ++i) {
            while (journal.FallingBehind()) {
                ++waits;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            const JournalTicket ticket =
                journal.Record(JournalRequest{{}, context, Numbered("m", i), {}, false});
            journal.Settle(ticket, {JournalOutcome::Confirmed, "ARD", "", {}});
        }
        journal.Flush();
        EXPECT_EQ(journal.Dropped(), 0u) << c.maxQueued;
        EXPECT_GT(waits, 0) << c.maxQueued;  // the queue did fill: the wait was what kept it whole
        auto reader = Reader();
        ASSERT_NE(reader, nullptr);
        RequestFilter confirmed;
        confirmed.outcome = JournalOutcome::Confirmed;
        EXPECT_EQ(reader->CountRequests(confirmed), c.requests) << c.maxQueued;
    }
}

TEST_F(JournalRoundTripTest, ConnectionStoryAndMemberCountsComeBack) {
    const ConnectionEntry story[] = {
        {At(0), {"h", 1, ""}, "admin", ConnectionEventKind::Connect, "", "", ""},
        {At(1), {"h", 1, ""}, "admin", ConnectionEventKind::Refusal, "wrong password", "", ""},
        {At(2), {"h", 1, ""}, "admin", ConnectionEventKind::Login, "", "", ""},
        {At(3), {"h", 1, ""}, "admin", ConnectionEventKind::Redirect, "moving", "reconnect", "h2:5000"},
        {At(4), {"h2", 5000, "b"}, "admin", ConnectionEventKind::Loss, "connection reset", "", ""},
    };
    {
        Journal journal(Options());
        for (const ConnectionEntry& entry : story) {
            journal.Record(entry);
        }
        for (int i = 0; i < 3; ++i) {
            journal.Record(MemberCountEntry{At(i * 60), {"h", 1, ""}, 100 + i, 10 * i});
        }
        journal.Flush();
    }
    auto reader = Reader();
    ASSERT_NE(reader, nullptr);
    const auto events = reader->ConnectionEvents({}, {});
    ASSERT_EQ(events.size(), std::size(story));
    for (size_t i = 0; i < events.size(); ++i) {
        const ConnectionEntry& expected = story[std::size(story) - 1 - i];
        const ConnectionEntry& got = events[i].entry;
        SCOPED_TRACE(ConnectionEventKindName(expected.kind));
        EXPECT_EQ(got.time, expected.time);
        EXPECT_EQ(got.server, expected.server);
        EXPECT_EQ(got.kind, expected.kind);
        EXPECT_EQ(got.text, expected.text);
        EXPECT_EQ(got.redirectKind, expected.redirectKind);
        EXPECT_EQ(got.redirectServer, expected.redirectServer);
    }
    const auto counts = reader->MemberCounts("h:1", At(0), At(3600), 100);
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_EQ(counts[2].time, At(120));
    EXPECT_EQ(counts[2].total, 102);
    EXPECT_EQ(counts[2].online, 20);
}

TEST_F(JournalRoundTripTest, ThePasswordIsKeptAsChangedNeverAsItsValue) {
    const std::string secret = "Sup3r-s3cret-Passw0rd";
    {
        Journal journal(Options());
        RequestEntry entry = Request("edit", "carol");
        entry.fields = {{"Password", secret}, {"protocols", "chat"}};
        journal.Record(entry);
        journal.Flush();
        // Looked for while the write-ahead log still holds the transaction.
        EXPECT_EQ(FileBytes(path_ + "-wal").find(secret), std::string::npos);
        EXPECT_EQ(FileBytes(path_).find(secret), std::string::npos);
    }
    EXPECT_EQ(FileBytes(path_).find(secret), std::string::npos);
    const auto records = AllRequests();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].entry.passwordChanged);
    EXPECT_EQ(records[0].entry.fields, (std::vector<ChangedField>{{"Password", ""}, {"protocols", "chat"}}));
}

using JournalQueryTest = JournalFolderTest;

TEST_F(JournalQueryTest, FiltersLetThroughWhatTheyName) {
    {
        Journal journal(Options());
        const struct {
            int64_t second;
            const char* command;
            const char* member;
            const char* server;
            JournalOutcome outcome;
        } rows[] = {
            {0, "add", "alice", "office", JournalOutcome::Confirmed},
            {1, "delete", "Bob_1", "office", JournalOutcome::Refused},
            {2, "delete", "bob%2", "lab", JournalOutcome::Confirmed},
            {3, "expel", "robert", "lab", JournalOutcome::Pending},
            {4, "logoff-all", "", "office", JournalOutcome::Confirmed},
        };
        for (const auto& row : rows) {
            RequestEntry entry = Request(row.command, row.member);
            entry.time = At(row.second);
            entry.server = {std::string(row.server) == "lab" ? "192.168.1.9" : "10.0.0.5", 4000, row.server};
            journal.Settle(journal.Record(entry), {row.outcome, "", "", At(row.second)});
        }
        journal.Flush();
    }
    struct Case {
        const char* name;
        RequestFilter filter;
        std::vector<std::string> members;
    };
    auto filter = [](auto&& set) {
        RequestFilter f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"everything", {}, {"", "robert", "bob%2", "Bob_1", "alice"}},
        {"from, inclusive", filter([](RequestFilter& f) { f.from = At(3); }), {"", "robert"}},
        {"to, exclusive", filter([](RequestFilter& f) { f.to = At(1); }), {"alice"}},
        {"command", filter([](RequestFilter& f) { f.command = "delete"; }), {"bob%2", "Bob_1"}},
        {"member part, case ignored",
         filter([](RequestFilter& f) { f.memberContains = "OB"; }),
         {"robert", "bob%2", "Bob_1"}},
        {"member part with a wildcard taken literally",
         filter([](RequestFilter& f) { f.memberContains = "b%"; }),
         {"bob%2"}},
        {"underscore taken literally", filter([](RequestFilter& f) { f.memberContains = "b_"; }), {"Bob_1"}},
        {"server by name", filter([](RequestFilter& f) { f.server = "lab"; }), {"robert", "bob%2"}},
        {"server by address",
         filter([](RequestFilter& f) { f.server = "10.0.0.5:4000"; }),
         {"", "Bob_1", "alice"}},
        {"outcome",
         filter([](RequestFilter& f) { f.outcome = JournalOutcome::Confirmed; }),
         {"", "bob%2", "alice"}},
        {"together",
         filter([](RequestFilter& f) {
             f.memberContains = "bob";
             f.outcome = JournalOutcome::Refused;
         }),
         {"Bob_1"}},
        {"nothing matches", filter([](RequestFilter& f) { f.memberContains = "zed"; }), {}},
    };
    auto reader = Reader();
    ASSERT_NE(reader, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MembersOf(reader->Requests(c.filter, {})), c.members);
        EXPECT_EQ(reader->CountRequests(c.filter), static_cast<int64_t>(c.members.size()));
        EXPECT_EQ(reader->Error(), "");
    }
}

TEST_F(JournalQueryTest, KeysetAndOffsetPagesCoverEveryRowOnceThroughEqualTimes) {
    constexpr int kRows = 250;
    {
        Journal journal(Options());
        for (int i = 0; i < kRows; ++i) {
            RequestEntry entry = Request("edit", Numbered("m", i));
            entry.time = At(i / 7);  // seven requests share each second
            journal.Record(entry);
        }
        journal.Flush();
    }
    auto reader = Reader();
    ASSERT_NE(reader, nullptr);
    for (const bool keyset : {true, false}) {
        SCOPED_TRACE(keyset ? "keyset" : "offset");
        std::vector<std::string> seen;
        PageRequest page;
        page.limit = 40;
        for (;;) {
            const auto records = reader->Requests({}, page);
            if (records.empty()) {
                break;
            }
            for (const RequestRecord& record : records) {
                seen.push_back(record.entry.member);
            }
            page.after = keyset ? std::optional(JournalCursor{records.back().entry.time, records.back().id})
                                : std::nullopt;
            page.offset += records.size();
        }
        ASSERT_EQ(seen.size(), static_cast<size_t>(kRows));
        EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), static_cast<size_t>(kRows));
        EXPECT_EQ(seen.front(), "m249");
        EXPECT_EQ(seen.back(), "m0");
    }
}

TEST_F(JournalQueryTest, MemberCountsAreGatheredIntoSpansKeepingTheirPeaks) {
    {
        Journal journal(Options());
        for (int i = 0; i < 1000; ++i) {
            journal.Record(MemberCountEntry{At(i), {"h", 1, ""}, 500, i == 437 ? 499 : 100});
        }
        journal.Record(MemberCountEntry{At(10), {"other", 1, ""}, 9999, 9999});
        journal.Flush();
    }
    auto reader = Reader();
    ASSERT_NE(reader, nullptr);
    const auto points = reader->MemberCounts("h:1", At(0), At(1000), 10);
    ASSERT_EQ(points.size(), 10u);
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].time, At(static_cast<int64_t>(i) * 100));
        EXPECT_EQ(points[i].total, 500);
        EXPECT_EQ(points[i].online, i == 4 ? 499 : 100);
    }
    EXPECT_EQ(reader->MemberCounts("h:1", At(990), At(2000), 10).size(), 10u);  // ten samples, kept apart
}

using JournalFailureTest = JournalFolderTest;

// Root writes through permission bits, so the journal's folder is made impossible instead: a
// plain file stands where the folder should be.
TEST_F(JournalFailureTest, AFolderThatCannotBeMadeIsReportedOnceAndEntriesAreDropped) {
    std::ofstream(root_ / "krvClientA") << "not a folder";
    NoticeLog log;
    {
        Journal journal(Options(), log.Handler());
        for (int i = 0; i < 3; ++i) {
            journal.Record(Request("delete", Numbered("m", i)));
            journal.Flush();
        }
        EXPECT_NE(journal.Failure().find("cannot create the folder"), std::string::npos) << journal.Failure();
        EXPECT_EQ(journal.Dropped(), 3u);
    }
    const auto notices = log.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, JournalNoticeKind::CannotWrite);
    EXPECT_TRUE(notices[0].text.starts_with("the journal cannot be written: ")) << notices[0].text;
}

TEST_F(JournalFailureTest, AFileLockedPastTheTimeoutDropsThatBatchAndWritingResumesAfter) {
    NoticeLog log;
    JournalOptions options = Options();
    options.busyTimeout = milliseconds(100);
    Journal journal(options, log.Handler());
    journal.Record(Request("add", "before"));
    journal.Flush();

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    journal.Record(Request("add", "while locked"));
    journal.Flush();
    EXPECT_NE(journal.Failure(), "");
    EXPECT_EQ(journal.Dropped(), 1u);
    ASSERT_EQ(sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);

    journal.Record(Request("add", "after"));
    journal.Flush();
    EXPECT_EQ(journal.Failure(), "");
    EXPECT_EQ(MembersOf(AllRequests()), (std::vector<std::string>{"after", "before"}));
    const auto notices = log.Notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].kind, JournalNoticeKind::CannotWrite);
    EXPECT_NE(notices[0].text.find("locked"), std::string::npos) << notices[0].text;
    EXPECT_EQ(notices[1].kind, JournalNoticeKind::WritingAgain);
}

TEST_F(JournalFailureTest, ADamagedFileIsMovedAsideAndANewJournalStarted) {
    fs::create_directories(fs::path(path_).parent_path());
    std::string garbage;
    for (int i = 0; i < 8192; ++i) {
        garbage += static_cast<char>((i * 7919) % 251);
    }
    std::ofstream(path_, std::ios::binary) << garbage;
    NoticeLog log;
    {
        Journal journal(Options(), log.Handler());
        journal.Record(Request("delete", "dave"));
        journal.Flush();
        EXPECT_EQ(journal.Failure(), "");
    }
    const auto notices = log.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, JournalNoticeKind::DamagedSetAside);
    EXPECT_TRUE(notices[0].path.starts_with(path_ + ".corrupt-")) << notices[0].path;
    EXPECT_NE(notices[0].text.find(notices[0].path), std::string::npos);
    EXPECT_EQ(FileBytes(notices[0].path), garbage);
    EXPECT_EQ(MembersOf(AllRequests()), (std::vector<std::string>{"dave"}));
}

using JournalPruneTest = JournalFolderTest;

TEST_F(JournalPruneTest, EntriesOlderThanTheAgeAreRemovedOnOpening) {
    const JournalTime now = JournalNow();
    const auto day = std::chrono::hours(24);
    {
        Journal journal(Options());
        for (const int days : {400, 181, 179, 1}) {
            RequestEntry entry = Request("edit", Numbered("", days) + " days");
            entry.time = now - days * day;
            journal.Record(entry);
            journal.Record(ConnectionEntry{
                now - days * day, {"h", 1, ""}, "admin", ConnectionEventKind::Login, "", "", ""});
            journal.Record(MemberCountEntry{now - days * day, {"h", 1, ""}, 1, 1});
        }
        journal.Flush();
    }
    { Journal reopened(Options()); }  // prunes as it opens, with the default age of 180 days
    EXPECT_EQ(MembersOf(AllRequests()), (std::vector<std::string>{"1 days", "179 days"}));
    EXPECT_EQ(LoginsKept(), 2);  // the logins of the requests gone went with them
    auto reader = Reader();
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->ConnectionEvents({}, {}).size(), 2u);
    EXPECT_EQ(reader->MemberCounts("", now - 400 * day, now, 100).size(), 2u);
}

TEST_F(JournalPruneTest, TheOldestEntriesGoUntilTheFileFitsItsSize) {
    constexpr int kRows = 20'000;
    constexpr int64_t kLimit = 1024 * 1024;
    {
        Journal journal(Options());
        for (int i = 0; i < kRows; ++i) {
            RequestEntry entry = Request("edit", Numbered("member", i), std::string(200, 'r'));
            entry.time = JournalNow() - std::chrono::seconds(kRows - i);
            journal.Record(entry);
        }
        journal.Flush();
    }
    ASSERT_GT(fs::file_size(path_), static_cast<uintmax_t>(3 * kLimit));
    {
        JournalOptions options = Options();
        options.maxBytes = kLimit;
        Journal reopened(options);
    }
    EXPECT_LE(fs::file_size(path_), static_cast<uintmax_t>(kLimit));
    const auto records = AllRequests();
    ASSERT_GT(records.size(), 1000u);
    ASSERT_LT(records.size(), static_cast<size_t>(kRows));
    // What is left is the newest, without a gap, and only its logins are kept.
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].entry.member, Numbered("member", kRows - 1 - static_cast<int>(i)));
    }
    EXPECT_EQ(LoginsKept(), static_cast<int64_t>(records.size()));
}

TEST(JournalLocationTest, TheFileIsTheUsersAndOwnerOnly) {
    struct Case {
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/data", "/home/u", "/data/krvClientA/journal.sqlite3"},
        {"", "/home/u", "/home/u/.local/share/krvClientA/journal.sqlite3"},
        {"relative/ignored", "/home/u", "/home/u/.local/share/krvClientA/journal.sqlite3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JournalPathFor(c.xdg, c.home), c.expected) << c.xdg;
    }

    std::string pattern = (fs::temp_directory_path() / "krv-journal-home-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    ::setenv("XDG_DATA_HOME", pattern.c_str(), 1);
    const std::string path = DefaultJournalPath();
    EXPECT_EQ(path, pattern + "/krvClientA/journal.sqlite3");
    {
        Journal journal{JournalOptions{}};
        journal.Record(Request("add", "erin"));
        journal.Flush();
        EXPECT_EQ(journal.Path(), path);
    }
    ::unsetenv("XDG_DATA_HOME");
    struct stat folder {};
    struct stat file {};
    ASSERT_EQ(::stat(fs::path(path).parent_path().c_str(), &folder), 0);
    ASSERT_EQ(::stat(path.c_str(), &file), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    fs::remove_all(pattern);
}

}  // namespace

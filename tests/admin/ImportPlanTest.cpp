#include "admin/ImportPlan.hpp"

#include <gtest/gtest.h>

#include "protocol/AdminRequest.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "support/ManualClock.hpp"

#include <string>
#include <vector>

namespace {

// The line the session sends for a planned row.
std::string RequestOf(const ImportStep& step) {
    return AccountRequestLine(
        step.action == ImportAction::Add ? RequestCode::AddAccount : RequestCode::EditAccount, step.fields);
}

CsvRecord Row(size_t line, std::vector<std::string> fields, std::string error = {}) {
    return CsvRecord{line, std::move(fields), std::move(error)};
}

ImportColumns Header(std::vector<std::string> names) {
    ImportColumns columns;
    std::string error;
    EXPECT_TRUE(ReadImportHeader(Row(1, std::move(names)), columns, error)) << error;
    return columns;
}

// A quote left open would take the rest of the file into one row and report only that row's
// line; the file is refused, naming the line where the quote opened. Other bad rows are each
// reported on their own, so they do not stop the file.
TEST(ImportRecordsTest, RefusesAFileWithAQuoteLeftOpen) {
    struct Case {
        const char* name;
        std::string text;
        size_t records;  // when read
        std::string error;
    };
    const std::string header = "login,password\n";
    const Case cases[] = {
        {"good rows", header + "a,1\n\"b\nc\",2\n", 3, ""},
        {"a stray quote", header + "a,1\nb\"x,2\nc,3\n", 4, ""},
        {"a quote left open on line 3 of 7", header + "a,1\n\"b,2\nc,3\nd,4\ne,5\nf,6\n", 0,
         "the quote opened on line 3 is never closed, so every line after it would be read as one "
         "field; nothing was sent"},
        {"opened after a field that spans lines", header + "\"a\nb\",\"1\nc,3\n", 0,
         "the quote opened on line 3 is never closed, so every line after it would be read as one "
         "field; nothing was sent"},
    };
    for (const Case& c : cases) {
        std::vector<CsvRecord> records;
        std::string error;
        EXPECT_EQ(ReadImportRecords(c.text, records, error), c.error.empty()) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        if (c.error.empty()) {
            EXPECT_EQ(records.size(), c.records) << c.name;
        }
    }
}

TEST(ImportHeaderTest, FindsTheColumnsInAnyOrderAndCase) {
    const ImportColumns columns = Header({"online", " Protocols ", "LOGIN", "bots", "Password"});
    EXPECT_EQ(columns.login, 2);
    EXPECT_EQ(columns.password, 4);
    EXPECT_EQ(columns.protocols, 1);
    EXPECT_EQ(columns.userBots, 3);
    EXPECT_EQ(columns.count, 5u);
}

TEST(ImportHeaderTest, RefusesAHeaderWithoutLoginOrWithAColumnTwice) {
    ImportColumns columns;
    std::string error;
    EXPECT_FALSE(ReadImportHeader(Row(1, {"password", "protocols"}), columns, error));
    EXPECT_EQ(error, "the header row has no login column");
    EXPECT_FALSE(ReadImportHeader(Row(1, {"login", "bots", "user_bots"}), columns, error));
    EXPECT_EQ(error, "the header names the column user_bots twice");
    EXPECT_FALSE(ReadImportHeader(Row(1, {}, "text after a closing quote"), columns, error));
}

struct PlanCase {
    const char* name;
    CsvRecord row;
    bool update;
    ImportAction action;
    std::string request;  // or the reason when nothing is sent
};

class ImportPlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(ImportPlanTest, TurnsARowIntoItsRequestOrItsReason) {
    TkvCLDataCollection members;
    members.AddOrUpdate("Bob", "", "", "chat,news", "old", "echo", false);
    const ImportColumns columns = Header({"login", "online", "password", "protocols", "user_bots"});
    const PlanCase& c = GetParam();
    members.AddOrUpdate("me", "x", "1", "chat,Administrator", "pw", "", true);
    const ImportStep step = PlanImportRow(c.row, columns, members, c.update, "ME");
    EXPECT_EQ(step.action, c.action);
    EXPECT_EQ(step.line, c.row.line);
    const bool sent = c.action == ImportAction::Add || c.action == ImportAction::Edit;
    EXPECT_EQ(sent ? RequestOf(step) : step.reason, c.request);
    if (sent) {
        EXPECT_EQ(step.reason, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ImportPlanTest,
    testing::Values(
        PlanCase{"add", Row(2, {" carol ", "no", "pw", "chat", "dice"}), false, ImportAction::Add,
                 "ADA_carol:pw,chat;dice"},
        PlanCase{"existingWithoutUpdate", Row(3, {"bob", "", "pw", "", ""}), false, ImportAction::Refuse,
                 "login exists (--update edits it)"},
        PlanCase{"existingWithUpdate", Row(4, {"BOB", "", "new", "mail", ""}), true, ImportAction::Edit,
                 "ADE_BOB:new,mail;"},
        PlanCase{"fieldGuard", Row(5, {"dave", "", "a,b", "", ""}), false, ImportAction::Refuse,
                 "The password cannot contain the character \",\", so nothing was sent."},
        PlanCase{"lineBreakInLogin", Row(6, {"da\nve", "", "", "", ""}), false, ImportAction::Refuse,
                 "The login cannot contain a line feed, so nothing was sent."},
        PlanCase{"ownProtocolsKept", Row(10, {"me", "", "new", "chat, administrator", "x"}), true,
                 ImportAction::Edit, "ADE_me:new,chat, administrator;x"},
        PlanCase{"ownProtocolsLocked", Row(11, {"me", "", "pw", "chat", ""}), true, ImportAction::Refuse,
                 "the protocols of me, the login of this connection, cannot lose administrator"},
        PlanCase{"tooFewFields", Row(7, {"erin", "pw"}), false, ImportAction::Skip,
                 "2 fields where the header has 5"},
        PlanCase{"noLogin", Row(8, {"  ", "", "", "", ""}), false, ImportAction::Skip, "no login"},
        PlanCase{"malformed", Row(9, {}, "a quoted field is not closed"), false, ImportAction::Skip,
                 "a quoted field is not closed"}),
    [](const testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

// The columns the file lacks keep the account's values; with no account they are empty.
TEST(ImportPlanTest, MissingColumnsKeepTheAccountsValues) {
    TkvCLDataCollection members;
    members.AddOrUpdate("bob", "", "", "chat,news", "old", "echo", false);
    const ImportColumns columns = Header({"login", "protocols"});
    EXPECT_EQ(RequestOf(PlanImportRow(Row(2, {"bob", "mail"}), columns, members, true, "admin")),
              "ADE_bob:old,mail;echo");
    EXPECT_EQ(RequestOf(PlanImportRow(Row(3, {"new", "mail"}), columns, members, true, "admin")),
              "ADA_new:,mail;");
}

// The rows sent are followed by the session's request follower, as krvadmin's import follows
// them; a report counts for the tally when it settles one of its rows.
TEST(ImportTallyTest, MatchesAnswersToTheRowsSentPerLoginAndInOrder) {
    ManualClock clock;
    RequestFollower follower;
    ImportTally tally;
    const auto send = [&](ImportStep step, std::string_view code) {
        tally.Sent(step, follower.Follow(code, step.login, clock.Now()));
    };
    send({2, ImportAction::Add, "carol", "", {}}, "ARA");
    send({3, ImportAction::Add, "Carol", "", {}}, "ARA");
    send({4, ImportAction::Edit, "bob", "", {}}, "ARM");
    tally.NotSent({5, ImportAction::Skip, "", "no login", {}});
    tally.NotSent({6, ImportAction::Refuse, "x", "login exists", {}});
    EXPECT_EQ(tally.Pending(), 3u);
    const std::string waiting = tally.Summary(false);
    EXPECT_EQ(waiting.substr(0, waiting.find('\n')),
              "added 0, changed 0, refused 1, skipped 1, sent without an answer 3");

    const auto answers = [&](const char* report) {
        const std::optional<SettledRequest> settled = follower.Answer(CutServerLineView(report));
        return settled && tally.Settled(*settled);
    };
    EXPECT_FALSE(answers("ARI:on,,carol=,;;"));  // presence, not an answer
    EXPECT_FALSE(answers("ARM:,,carol=,;;"));    // carol waits for an add
    EXPECT_FALSE(answers("ARA:,,someone=,;;"));  // another administrator's
    EXPECT_TRUE(answers("ARA:,,CAROL=,;;"));
    EXPECT_TRUE(answers("ARE_carol:login exists"));
    EXPECT_FALSE(answers("ARE_carol:again"));
    EXPECT_TRUE(answers("ARM:,,bob=,;;"));
    EXPECT_EQ(tally.Pending(), 0u);
    EXPECT_EQ(tally.Added(), 1u);
    EXPECT_EQ(tally.Changed(), 1u);
    // A refused row is named as the file wrote its login.
    EXPECT_EQ(tally.Summary(false),
              "added 1, changed 1, refused 2, skipped 1\n"
              "refused line 3 (Carol): login exists\n"
              "refused line 6 (x): login exists\n"
              "skipped line 5: no login\n");
}

// A row whose wait ran out stays sent without an answer.
TEST(ImportTallyTest, ARowLeftUnansweredIsNotCountedAsDone) {
    ImportTally tally;
    tally.Sent({2, ImportAction::Add, "carol", "", {}}, 7);
    EXPECT_FALSE(tally.Settled({7, "carol", RequestOutcome::Unconfirmed, "no answer in time"}));
    EXPECT_FALSE(tally.Settled({8, "bob", RequestOutcome::Confirmed, ""}));
    EXPECT_EQ(tally.Pending(), 1u);
    EXPECT_EQ(tally.Added(), 0u);
}

}  // namespace

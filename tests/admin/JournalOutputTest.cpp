#include "admin/JournalOutput.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "journal/JournalRecordText.hpp"

namespace {

ParsedArguments Parse(std::vector<std::string> words) {
    return ParseAdminArguments(words);
}

TEST(JournalOutputTest, JournalTakesItsOwnOptionsAndNeedsNoConnection) {
    const ParsedArguments parsed = Parse({"journal", "--since", "7d", "--until=2026-12-01", "--server", "h:1",
                                          "--member", "bo", "--format", "json"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.command.command, AdminCommand::Journal);
    EXPECT_EQ(parsed.command.since, "7d");
    EXPECT_EQ(parsed.command.until, "2026-12-01");
    EXPECT_EQ(parsed.command.server, "h:1");
    EXPECT_EQ(parsed.command.member, "bo");
    EXPECT_EQ(parsed.command.journalFormat, JournalFormat::Json);
    for (const auto& [words, error] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"journal", "--format", "tsv"}, "--format of journal is table, csv or json"},
             {{"journal", "bob"}, "unexpected argument: bob"},
             {{"list", "--since", "1h"}, "unknown option: --since"},
         }) {
        EXPECT_EQ(Parse(words).error, error);
    }
    EXPECT_NE(Parse({"journal", "--help"}).helpText.find("--member TEXT"), std::string::npos);
}

TEST(JournalOutputTest, TimesAreReadAsLocalDatesOrAgesBackFromNow) {
    const JournalTime now = ParseJournalTime("2026-12-11 10:00:00", {}).value();
    using std::chrono::hours;
    using std::chrono::minutes;
    const std::vector<std::pair<std::string, std::optional<JournalTime>>> cases{
        {"2026-12-11", now - hours(10)},
        {"2026-12-11 09:30", now - minutes(30)},
        {"2026-12-11T09:30:15", now - minutes(30) + std::chrono::seconds(15)},
        {"90m", now - minutes(90)},
        {"2h", now - hours(2)},
        {"7d", now - hours(24 * 7)},
        {"30s", now - std::chrono::seconds(30)},
        {"", std::nullopt},
        {"yesterday", std::nullopt},
        {"2026-13-01", std::nullopt},
        {"2026-12-11 9:30", std::nullopt},
        {"2026-12-11 09:30:1", std::nullopt},
        {"-3h", std::nullopt},
        {"3w", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseJournalTime(text, now), expected) << text;
    }
    CommandOptions options;
    options.since = "soon";
    RequestFilter filter;
    std::string error;
    EXPECT_FALSE(JournalFilterOf(options, now, filter, error));
    EXPECT_NE(error.find("--since"), std::string::npos);
}

TEST(JournalOutputTest, EachFormatShowsTheOutcomeAndNeverAPassword) {
    RequestRecord record;
    record.entry.time = ParseJournalTime("2026-12-11 10:00:00", {}).value();
    record.entry.server = {"127.0.0.1", 6671, ""};
    record.entry.administrator = "admin";
    record.entry.command = "edit";
    record.entry.member = "bob";
    record.entry.fields = {{"password", "hunter2"}, {"protocols", "chat,news"}};
    record.outcome.outcome = JournalOutcome::Refused;
    record.outcome.text = "no such login";
    record.outcome.time = record.entry.time + std::chrono::seconds(1);
    const std::vector<RequestRecord> records{record};

    EXPECT_EQ(FormatJournal(records, JournalFormat::Csv),
              "time,server,administrator,command,member,changes,outcome,settled,reason\r\n"
              "2026-12-11 10:00:00,127.0.0.1:6671,admin,edit,bob,\"password changed, protocols=chat,news\","
              "refused: no such login,2026-12-11 10:00:01,\r\n");
    const std::string table = FormatJournal(records, JournalFormat::Table);
    EXPECT_NE(table.find("edit     bob     password changed, protocols=chat,news  refused: no such login"),
              std::string::npos)
        << table;
    const std::string json = FormatJournal(records, JournalFormat::Json);
    EXPECT_NE(json.find("\"outcome\": \"refused: no such login\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"password_changed\": true"), std::string::npos) << json;
    EXPECT_EQ(FormatJournal({}, JournalFormat::Json), "[]\n");
    for (const JournalFormat format : {JournalFormat::Table, JournalFormat::Csv, JournalFormat::Json}) {
        EXPECT_EQ(FormatJournal(records, format).find("hunter2"), std::string::npos);
    }
}

}  // namespace

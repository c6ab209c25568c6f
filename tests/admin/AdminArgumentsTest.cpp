#include "admin/AdminArguments.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ParsedArguments Parse(std::vector<std::string> words) {
    return ParseAdminArguments(words);
}

TEST(AdminArgumentsTest, ConnectionOptionsStandBeforeOrAfterTheCommand) {
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--host", "h", "--port=7", "--login", "me", "--timeout", "3", "list",
                                   "--sort"},
          std::vector<std::string>{"list", "--host=h", "--sort", "--port", "7", "--login=me",
                                   "--timeout=3"}}) {
        const ParsedArguments parsed = Parse(words);
        ASSERT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.command.command, AdminCommand::List);
        EXPECT_TRUE(parsed.command.sorted);
        EXPECT_EQ(parsed.connection.host, "h");
        EXPECT_EQ(parsed.connection.port, 7);
        EXPECT_EQ(parsed.connection.login, "me");
        EXPECT_EQ(parsed.connection.timeoutSeconds, 3);
    }
}

// Before the command it is the administrator's password; after add or edit, the member's.
TEST(AdminArgumentsTest, PasswordFileBelongsToTheCommandThatHasOne) {
    const ParsedArguments parsed =
        Parse({"--password-file", "mine", "edit", "bob", "--password-file", "his"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.connection.passwordFile, "mine");
    EXPECT_EQ(parsed.command.passwordFile, "his");
    EXPECT_EQ(parsed.command.login, "bob");

    const ParsedArguments list = Parse({"list", "--password-file", "mine"});
    ASSERT_EQ(list.error, "");
    EXPECT_EQ(list.connection.passwordFile, "mine");
}

TEST(AdminArgumentsTest, ReadsEachCommandsOwnOptions) {
    const ParsedArguments add =
        Parse({"add", "carol", "--password", "pw", "--protocols", "chat,news", "--bots="});
    ASSERT_EQ(add.error, "");
    EXPECT_EQ(add.command.password, "pw");
    EXPECT_EQ(add.command.protocols, "chat,news");
    EXPECT_EQ(add.command.userBots, "");
    EXPECT_FALSE(Parse({"edit", "bob"}).command.protocols.has_value());

    const ParsedArguments logoff = Parse({"logoff", "--all", "--but-me"});
    ASSERT_EQ(logoff.error, "");
    EXPECT_TRUE(logoff.command.all && logoff.command.butMe);

    const ParsedArguments import = Parse({"import", "rows.csv", "--update", "--dry-run"});
    ASSERT_EQ(import.error, "");
    EXPECT_EQ(import.command.file, "rows.csv");
    EXPECT_TRUE(import.command.update && import.command.dryRun);

    EXPECT_EQ(Parse({"watch", "--format", "jsonl"}).command.watchFormat, WatchFormat::Jsonl);
    EXPECT_EQ(Parse({"list", "--format", "json"}).command.format, OutputFormat::Json);
    EXPECT_EQ(Parse({"show", "--", "--odd-login"}).command.login, "--odd-login");
}

TEST(AdminArgumentsTest, OneLoginAloneIsTheRoadOfOneMemberAndAnythingMoreTheRoadOfMany) {
    struct Case {
        std::vector<std::string> words;
        bool many;
    };
    for (const Case& c : std::vector<Case>{{{"delete", "bob"}, false},
                                           {{"delete", "bob", "--yes"}, false},
                                           {{"edit", "bob", "--bots", "x"}, false},
                                           {{"logoff", "--all"}, false},
                                           {{"import", "f.csv", "--dry-run"}, false},
                                           {{"delete", "bob", "carol"}, true},
                                           {{"delete", "--from", "f.txt"}, true},
                                           {{"expel", "--online"}, true},
                                           {{"logoff", "bob", "--dry-run"}, true},
                                           {{"edit", "bob", "--add-bot", "x"}, true},
                                           {{"reconnect", "--protocol", "chat"}, true}}) {
        const ParsedArguments parsed = Parse(c.words);
        ASSERT_EQ(parsed.error, "") << c.words.front() << " " << c.words.back();
        EXPECT_EQ(parsed.command.ManyMembers(), c.many) << c.words.front() << " " << c.words.back();
    }
    const ParsedArguments edit = Parse({"edit", "a", "b", "--add-protocol", "mail", "--remove-bot", "echo",
                                        "--match", "x", "--offline", "--protocol", "chat", "--yes"});
    EXPECT_EQ(edit.command.logins, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(edit.command.bulkEdit.addProtocol, "mail");
    EXPECT_EQ(edit.command.bulkEdit.removeUserBot, "echo");
    EXPECT_TRUE(edit.command.yes);
    const MemberFilter filter = edit.command.Filter();
    EXPECT_EQ(filter.text, "x");
    EXPECT_EQ(filter.protocol, "chat");
    EXPECT_EQ(filter.presence, MemberFilter::Presence::Offline);
    // list's --online is not a filter of targets.
    EXPECT_TRUE(Parse({"list", "--online"}).command.Filter().Empty());
}

struct BadCase {
    std::vector<std::string> words;
    std::string error;
};

class AdminArgumentsErrorTest : public testing::TestWithParam<BadCase> {};

TEST_P(AdminArgumentsErrorTest, SaysWhatIsWrong) {
    EXPECT_EQ(Parse(GetParam().words).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Usage, AdminArgumentsErrorTest,
    testing::Values(BadCase{{}, "no command given"}, BadCase{{"frobnicate"}, "unknown command: frobnicate"},
                    BadCase{{"list", "--bots", "x"}, "unknown option: --bots"},
                    BadCase{{"watch", "--online"}, "unknown option: --online"},
                    BadCase{{"list", "--format", "xml"}, "--format is table, csv, tsv or json"},
                    BadCase{{"watch", "--format", "csv"}, "--format of watch is text or jsonl"},
                    BadCase{{"--port", "0", "list"}, "--port wants a number from 1 to 65535"},
                    BadCase{{"--port", "12x", "list"}, "--port wants a number from 1 to 65535"},
                    BadCase{{"--timeout", "0", "list"},
                            "--timeout wants a whole number of seconds from 1 to 86400"},
                    BadCase{{"list", "--host"}, "--host needs a value"},
                    BadCase{{"list", "--sort=yes"}, "--sort takes no value"},
                    BadCase{{"show"}, "show wants one LOGIN"},
                    BadCase{{"delete"}, "delete wants LOGIN..., --from FILE or a filter"},
                    BadCase{{"logoff"}, "logoff wants one LOGIN or --all"},
                    BadCase{{"reconnect", "bob", "--all"}, "reconnect wants one LOGIN or --all"},
                    BadCase{{"logoff", "bob", "--but-me"}, "--but-me goes with --all"},
                    BadCase{{"import"}, "import wants one FILE"},
                    BadCase{{"list", "extra"}, "unexpected argument: extra"},
                    BadCase{{"add", "x", "--password", "a", "--password-file", "f"},
                            "give --password or --password-file, not both"}));

// Wherever it stands, and with or without a command, as --help is; help wins over it.
// The reason goes with the destructive commands, on one member or many, and with no other.
TEST(AdminArgumentsTest, AReasonGoesWithTheCommandsThatChangeOrEndSomething) {
    struct Case {
        std::vector<std::string> words;
        std::string error;
    };
    const Case cases[] = {
        {{"delete", "bob", "--reason", "left the team"}, ""},
        {{"delete", "bob", "carol", "--yes", "--reason=left the team"}, ""},
        {{"expel", "--online", "--reason", "left the team"}, ""},
        {{"logoff", "--all", "--reason", "left the team"}, ""},
        {{"reconnect", "bob", "--reason", "left the team"}, ""},
        {{"edit", "bob", "--protocols", "chat", "--reason", "left the team"}, ""},
        {{"edit", "--match", "b", "--remove-bot", "b1", "--reason", "left the team"}, ""},
        {{"add", "bob", "--reason", "x"}, "unknown option: --reason"},
        {{"list", "--reason", "x"}, "unknown option: --reason"},
        {{"import", "rows.csv", "--reason", "x"}, "unknown option: --reason"},
        {{"delete", "bob", "--reason"}, "--reason needs a value"},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = Parse(c.words);
        EXPECT_EQ(parsed.error, c.error) << c.words.front() << " " << c.words.back();
        if (c.error.empty()) {
            EXPECT_EQ(parsed.command.reason, "left the team") << c.words.front();
        }
    }
    EXPECT_FALSE(Parse({"delete", "bob"}).command.reason.has_value());
    EXPECT_NE(Parse({"delete", "--help"}).helpText.find("--reason TEXT"), std::string::npos);
}

TEST(AdminArgumentsTest, VersionNeedsNoCommand) {
    struct Case {
        std::vector<std::string> words;
        bool version;
        bool help;
        std::string error;
    };
    const Case cases[] = {
        {{"--version"}, true, false, ""},
        {{"list", "--version"}, true, false, ""},
        {{"--host", "h", "--version", "watch"}, true, false, ""},
        {{"--version", "--help"}, true, true, ""},
        {{"--version", "--frob"}, true, false, "unknown option: --frob"},
        {{"--version=1"}, false, false, "--version takes no value"},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = Parse(c.words);
        EXPECT_EQ(parsed.version, c.version) << c.words.front();
        EXPECT_EQ(parsed.help, c.help) << c.words.front();
        EXPECT_EQ(parsed.error, c.error) << c.words.front();
    }
    EXPECT_TRUE(ProgramVersion().starts_with("krvadmin ")) << ProgramVersion();
    EXPECT_TRUE(ProgramVersion().ends_with("\n")) << ProgramVersion();
}

TEST(AdminArgumentsTest, HelpNamesTheCommandAndTheExitStatuses) {
    const ParsedArguments program = Parse({"--help"});
    EXPECT_TRUE(program.help);
    EXPECT_NE(program.helpText.find("import FILE.csv"), std::string::npos);
    EXPECT_NE(program.helpText.find("  4   no answer"), std::string::npos);

    const ParsedArguments command = Parse({"edit", "-h"});
    EXPECT_TRUE(command.help);
    EXPECT_NE(command.helpText.find("Usage: krvadmin [connection options] edit LOGIN"), std::string::npos);
    EXPECT_NE(command.helpText.find("--bots LIST"), std::string::npos);
    EXPECT_NE(command.helpText.find("Exit status:"), std::string::npos);
    EXPECT_EQ(command.helpText.find("--update"), std::string::npos);
}

}  // namespace

#include "admin/MemberOutput.hpp"

#include <gtest/gtest.h>

#include <string>

#include "util/Csv.hpp"

namespace {

TkvCLDataCollection SampleMembers() {
    TkvCLDataCollection members;
    members.AddOrUpdate("zed", "", "", "chat", "pw", "", false);
    members.AddOrUpdate("Bob", "10.0.0.1:5", "1", "chat,news", "pw", "echo,dice", true);
    members.AddOrUpdate("al\x1b[2Jx", "", "", "", "", "", false);
    return members;
}

std::vector<std::string> Logins(const std::vector<const TkvCLData*>& members) {
    std::vector<std::string> logins;
    for (const TkvCLData* member : members) {
        logins.emplace_back(member->Login());
    }
    return logins;
}

TEST(MemberOutputTest, SelectsInTheServersOrderOrSortedWithoutLetterCase) {
    const TkvCLDataCollection members = SampleMembers();
    EXPECT_EQ(Logins(SelectMembers(members, false, false)),
              (std::vector<std::string>{"zed", "Bob", "al\x1b[2Jx"}));
    EXPECT_EQ(Logins(SelectMembers(members, false, true)),
              (std::vector<std::string>{"al\x1b[2Jx", "Bob", "zed"}));
    EXPECT_EQ(Logins(SelectMembers(members, true, false)), (std::vector<std::string>{"Bob"}));
}

TEST(MemberOutputTest, CsvQuotesListsAndReadsBackAsTheSameFields) {
    const TkvCLDataCollection members = SampleMembers();
    const std::string csv = FormatMembers(SelectMembers(members, false, false), OutputFormat::Csv);
    EXPECT_EQ(csv,
              "login,online,protocols,user_bots\r\n"
              "zed,no,chat,\r\n"
              "Bob,yes,\"chat,news\",\"echo,dice\"\r\n"
              "al\x1b[2Jx,no,,\r\n");
}

TEST(MemberOutputTest, TsvAndTableKeepEveryMemberOnOneLine) {
    TkvCLDataCollection members;
    members.AddOrUpdate("a\tb", "", "", "x", "", "", false);
    EXPECT_EQ(FormatMembers(SelectMembers(members, false, false), OutputFormat::Tsv),
              "login\tonline\tprotocols\tuser_bots\na\\tb\tno\tx\t\n");
    // The table is for a terminal: the server's bytes never reach it as control sequences.
    const std::string table =
        FormatMembers(SelectMembers(SampleMembers(), false, false), OutputFormat::Table);
    EXPECT_EQ(table.find('\x1b'), std::string::npos);
    EXPECT_NE(table.find("al\\x1b[2Jx"), std::string::npos);
    EXPECT_EQ(table.substr(0, table.find('\n')), "LOGIN       ONLINE  PROTOCOLS  USER BOTS");
}

TEST(MemberOutputTest, JsonCarriesPresenceAndListsAsArrays) {
    const TkvCLDataCollection members = SampleMembers();
    std::string out;
    AppendMemberJson(out, *members.Items(1));
    EXPECT_EQ(out,
              "{\"login\":\"Bob\",\"online\":true,\"presence1\":\"10.0.0.1:5\",\"presence2\":\"1\","
              "\"protocols\":[\"chat\",\"news\"],\"user_bots\":[\"echo\",\"dice\"]}");
}

}  // namespace

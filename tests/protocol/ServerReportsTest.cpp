#include "protocol/ServerReports.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/ServerLine.hpp"

namespace {

struct ReportCase {
    const char* name;
    std::vector<std::string> lines;  // after a list of alice and bob (online)
    RowsEffect lastEffect;
    std::vector<std::string> members;  // logins in the list's order afterwards
    int onlineMembers;
};

std::vector<std::string> Logins(const TkvCLDataCollection& members) {
    std::vector<std::string> logins;
    for (int32_t position = 0; position < members.Count(); ++position) {
        logins.emplace_back(members.Items(position)->Login());
    }
    return logins;
}

int OnlineCount(const TkvCLDataCollection& members) {
    int online = 0;
    for (int32_t position = 0; position < members.Count(); ++position) {
        online += members.Items(position)->Online() ? 1 : 0;
    }
    return online;
}

class ServerReportsTable : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ServerReportsTable, ChangesTheListAndSaysWhatTheRowsMustDo) {
    const ReportCase& c = GetParam();
    TkvCLDataCollection members;
    ServerReports reports(members);
    for (const char* listed : {"ARLS", "ARLM:,,alice=pw,chat;;", "ARLM:on,,bob=,;b1;"}) {
        EXPECT_EQ(reports.ApplyReport(listed), RowsEffect{});
    }
    RowsEffect effect;
    for (const std::string& line : c.lines) {
        effect = reports.ApplyReport(line);
    }
    EXPECT_EQ(effect.change, c.lastEffect.change);
    EXPECT_EQ(effect.login, c.lastEffect.login);
    EXPECT_EQ(Logins(members), c.members);
    EXPECT_EQ(OnlineCount(members), c.onlineMembers);
}

const RowsEffect kNone{};
const RowsEffect kRebuild{RowsChange::RebuildAll, {}};

// A named table rather than temporaries in Values(): g++ 12 at -O3 takes the copies of those
// temporaries for uninitialised strings.
const ReportCase kReportCases[] = {
    ReportCase{"ListEndRebuilds", {"ARLC"}, kRebuild, {"alice", "bob"}, 1},
    ReportCase{"ListMemberWaitsForTheEnd", {"ARLM:,,carol=,;;"}, kNone, {"alice", "bob", "carol"}, 1},
    ReportCase{"AddedAccountRebuildsEvenWhenKnown", {"ARA:,,alice=,x;;"}, kRebuild, {"alice", "bob"}, 1},
    ReportCase{"AddedAccountIsAppended", {"ARA:,,carol=,;;"}, kRebuild, {"alice", "bob", "carol"}, 1},
    ReportCase{"ChangeOfAKnownLoginRewritesItsRow",
               {"ARM:on,,ALICE=,;;"},
               {RowsChange::RewriteOne, "ALICE"},
               {"ALICE", "bob"},
               2},
    ReportCase{
        "LoggedInRewrites", {"ARI:x,,alice=,;;"}, {RowsChange::RewriteOne, "alice"}, {"alice", "bob"}, 2},
    ReportCase{"LoggedOutRewrites", {"ARO:,,bob=,;;"}, {RowsChange::RewriteOne, "bob"}, {"alice", "bob"}, 0},
    ReportCase{"QueryRewrites", {"ARQ:,,bob=,;;"}, {RowsChange::RewriteOne, "bob"}, {"alice", "bob"}, 0},
    ReportCase{"ChangeOfAnUnknownLoginRebuilds", {"ARM:on,,dave=,;;"}, kRebuild, {"alice", "bob", "dave"}, 2},
    ReportCase{"DeleteMatchesTheSubject", {"ARD_BOB:alice"}, kRebuild, {"alice"}, 0},
    ReportCase{"DeleteOfABlankSubjectRemovesNothing", {"ARD_ bob:"}, kRebuild, {"alice", "bob"}, 1},
    ReportCase{"DeleteOfAnUnknownLoginStillRebuilds", {"ARD_dave"}, kRebuild, {"alice", "bob"}, 1},
    ReportCase{"HeadIsTrimmed", {" ARD_bob :"}, kRebuild, {"alice"}, 0},
    ReportCase{"LowerCaseCodeIsNoReport", {"arm:on,,alice=,;;"}, kNone, {"alice", "bob"}, 1},
    ReportCase{"UnknownCode", {"ARX:,,zed=,;;"}, kNone, {"alice", "bob"}, 1},
    ReportCase{"EmptyCode", {":ARA:,,zed=,;;"}, kNone, {"alice", "bob"}, 1},
    ReportCase{"RefusalIsIgnored", {"ARE_zed:login exists"}, kNone, {"alice", "bob"}, 1},
    ReportCase{"AcknowledgementIsIgnored", {"ARK_alice:"}, kNone, {"alice", "bob"}, 1},
    ReportCase{"ListStartIsIgnored", {"ARLS:,,zed=,;;"}, kNone, {"alice", "bob"}, 1},
    ReportCase{"CodeWithSubjectIsAnotherCode", {"ARAX_zed:,,zed=,;;"}, kNone, {"alice", "bob"}, 1},
    ReportCase{"ConnectionControlLeavesTheList", {"SRE:5,6671,0", "SRC"}, kNone, {"alice", "bob"}, 1},
};

INSTANTIATE_TEST_SUITE_P(Reports, ServerReportsTable, ::testing::ValuesIn(kReportCases),
                         [](const ::testing::TestParamInfo<ReportCase>& info) {
                             return std::string(info.param.name);
                         });

// Keys for the rows are made ahead only while a list arrives, not for every report after it.
TEST(ServerReports, AListArrivesFromItsFirstMemberUntilTheRowsAreRebuilt) {
    TkvCLDataCollection members;
    ServerReports reports(members);
    const std::pair<const char*, bool> steps[] = {
        {"ARLS", false},          {"ARLM:,,alice=,;;", true}, {"ARI:on,,alice=,;;", true}, {"ARLC", false},
        {"ARA:,,bob=,;;", false}, {"ARM:,,carol=,;;", false}, {"ARLM:,,dave=,;;", true},
    };
    for (const auto& [line, arriving] : steps) {
        reports.ApplyReport(line);
        EXPECT_EQ(reports.ListArriving(), arriving) << line;
    }
    reports.RowsRebuilt();
    EXPECT_FALSE(reports.ListArriving());
}

struct ControlCase {
    const char* line;
    ConnectionEffect effect;
};

class ConnectionControlTable : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ConnectionControlTable, ReadsTheOrderAndItsArguments) {
    EXPECT_EQ(ServerReports::ConnectionControlOf(GetParam().line), GetParam().effect);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConnectionControlTable,
    ::testing::Values(ControlCase{"SRC", {ConnectionOrder::Close, {}}},
                      ControlCase{"SRC_x:anything", {ConnectionOrder::Close, {}}},
                      ControlCase{"SRE:5 , 6671 , 0", {ConnectionOrder::Reconnect, {5, 6671, "", "", ""}}},
                      ControlCase{"SRE:1,6672,other.host",
                                  {ConnectionOrder::Reconnect, {1, 6672, "other.host", "", ""}}},
                      ControlCase{"SRE:0,0,,bob,", {ConnectionOrder::Reconnect, {0, 0, "", "bob", ""}}},
                      ControlCase{"SRE: x , -3 , , bob , pw , extra",
                                  {ConnectionOrder::Reconnect, {0, -3, "", "bob", "pw"}}},
                      ControlCase{"SRE", {ConnectionOrder::Reconnect, {}}},
                      ControlCase{"SRE_x:1,6672", {ConnectionOrder::Reconnect, {1, 6672, "", "", ""}}},
                      ControlCase{"sre:1,2,h", {}}, ControlCase{"SREX:1,2,h", {}},
                      ControlCase{"ARLM:,,SRE=,;;", {}}, ControlCase{" \tSRC", {ConnectionOrder::Close, {}}},
                      ControlCase{"\x01SRE:1,2,h", {ConnectionOrder::Reconnect, {1, 2, "h", "", ""}}},
                      ControlCase{"xSRC", {}}, ControlCase{"", {}}, ControlCase{"  ", {}}));

TEST(ServerLine, OnlyTheFirstColonSeparatesAndOnlyTheHeadIsTrimmed) {
    const ServerLine line = CutServerLine("  ARE_ bob : no such login: really ");
    EXPECT_EQ(line.code, "ARE");
    EXPECT_EQ(line.subject, " bob");
    EXPECT_EQ(line.payload, " no such login: really ");
    const ServerLine bare = CutServerLine("ARLC");
    EXPECT_EQ(bare.code, "ARLC");
    EXPECT_EQ(bare.subject, "");
    EXPECT_EQ(bare.payload, "");
}

TEST(ServerLine, TheViewCutGivesThePiecesOfTheCopyingCut) {
    struct Case {
        std::string line;
        std::string code;
        std::string subject;
        std::string payload;
    };
    const Case cases[] = {
        {"", "", "", ""},
        {":", "", "", ""},
        {"_:", "", "", ""},
        {"ARLM:,,bob=pw,chat;;", "ARLM", "", ",,bob=pw,chat;;"},
        {"ARD_bob", "ARD", "bob", ""},
        {"ARD_bob_x:", "ARD", "bob_x", ""},
        {"AR_:a:b", "AR", "", "a:b"},
        {"\t ARE _ x :y", "ARE ", " x", "y"},
        {"ARLC:", "ARLC", "", ""},
        {":_only payload_", "", "", "_only payload_"},
        {std::string("A\0B_c:d\0", 8), std::string("A\0B", 3), "c", std::string("d\0", 2)},
    };
    for (const Case& c : cases) {
        const ServerLineView view = CutServerLineView(c.line);
        EXPECT_EQ(view.code, c.code) << '"' << c.line << '"';
        EXPECT_EQ(view.subject, c.subject) << '"' << c.line << '"';
        EXPECT_EQ(view.payload, c.payload) << '"' << c.line << '"';
        const ServerLine copy = CutServerLine(c.line);
        EXPECT_EQ(copy.code, view.code);
        EXPECT_EQ(copy.subject, view.subject);
        EXPECT_EQ(copy.payload, view.payload);
    }
}

TEST(ServerLine, JoinedLinesCutBackIntoTheirParts) {
    EXPECT_EQ(JoinedLine("ARD", "bob", ""), "ARD_bob:");
    EXPECT_EQ(JoinedLine("ARA", ",,bob=,;;"), "ARA:,,bob=,;;");
    const ServerLine cut = CutServerLine(JoinedLine("ARE", "bob", "no: such login"));
    EXPECT_EQ(cut.code, "ARE");
    EXPECT_EQ(cut.subject, "bob");
    EXPECT_EQ(cut.payload, "no: such login");
}

}  // namespace

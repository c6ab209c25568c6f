#include "session/MemberReport.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(MemberReport, EachReportSaysWhatHappenedToWhom) {
    const struct {
        const char* line;
        std::optional<MemberEvent> event;
        const char* login;
    } cases[] = {
        {"ARA:,,dave=pw,chat;;", MemberEvent::Added, "dave"},
        {"ARM:on,,bob=,chat;;", MemberEvent::Changed, "bob"},
        {"ARQ:on,,bob=,chat;;", MemberEvent::Changed, "bob"},
        {"ARI:on,,bob=,chat;;", MemberEvent::LoggedIn, "bob"},
        {"ARO:,,bob=,chat;;", MemberEvent::LoggedOut, "bob"},
        {"ARD_bob", MemberEvent::Deleted, "bob"},
        {"ARE_bob:no such account", MemberEvent::Refused, "bob"},
        {"ARLC", MemberEvent::ListComplete, ""},
        {"ARLM:,,bob=,chat;;", std::nullopt, ""},
        {"ARK", std::nullopt, ""},
        {"SRC", std::nullopt, ""},
        {"ari:,,bob=,;;", std::nullopt, ""},  // codes are compared exactly
    };
    for (const auto& c : cases) {
        const std::optional<MemberReport> report = MemberReportOf(CutServerLineView(c.line));
        ASSERT_EQ(report.has_value(), c.event.has_value()) << c.line;
        if (report) {
            EXPECT_EQ(report->event, *c.event) << c.line;
            EXPECT_EQ(report->login, c.login) << c.line;
        }
    }
}

}  // namespace

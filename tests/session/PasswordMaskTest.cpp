#include "session/PasswordMask.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct MaskCase {
    const char* line;
    std::optional<std::string> masked;
};

TEST(PasswordMask, AReportShowsNoMembersPassword) {
    const std::vector<MaskCase> cases = {
        {"ARLM:on,,Ember57=c0auq412,chat;;", "ARLM:on,,Ember57=********,chat;;"},
        {"ARI:on,,a=b=c,chat;bot;", "ARI:on,,a=********,chat;bot;"},
        {"ARM:,,bob=,chat;;", std::nullopt},  // no password to hide
        {"ARQ:,,bob=pw", "ARQ:,,bob=********"},
        {"ARD_bob", std::nullopt},
        {"ARE_bob:pw is wrong", std::nullopt},  // a reason, not a member text
        {"SRE:5,6671,10.0.0.2,guest,s3cret", "SRE:5,6671,10.0.0.2,guest,********"},
        {"SRE:5,6671,10.0.0.2", std::nullopt},
        {"send password:", std::nullopt},
        {"", std::nullopt},
    };
    for (const MaskCase& c : cases) {
        EXPECT_EQ(MaskedReport(c.line), c.masked) << c.line;
    }
}

TEST(PasswordMask, AnAddOrEditRequestShowsNoPassword) {
    const std::vector<MaskCase> cases = {
        {"ADA_newbie:pw4new,chat;b1", "ADA_newbie:********,chat;b1"},
        {"ADE_Ember57:pw5edit,chat;", "ADE_Ember57:********,chat;"},
        {"ADE_bob:,chat;", std::nullopt},
        {"ADD_bob:", std::nullopt},
        {"ACR_bob:5 , 6671 , host", std::nullopt},
        {"admin", std::nullopt},
    };
    for (const MaskCase& c : cases) {
        EXPECT_EQ(MaskedRequest(c.line), c.masked) << c.line;
    }
}

}  // namespace

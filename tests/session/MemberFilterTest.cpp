#include "session/MemberFilter.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

TkvCLData Member(const char* login, const char* protocols, const char* userBots, bool online) {
    TkvCLData member;
    member.Assign(login, "", "", protocols, "pw", userBots, online);
    return member;
}

TEST(MemberFilter, EachPartNarrowsAndAnEmptyFilterLetsEveryoneThrough) {
    const TkvCLData bob = Member("Bob7", "chat, Mail", "echo,dice", true);
    const TkvCLData carol = Member("carol", "news", "", false);
    using P = MemberFilter::Presence;
    struct Case {
        MemberFilter filter;
        bool bob;
        bool carol;
    };
    const std::vector<Case> cases = {
        {{}, true, true},
        {{"bob", P::Any, ""}, true, false},
        {{"OB7", P::Any, ""}, true, false},
        {{"mail", P::Any, ""}, true, false},
        {{"DIC", P::Any, ""}, true, false},
        {{"o", P::Any, ""}, true, true},
        {{"pw", P::Any, ""}, false, false},  // the password is never searched
        {{"", P::Online, ""}, true, false},
        {{"", P::Offline, ""}, false, true},
        {{"", P::Any, "MAIL"}, true, false},
        {{"", P::Any, "mai"}, false, false},  // a protocol is named whole
        {{"car", P::Online, ""}, false, false},
        {{"", P::Offline, "news"}, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.filter.Matches(bob), c.bob) << c.filter.text << "/" << c.filter.protocol;
        EXPECT_EQ(c.filter.Matches(carol), c.carol) << c.filter.text << "/" << c.filter.protocol;
    }
    EXPECT_TRUE(MemberFilter{}.Empty());
    EXPECT_FALSE((MemberFilter{"", P::Offline, ""}.Empty()));
}

}  // namespace

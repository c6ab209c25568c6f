#include "members/MemberText.hpp"

#include <gtest/gtest.h>

namespace {

struct MemberTextCase {
    std::string text;
    TkvMemberText expected;
};

TEST(ParseMemberText, CutsFieldsAtTheirSeparatorsAndShiftsWhenOneIsMissing) {
    const MemberTextCase cases[] = {
        {",,bob=,administrator,chat;bot1, bot2;",
         {"bob", "", "", "administrator,chat", "", "bot1, bot2", false}},
        {"x,y,bob=", {"bob", "x", "y", "", "", "", true}},
        {",,bob=", {"bob", "", "", "", "", "", false}},
        {",,bob", {"bob", "", "", "", "", "", false}},
        {"x,,bob=pw", {"bob", "x", "", "", "pw", "", true}},
        {",y,bob=pw", {"bob", "", "y", "", "pw", "", true}},
        {"", {"", "", "", "", "", "", false}},
        {"bob", {"", "bob", "", "", "", "", true}},
        {",,=pw,chat;b;", {"", "", "", "chat", "pw", "b", false}},
        // Blanks around fields and separators do not count.
        {"  p1 , p2 ,  bob = pw , a b ; c , d ; ", {"bob", "p1", "p2", "a b", "pw", "c , d", true}},
        // No quoting: a separator inside a field ends it early and shifts the rest.
        {",,bob=p,w,chat;bots;", {"bob", "", "", "w,chat", "p", "bots", false}},
        {",,a,b=pw,chat;bots;", {"a,b", "", "", "chat", "pw", "bots", false}},
        {",,a=b=pw,chat;", {"a", "", "", "chat", "b=pw", "", false}},
        // Everything after the user bots' ";" is dropped.
        {",,bob=pw,chat;b1;ignored;more", {"bob", "", "", "chat", "pw", "b1", false}},
        {",,bob=pw,chat", {"bob", "", "", "chat", "pw", "", false}},
    };
    for (const auto& c : cases) {
        TkvMemberText parsed = ParseMemberText(c.text);
        SCOPED_TRACE("text \"" + c.text + "\"");
        EXPECT_EQ(parsed.Login, c.expected.Login);
        EXPECT_EQ(parsed.Presence1, c.expected.Presence1);
        EXPECT_EQ(parsed.Presence2, c.expected.Presence2);
        EXPECT_EQ(parsed.ProtocolsText, c.expected.ProtocolsText);
        EXPECT_EQ(parsed.Password, c.expected.Password);
        EXPECT_EQ(parsed.UserBotsText, c.expected.UserBotsText);
        EXPECT_EQ(parsed.Online, c.expected.Online);
    }
}

}  // namespace

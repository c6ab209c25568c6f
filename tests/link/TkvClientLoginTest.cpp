#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LinkHarness.hpp"

namespace {

using enum LinkEventKind;
using enum LineState;

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

struct DialogueCase {
    const char* label;
    std::vector<std::string> serverLines;
    std::vector<std::string> answers;
    TextList protocols;
    bool loggedIn;
};

TEST(TkvClientLogin, AnswersPromptsRecordsProtocolsAndEndsAtTheSmiley) {
    const DialogueCase cases[] = {
        {"both prompts", {"send login:", "send password:"}, {"admin", "secret"}, {}, false},
        {"prompts in any order, every time",
         {"send password:", "send login:", "send login:"},
         {"secret", "admin", "admin"},
         {},
         false},
        {"protocols and smiley in one line",
         {"protocols: administrator, chat :)"},
         {},
         {"administrator", "chat"},
         true},
        {"protocols separated by a blank",
         {"protocols:administrator chat"},
         {},
         {"administrator", "chat"},
         false},
        {"empty item between commas", {"protocols: a,,b"}, {}, {"a", "", "b"}, false},
        {"no protocols named", {"protocols:"}, {}, {}, false},
        {"a second list replaces the first", {"protocols: a", "protocols: b c", ":)"}, {}, {"b", "c"}, true},
        {"a list after the login changes nothing", {"protocols: a :)", "protocols: b"}, {}, {"a"}, true},
        {"smiley without any list", {"Welcome :)"}, {}, {}, true},
        {"prompts in another case or with blanks",
         {"Send login:", "send login: ", " send login:", "send  password:", "SEND PASSWORD:"},
         {},
         {},
         false},
        {"a prompt with more text is no prompt", {"send login: :)"}, {}, {}, true},
        {"prompts after the login", {":)", "send login:", "send password:", ":)"}, {}, {}, true},
        {"other lines", {"hello", "protocols", ":(", ") :"}, {}, {}, false},
    };
    for (const auto& c : cases) {
        LinkHarness h;
        h.ConnectAndAccept();
        for (const auto& line : c.serverLines) {
            h.socket->Deliver(line + "\r\n");
        }
        EXPECT_THAT(h.socket->SentLines(), ElementsAreArray(c.answers)) << c.label;
        EXPECT_THAT(h.link->ServerProtocols(), ElementsAreArray(c.protocols)) << c.label;
        EXPECT_EQ(h.link->LoggedIn(), c.loggedIn) << c.label;
    }
}

TEST(TkvClientLogin, LinesAfterTheLoginOnlyReachTheOwner) {
    LinkHarness h;
    h.LogIn();
    h.socket->Deliver("send login:\r\n:)\r\n");

    EXPECT_THAT(h.Tick(),
                ElementsAreArray<LinkEvent>({{Read, LoggedIn, "send login:"}, {Read, LoggedIn, ":)"}}));
    EXPECT_EQ(h.socket->SentLines().size(), 2u) << "only the two answers of the handshake";
}

TEST(TkvClientLogin, EmptyCredentialsGoOutAsLoneCarriageReturns) {
    LinkHarness h;
    h.link->SetLogin("");
    h.link->SetPassword("");
    h.ConnectAndAccept();
    h.socket->Deliver("send login:\r\nsend password:\r\n");
    EXPECT_EQ(h.socket->Written(), "\r\r");
}

TEST(TkvClientLogin, LoginMarksEventsAndArmsReconnection) {
    LinkHarness h;
    h.ConnectAndAccept();
    ASSERT_FALSE(h.link->Reconnect().Armed());
    h.socket->Deliver("protocols: administrator\r\nwelcome :)\r\nARLC\r\n");

    EXPECT_TRUE(h.link->Reconnect().Armed());
    const auto events = h.Tick();
    ASSERT_GE(events.size(), 4u);
    EXPECT_THAT(std::vector<LinkEvent>(events.end() - 4, events.end()),
                ElementsAreArray<LinkEvent>({{Read, LoggedOut, "protocols: administrator"},
                                             {Read, LoggedOut, "welcome :)"},
                                             {Login, LoggedIn, ""},
                                             {Read, LoggedIn, "ARLC"}}));
}

struct GrantCase {
    std::string granted;
    std::string asked;
    bool expected;
};

TEST(TkvClientLogin, GrantedProtocolsAreMatchedWithoutLetterCase) {
    const GrantCase cases[] = {
        {"Administrator", "administrator", true},
        {"chat", "chat, administrator", true},
        {"administrator", "chat administrator", true},
        {"chat", "administrator", false},
        {"", "administrator", false},
        {"administrator", "", false},
        {"administratorx", "administrator", false},
    };
    for (const auto& c : cases) {
        LinkHarness h;
        h.ConnectAndAccept();
        h.socket->Deliver("protocols: " + c.granted + "\r\n");
        EXPECT_EQ(h.link->HasGrantedProtocol(c.asked), c.expected) << c.granted << " / " << c.asked;
    }
}

TEST(TkvClientLogin, ClosingTheConnectionForgetsTheProtocols) {
    LinkHarness h;
    h.LogIn();
    ASSERT_THAT(h.link->ServerProtocols(), ElementsAre("administrator"));
    h.socket->PeerCloses();
    EXPECT_THAT(h.link->ServerProtocols(), IsEmpty());
    EXPECT_FALSE(h.link->HasGrantedProtocol("administrator"));
}

}  // namespace

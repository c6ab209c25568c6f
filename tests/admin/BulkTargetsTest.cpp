#include "admin/BulkTargets.hpp"

#include <gtest/gtest.h>

namespace {

TEST(BulkTargets, AFileIsAListingWhenItsFirstLineIsTheListingsHeaderAndOtherwiseALoginALine) {
    struct Case {
        std::string text;
        std::vector<std::string> logins;
    };
    const std::vector<Case> cases = {
        {"login,online,protocols,user_bots\r\nbob,yes,\"chat,mail\",\r\n\"a,b\",no,,\r\n", {"bob", "a,b"}},
        {"login,online,protocols,user_bots\n carol ,no,chat,x\n", {"carol"}},
        {"bob\r\n  carol  \n\n\"quoted\"\nlast", {"bob", "carol", "\"quoted\"", "last"}},
        // Any other header is a login like the rest: only the listing's is read as CSV.
        {"login,password\nbob,pw\n", {"login,password", "bob,pw"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> logins;
        std::string error;
        EXPECT_TRUE(ReadTargetFile(c.text, logins, error)) << c.text;
        EXPECT_EQ(logins, c.logins) << c.text;
    }
    std::vector<std::string> logins;
    std::string error;
    EXPECT_FALSE(ReadTargetFile("login,online,protocols,user_bots\nbo\"b,yes,,\n", logins, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(BulkTargets, TheFilterNarrowsTheNamedOrChoosesAmongEveryMember) {
    TkvCLDataCollection members;
    members.AddOrUpdate("admin", "", "", "administrator", "pw", "", true);
    members.AddOrUpdate("bob", "", "", "chat", "pw", "", true);
    members.AddOrUpdate("carol", "", "", "mail", "pw", "", false);
    members.AddOrUpdate("dave", "", "", "chat", "pw", "", false);
    MemberFilter chat;
    chat.protocol = "chat";
    MemberFilter offline;
    offline.presence = MemberFilter::Presence::Offline;
    using Named = std::optional<std::vector<std::string>>;
    EXPECT_EQ(SelectTargets(members, std::nullopt, chat), (std::vector<std::string>{"bob", "dave"}));
    EXPECT_EQ(SelectTargets(members, std::nullopt, offline), (std::vector<std::string>{"carol", "dave"}));
    EXPECT_EQ(SelectTargets(members, std::nullopt, {}),
              (std::vector<std::string>{"admin", "bob", "carol", "dave"}));
    // Named logins keep their order; a login not listed stays, for the plan to say so.
    EXPECT_EQ(SelectTargets(members, Named({"dave", "ghost", "carol", "bob"}), chat),
              (std::vector<std::string>{"dave", "ghost", "bob"}));
    EXPECT_TRUE(SelectTargets(members, Named(std::vector<std::string>{}), {}).empty());
}

}  // namespace

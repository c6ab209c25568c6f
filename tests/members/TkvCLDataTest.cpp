#include "members/TkvCLData.hpp"

#include <gtest/gtest.h>

namespace {

struct ListTextCase {
    std::string text;
    TextList items;
    std::string written;
};

TEST(TkvCLData, ProtocolsTextIsCommaListText) {
    const ListTextCase cases[] = {
        {"", {}, ""},
        {"administrator chat", {"administrator", "chat"}, "administrator,chat"},
        {" administrator , chat ", {"administrator", "chat"}, "administrator,chat"},
        {"\"my proto\",x", {"my proto", "x"}, "\"my proto\",x"},
        {",", {""}, "\"\""},
        {"a,,b", {"a", "", "b"}, "a,,b"},
        {"chat,chat", {"chat", "chat"}, "chat,chat"},
    };
    for (const auto& c : cases) {
        TkvCLData record;
        record.SetProtocolsText(c.text);
        EXPECT_EQ(record.Protocols(), c.items) << '"' << c.text << '"';
        EXPECT_EQ(record.GetProtocolsText(), c.written) << '"' << c.text << '"';
        // Appending keeps what the buffer held, and an empty buffer is no sign of an empty list.
        std::string appended = "x,";
        record.AppendProtocolsText(appended);
        EXPECT_EQ(appended, "x," + c.written) << '"' << c.text << '"';
        TkvCLData reread;
        reread.SetProtocolsText(record.GetProtocolsText());
        EXPECT_EQ(reread.Protocols(), c.items) << '"' << c.text << '"';
    }
}

TEST(TkvCLData, UserBotsTextIsCommaSeparatedText) {
    const ListTextCase cases[] = {
        {"", {}, ""},
        {" \t ", {}, ""},
        {",,,", {}, ""},
        {" bot1 ,, bot2 , ", {"bot1", "bot2"}, "bot1,bot2"},
        {"bot1 , ,bot2,", {"bot1", "bot2"}, "bot1,bot2"},
        {"my bot", {"my bot"}, "my bot"},
        {"\"q\",b", {"\"q\"", "b"}, "\"q\",b"},
        {"b,b", {"b", "b"}, "b,b"},
        {std::string("\0a\r\n,b", 6), {"a", "b"}, "a,b"},
    };
    for (const auto& c : cases) {
        TkvCLData record;
        record.SetUserBotsText(c.text);
        EXPECT_EQ(record.UserBots(), c.items) << '"' << c.text << '"';
        EXPECT_EQ(record.GetUserBotsText(), c.written) << '"' << c.text << '"';
        std::string appended = "x,";
        record.AppendUserBotsText(appended);
        EXPECT_EQ(appended, "x," + c.written) << '"' << c.text << '"';
        EXPECT_EQ(ReadUserBotsText(WriteUserBotsText(c.items)), c.items) << '"' << c.text << '"';
    }
}

// Bare lists are stored by a shortcut of their own; whatever the text, a stored list reads back
// as the general readers read the text, whether stored by itself or with the whole member.
TEST(TkvCLData, StoredListsReadAsTheirTextReads) {
    const std::string texts[] = {
        "",
        ",",
        ",,",
        "a",
        "a,",
        ",a",
        "a,,b",
        "chat,admin,files",
        "\xc3\xa4,\xc3\xb6\xc3\xbc",
        "a\"b,c",
        "\"a,b\",c",
        "a b,c",
        "a,b ",
        "a,\tb",
        std::string("a,b\0c,d", 7),
        std::string(200, 'p') + "," + std::string(130, 'q'),
    };
    for (const std::string& text : texts) {
        TkvCLData set;
        set.SetProtocolsText(text);
        set.SetUserBotsText(text);
        TkvCLData assigned;
        assigned.Assign("login", "", "", text, "password", text, false);
        for (const TkvCLData* record : {&set, &assigned}) {
            EXPECT_EQ(record->Protocols(), ReadCommaList(text)) << '"' << text << '"';
            EXPECT_EQ(record->UserBots(), ReadUserBotsText(text)) << '"' << text << '"';
        }
        EXPECT_EQ(assigned.Login(), "login");
        EXPECT_EQ(assigned.PasswordView(), "password");
    }
}

TEST(TkvCLData, SettingListTextReplacesThePreviousList) {
    TkvCLData record;
    record.SetProtocolsText("a b");
    record.SetUserBotsText("x,y");
    record.SetProtocolsText("c");
    record.SetUserBotsText("");
    EXPECT_EQ(record.Protocols(), TextList{"c"});
    EXPECT_TRUE(record.UserBots().empty());
}

struct HasProtocolCase {
    std::string protocolsText;
    std::string name;
    bool expected;
};

TEST(TkvCLData, HasProtocolComparesWholeItemsWithAsciiLettersFolded) {
    const HasProtocolCase cases[] = {
        {"Administrator", "administrator", true},
        {"chat ADMINISTRATOR", "administrator", true},
        {"", "administrator", false},
        {"", "", false},
        {",", "", true},
        {"administrators", "administrator", false},
        {"admin", "administrator", false},
        {"administrator", " administrator", false},
        {"\xc9t\xe9", "\xe9t\xe9", false},  // only ASCII letters fold
        {"\xc9t\xe9", "\xc9T\xe9", true},
    };
    for (const auto& c : cases) {
        TkvCLData record;
        record.SetProtocolsText(c.protocolsText);
        EXPECT_EQ(record.HasProtocol(c.name), c.expected)
            << '"' << c.protocolsText << "\" / \"" << c.name << '"';
    }
}

}  // namespace

#include "util/untCalc1.hpp"

#include <gtest/gtest.h>

namespace {

struct TrimCase {
    std::string text;
    std::string expected;
};

TEST(Trim, RemovesControlsAndBlanksAtBothEndsOnly) {
    const TrimCase cases[] = {
        {"", ""},
        {" \t\r\n", ""},
        {std::string("\0 a b \x1f", 7), "a b"},
        {"\x7f"
         "a",
         "\x7f"
         "a"},  // DEL is above 32 and stays
        {"\xa0x\xa0", "\xa0x\xa0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Trim(c.text), c.expected) << '"' << c.text << '"';
    }
}

struct IntCase {
    std::string text;
    int32_t expected;
};

TEST(StrToIntDef, ReadsDecimalAndHexForms) {
    const IntCase cases[] = {
        {"", -1},
        {" 42", 42},
        {"42 ", -1},
        {"\t42", -1},
        {"0x1F", 31},
        {"$1f", 31},
        {"x1F", 31},
        {"X1f", 31},
        {"0X50", 80},
        {"+7", 7},
        {"-0", 0},
        {"-", -1},
        {"$", -1},
        {"0x", -1},
        {"-$5", -1},
        {"2147483647", 2147483647},
        {"2147483648", -1},
        {"-2147483648", INT32_MIN},
        {"-2147483649", -1},
        {"$FFFFFFFF", -1 /* wraps */},
        {"$80000000", INT32_MIN},
        {"$100000000", -1},
        {"$000000001", 1},
        {"12a", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToIntDef(c.text, -1), c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(StrToIntDef("$FFFFFFFF", 99), -1) << "wraps to the negative value with the same bits";
}

struct SplitCase {
    std::string source;
    std::string separator;
    bool trim;
    std::string first;
    std::string rest;
};

TEST(SplitFirst, CutsAtTheFirstSeparatorOnly) {
    const SplitCase cases[] = {
        {"a,b,c", ",", false, "a", "b,c"},
        {"abc", ",", false, "abc", ""},
        {",x", ",", false, "", "x"},
        {"x,", ",", false, "x", ""},
        {"  12 ,  34 , 5 ", ",", true, "12", "34 , 5"},
        {"  abc  ", ",", true, "abc", ""},
        {"a::b", "::", false, "a", "b"},
        {"a,b", "", false, "a,b", ""},
        {" a , b ", ",", false, " a ", " b "},
    };
    for (const auto& c : cases) {
        std::string first = "stale";
        std::string rest = "stale";
        SplitFirst(c.source, c.separator, c.trim, first, rest);
        EXPECT_EQ(first, c.first) << c.source;
        EXPECT_EQ(rest, c.rest) << c.source;
    }
}

TEST(SplitFirst, PopsOneFieldAtATimeWhenSourceAndRestAreTheSameVariable) {
    std::string text = "1, 2 ,3";
    std::string field;
    std::vector<std::string> fields;
    for (int i = 0; i < 3; ++i) {
        SplitFirst(text, ",", true, field, text);
        fields.push_back(field);
    }
    EXPECT_EQ(fields, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(text, "");
    SplitFirst(text, ",", true, text, field);  // source and first the same variable
    EXPECT_EQ(text, "");
}

// The one-character cut serves the member list's hot path: it must cut exactly where and as
// the general one does, blanks and control bytes beside the separator and at the ends included.
TEST(SplitFirst, OneCharacterCutMatchesTheGeneralCut) {
    const std::string_view sources[] = {
        "",
        ",",
        " , ",
        "a,b,c",
        "abc",
        ",x",
        "x,",
        "  12 ,  34 , 5 ",
        "\t\x01a\r ,\n b\x1f",
        "  abc  ",
        " a , b ",
        "   ,   ",
        "a ,, b",
        std::string_view("a\0,\0b", 5),
        "on , , kim = pw ; p1,p2 ; bot1 ",
        "\x80\xff,\xfe ",
    };
    for (const std::string_view source : sources) {
        for (const char separator : {',', '=', ';', ':', '_'}) {
            for (const bool trim : {false, true}) {
                std::string_view expectedFirst;
                std::string_view expectedRest;
                SplitFirst(source, std::string_view(&separator, 1), trim, expectedFirst, expectedRest);
                std::string_view first = "stale";
                std::string_view rest = "stale";
                SplitFirst(source, separator, trim, first, rest);
                EXPECT_EQ(first, expectedFirst) << source << " at " << separator << " trim " << trim;
                EXPECT_EQ(rest, expectedRest) << source << " at " << separator << " trim " << trim;
            }
        }
    }
    std::string_view field;
    std::string_view rest = " 1 , 2 ,3 ";
    for (const std::string_view expected : {"1", "2", "3", ""}) {
        SplitFirst(rest, ',', true, field, rest);
        EXPECT_EQ(field, expected);
    }
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlapOrRescan) {
    EXPECT_EQ(ReplaceAll("protocols: a,b :)", "protocols:", ""), " a,b :)");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("x:)", ":)", ""), "x");
    EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
    EXPECT_EQ(ReplaceAll("none", "z", "y"), "none");
}

TEST(IsDottedIPv4, AcceptsExactlyFourByteFields) {
    for (const char* good :
         {"192.168.0.1", "0.0.0.0", "255.255.255.255", " 1.2.3.4", "+1.2.3.4", "$7F.0.0.1"}) {
        EXPECT_TRUE(IsDottedIPv4(good)) << good;
    }
    for (const char* bad :
         {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "1.2.3.4 ", "host.example", "", "-1.0.0.0"}) {
        EXPECT_FALSE(IsDottedIPv4(bad)) << bad;
    }
}

struct CommaListCase {
    std::string text;
    TextList items;
};

TEST(ReadCommaList, SplitsAtBlanksAndCommasAndHonoursQuotes) {
    const CommaListCase cases[] = {
        {"administrator, chat", {"administrator", "chat"}},
        {"administrator chat", {"administrator", "chat"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a"}},
        {",", {""}},
        {",a", {"", "a"}},
        {"", {}},
        {"   ", {}},
        {"\"a b\"c", {"a b", "c"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"open", {"open"}},
        {std::string("a\0b", 3), {"a"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadCommaList(c.text), c.items) << c.text;
    }
}

TEST(WriteCommaList, QuotesOnlyWhatNeedsIt) {
    const CommaListCase cases[] = {
        {"\"a b\",c", {"a b", "c"}},           {"\"\"", {""}}, {"", {}}, {"a,,b", {"a", "", "b"}},
        {"\"x,y\",\"q\"\"\"", {"x,y", "q\""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteCommaList(c.items), c.text);
    }
}

TEST(CommaList, RoundTripsListsWithoutTrailingEmptyItems) {
    const TextList lists[] = {{"a b", "c"}, {""}, {"a", "", "b"}, {"x\"y", "tab\there"}, {"administrator"}};
    for (const auto& list : lists) {
        EXPECT_EQ(ReadCommaList(WriteCommaList(list)), list);
    }
}

// The text form has no way to end a list of two or more with an empty item ("a," is the list
// "a"), so that one item is lost; an empty item anywhere else, or alone, survives.
TEST(CommaList, LosesOnlyTheEmptyLastItemOfALongerList) {
    struct Case {
        TextList list;
        std::string text;
        TextList readBack;
    } const cases[] = {
        {{"a", ""}, "a,", {"a"}},
        {{"", ""}, ",", {""}},
        {{"a", "", ""}, "a,,", {"a", ""}},
        {{"a", "\"", ""}, "a,\"\"\"\",", {"a", "\""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteCommaList(c.list), c.text);
        EXPECT_EQ(ReadCommaList(c.text), c.readBack) << c.text;
    }
}

TEST(SameTextAscii, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(SameTextAscii("Bob", "BOB"));
    EXPECT_FALSE(SameTextAscii("\xc9", "\xe9"));  // accented letters are not folded
    EXPECT_FALSE(SameTextAscii("[", "{"));
    EXPECT_FALSE(SameTextAscii("bob", "bobs"));
    EXPECT_EQ(FoldAscii("AbC\xc9"), "abc\xc9");
}

struct CompareCase {
    const char* name;
    std::string a;
    std::string b;
    int sign;
};

TEST(CompareTextAscii, ComparesWithAsciiLettersFoldedToUpperCase) {
    const CompareCase cases[] = {
        {"letter case ignored", "Bob", "bOB", 0},
        {"prefix first", "bo", "Bob", -1},
        {"upper-case folding puts _ after letters", "_a", "z", 1},
        {"bytes above 127 unfolded", "\xe9", "\xc9", 1},
        {"empty", "", "a", -1},
    };
    for (const CompareCase& c : cases) {
        const int result = CompareTextAscii(c.a, c.b);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.name;
    }
}

// Heads that differ must order two texts as CompareTextAscii does; equal heads say nothing
// past the eighth byte.
TEST(FoldedHead, OrdersAsTheTextsWhereTheHeadsDiffer) {
    const std::string texts[] = {
        "",        "a",         "A", "_",  "ab", "aB\xff", "abcdefgh", "ABCDEFGHi", "abcdefghz",
        "abcdefg", "\xe9t\xe9", "z", "Zz", "[",  "{",      "member10", "Member9",   std::string("a\0b", 3)};
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            const uint64_t headA = FoldedHead(a);
            const uint64_t headB = FoldedHead(b);
            const int compared = CompareTextAscii(a, b);
            if (headA != headB) {
                EXPECT_EQ(headA < headB, compared < 0) << a << " / " << b;
            } else if (a.size() <= 8 && b.size() <= 8 && a.find('\0') == std::string::npos &&
                       b.find('\0') == std::string::npos) {
                EXPECT_EQ(compared, 0) << a << " / " << b;
            }
        }
    }
    EXPECT_EQ(FoldedHead("ab"), FoldedHead("AB"));
    EXPECT_EQ(FoldedHead("abcdefghX"), FoldedHead("ABCDEFGHy"));
}

struct CenterCase {
    ScreenRect form;
    ScreenRect over;
    ScreenPoint expected;
};

TEST(CenterFormOver, CentresAndKeepsOnScreen) {
    const CenterCase cases[] = {
        {{0, 0, 100, 100}, {10, 20, 300, 200}, {110, 70}},
        {{0, 0, 400, 400}, {0, 0, 100, 100}, {0, 0}},              // left of the origin
        {{0, 0, 100, 100}, {1900, 1000, 300, 300}, {1870, 1030}},  // beyond screen - 50
        {{0, 0, 101, 101}, {0, 0, 100, 100}, {0, 0}},              // -1 / 2 truncates toward zero
        {{0, 0, 10, 10}, {0, 0, 100, 100}, {45, 45}},
    };
    for (const auto& c : cases) {
        ScreenPoint p = CenterFormOver(c.form, c.over, 1920, 1080);
        EXPECT_EQ(p.left, c.expected.left);
        EXPECT_EQ(p.top, c.expected.top);
    }
    ScreenPoint tiny = CenterFormOver({0, 0, 10, 10}, {100, 100, 10, 10}, 40, 40);
    EXPECT_EQ(tiny.left, 0);
    EXPECT_EQ(tiny.top, 0);
}

}  // namespace

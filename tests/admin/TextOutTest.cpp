#include "admin/TextOut.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EscapeCase {
    const char* name;
    std::string bytes;
    std::string json;
};

class JsonStringTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(JsonStringTest, Escapes) {
    std::string out;
    AppendJsonString(out, GetParam().bytes);
    EXPECT_EQ(out, GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, JsonStringTest,
    testing::Values(EscapeCase{"plain", "bob", "\"bob\""},
                    EscapeCase{"quoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
                    EscapeCase{"lineBreaksAndTab", "a\r\n\tb", "\"a\\r\\n\\tb\""},
                    EscapeCase{"controlBytes", std::string("\0\x1b\x7f", 3), "\"\\u0000\\u001b\\u007f\""},
                    EscapeCase{"validUtf8", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
                               "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
                    EscapeCase{"loneLatin1Byte", "caf\xe9", "\"caf\\udce9\""},
                    EscapeCase{"truncatedSequence", "\xe2\x82", "\"\\udce2\\udc82\""},
                    EscapeCase{"overlongSlash", "\xc0\xaf", "\"\\udcc0\\udcaf\""},
                    EscapeCase{"encodedSurrogate", "\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""},
                    EscapeCase{"beyondUnicode", "\xf4\x90\x80\x80", "\"\\udcf4\\udc90\\udc80\\udc80\""}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

TEST(TsvFieldTest, KeepsEachRecordOnOneLine) {
    std::string out;
    AppendTsvField(out, "a\tb\nc\rd\\e\xff");
    EXPECT_EQ(out, "a\\tb\\nc\\rd\\\\e\xff");
}

TEST(VisibleTextTest, ShowsControlBytesAndKeepsTheRest) {
    EXPECT_EQ(VisibleText("\x1b[31mred\x7f caf\xe9"), "\\x1b[31mred\\x7f caf\xe9");
}

}  // namespace

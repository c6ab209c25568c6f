#include "util/Csv.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<CsvRecord> ReadAll(std::string_view text) {
    std::vector<CsvRecord> records;
    CsvReader reader(text);
    CsvRecord record;
    while (reader.Next(record)) {
        records.push_back(record);
    }
    return records;
}

struct FieldCase {
    const char* name;
    std::string field;
    std::string written;
};

class CsvFieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(CsvFieldTest, WritesAndReadsBackTheSameBytes) {
    const FieldCase& c = GetParam();
    std::string out;
    AppendCsvRow(out, {c.field, "next"});
    EXPECT_EQ(out, c.written + ",next\r\n");
    const std::vector<CsvRecord> records = ReadAll(out);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].error, "");
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{c.field, "next"}));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvFieldTest,
    testing::Values(FieldCase{"plain", "bob", "bob"}, FieldCase{"empty", "", ""},
                    FieldCase{"comma", "chat,news", "\"chat,news\""},
                    FieldCase{"quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
                    FieldCase{"lineFeed", "a\nb", "\"a\nb\""}, FieldCase{"crLf", "a\r\nb", "\"a\r\nb\""},
                    FieldCase{"loneCr", "a\rb", "\"a\rb\""}, FieldCase{"blanks", "  x  ", "  x  "},
                    FieldCase{"notUtf8",
                              std::string("\xff\xfe"
                                          "b\xe9",
                                          4),
                              std::string("\xff\xfe"
                                          "b\xe9",
                                          4)},
                    FieldCase{"zeroByte", std::string("a\0b", 3), std::string("a\0b", 3)}),
    [](const testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.name); });

TEST(CsvReaderTest, CountsLinesAcrossQuotedLineBreaksAndEmptyLines) {
    const std::vector<CsvRecord> records = ReadAll("h1,h2\r\n\"a\nb\",c\n\nd,\"e\r\nf\"\r\ng,h");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].line, 1u);
    EXPECT_EQ(records[1].line, 2u);
    EXPECT_EQ(records[1].fields, (std::vector<std::string>{"a\nb", "c"}));
    EXPECT_EQ(records[2].line, 5u);
    EXPECT_EQ(records[2].fields, (std::vector<std::string>{"d", "e\r\nf"}));
    EXPECT_EQ(records[3].line, 7u);
    EXPECT_EQ(records[3].fields, (std::vector<std::string>{"g", "h"}));
}

TEST(CsvReaderTest, EmptyFieldsKeepTheirPlaces) {
    const std::vector<CsvRecord> records = ReadAll(",,\n\"\",x,\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(records[1].fields, (std::vector<std::string>{"", "x", ""}));
}

struct MalformedCase {
    const char* name;
    std::string text;
    std::string error;
};

class CsvMalformedTest : public testing::TestWithParam<MalformedCase> {};

// A bad row is reported on its own line and the rows after it are read as they are.
TEST_P(CsvMalformedTest, ReportsTheRowAndResumesAtTheNextLine) {
    const MalformedCase& c = GetParam();
    const std::vector<CsvRecord> records = ReadAll("a,b\n" + c.text + "\nc,d\n");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].line, 2u);
    EXPECT_EQ(records[1].error, c.error);
    EXPECT_EQ(records[2].error, "");
    EXPECT_EQ(records[2].line, 3u);
    EXPECT_EQ(records[2].fields, (std::vector<std::string>{"c", "d"}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CsvMalformedTest,
    testing::Values(MalformedCase{"strayQuote", "ab\"c,d",
                                  "a quote inside a field that does not start with one"},
                    MalformedCase{"textAfterQuote", "\"ab\"c,d", "text after a closing quote"},
                    MalformedCase{"blankAfterQuote", "\"ab\" ,d", "text after a closing quote"}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

TEST(CsvReaderTest, AQuoteLeftOpenRunsToTheEndAndSaysSo) {
    const std::vector<CsvRecord> records = ReadAll("a,b\n\"open,x\nc,d\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].line, 2u);
    EXPECT_EQ(records[1].error, "a quoted field is not closed");
    EXPECT_EQ(records[1].openQuoteLine, 2u);
    EXPECT_EQ(records[0].openQuoteLine, 0u);
}

// The line of the quote itself, which a field closed before it in the same record may have moved
// past the record's first line.
TEST(CsvReaderTest, AQuoteLeftOpenIsPlacedOnItsOwnLine) {
    struct Case {
        const char* name;
        std::string text;
        size_t recordLine;
        size_t quoteLine;
    };
    const Case cases[] = {
        {"first field", "a,b\nc,d\n\"e,f\ng,h\n", 3, 3},
        {"last field", "a,b\nc,\"d\ne,f\n", 2, 2},
        {"after a quoted line break", "a,b\n\"c\r\nc\",\"d\ne,f\n", 2, 3},
        {"last line, no line end", "a,b\n\"c", 2, 2},
    };
    for (const Case& c : cases) {
        const std::vector<CsvRecord> records = ReadAll(c.text);
        ASSERT_FALSE(records.empty()) << c.name;
        EXPECT_EQ(records.back().line, c.recordLine) << c.name;
        EXPECT_EQ(records.back().openQuoteLine, c.quoteLine) << c.name;
        for (size_t i = 0; i + 1 < records.size(); ++i) {
            EXPECT_EQ(records[i].openQuoteLine, 0u) << c.name;
        }
    }
}

TEST(CsvReaderTest, ALastLineWithoutLineEndIsARecord) {
    const std::vector<CsvRecord> records = ReadAll("x,\"y\"");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{"x", "y"}));
}

}  // namespace

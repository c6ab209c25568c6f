#include "rows/AsciiSortKeys.hpp"

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <unicode/ucol.h>

#include "rows/CaptionKeys.hpp"

namespace {

struct CollatorForTest {
    explicit CollatorForTest(const Collation& collation) {
        UErrorCode status = U_ZERO_ERROR;
        collator = ucol_open(collation.locale.c_str(), &status);
        EXPECT_TRUE(U_SUCCESS(status)) << collation.locale;
        const auto set = [this](UColAttribute attribute, UColAttributeValue value) {
            UErrorCode ignored = U_ZERO_ERROR;
            ucol_setAttribute(collator, attribute, value, &ignored);
        };
        set(UCOL_STRENGTH, collation.caseSensitive ? UCOL_DEFAULT_STRENGTH : UCOL_SECONDARY);
        set(UCOL_NUMERIC_COLLATION, collation.numeric ? UCOL_ON : UCOL_OFF);
        set(UCOL_ALTERNATE_HANDLING, collation.ignorePunctuation ? UCOL_SHIFTED : UCOL_NON_IGNORABLE);
    }
    ~CollatorForTest() { ucol_close(collator); }
    CollatorForTest(const CollatorForTest&) = delete;
    CollatorForTest& operator=(const CollatorForTest&) = delete;

    UCollator* collator = nullptr;
};

bool Keys(const AsciiSortKeys& keys, const std::string& caption) {
    GrowingArray<char> out;
    return keys.Append(caption, out);
}

// Which collations get a table, and which characters it leaves to the collator: those of an ASCII
// contraction ("ch" in Czech and Spanish of old, the dotted and dotless i of Turkish), and
// punctuation, whose weights are more than a byte.
TEST(AsciiSortKeys, TablesOnlyWhereKeysAreEachCharactersOwnWeights) {
    struct Case {
        const char* locale;
        bool caseSensitive;
        bool numeric;
        bool ignorePunctuation;
        bool table;
        const char* held;
        const char* left;
    };
    const Case cases[] = {
        {"en_US", true, false, false, true, "aZ09 .,", "_-@!~"},
        {"en_US", false, false, false, true, "aZ09", "_"},
        {"cs_CZ", true, false, false, true, "abdgxyz", "cChH"},
        {"es_ES@collation=traditional", true, false, false, true, "abxyz", "cChHlL"},
        {"tr_TR", true, false, false, true, "ai", "I"},
        {"en_US", true, true, false, false, "", ""},   // numeric: digits are read as numbers
        {"en_US", true, false, true, false, "", ""},   // punctuation shifted to a later level
        {"da_DK", true, false, false, false, "", ""},  // upper case first
        {"fr_CA", true, false, false, false, "", ""},  // accents compared from the end
        {"ja_JP", true, false, false, false, "", ""},  // scripts reordered
    };
    for (const Case& c : cases) {
        const CollatorForTest collator({c.locale, c.caseSensitive, c.numeric, c.ignorePunctuation});
        const std::unique_ptr<AsciiSortKeys> keys = AsciiSortKeys::Made(collator.collator);
        ASSERT_EQ(keys != nullptr, c.table) << c.locale;
        if (!keys) {
            continue;
        }
        EXPECT_TRUE(keys->AgreesWith(collator.collator)) << c.locale;
        for (const char held : std::string(c.held)) {
            EXPECT_TRUE(Keys(*keys, std::string(1, held))) << c.locale << ": " << held;
        }
        for (const char left : std::string(c.left)) {
            EXPECT_FALSE(Keys(*keys, std::string("a") + left)) << c.locale << ": " << left;
        }
        EXPECT_FALSE(Keys(*keys, "")) << "the collator keys an empty caption";
        EXPECT_FALSE(Keys(*keys, "\xc3\xa9")) << "beyond ASCII";
    }
}

TEST(AsciiSortKeys, AFailedAppendLeavesTheKeysAsTheyWere) {
    const CollatorForTest collator({"en_US", true, false, false});
    const std::unique_ptr<AsciiSortKeys> keys = AsciiSortKeys::Made(collator.collator);
    ASSERT_TRUE(keys);
    GrowingArray<char> out;
    ASSERT_TRUE(keys->Append("abc", out));
    const std::string before(out.data(), out.size());
    EXPECT_FALSE(keys->Append("ab_c", out));
    EXPECT_EQ(std::string(out.data(), out.size()), before);
}

}  // namespace

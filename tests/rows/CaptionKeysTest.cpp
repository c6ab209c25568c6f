#include "rows/CaptionKeys.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unicode/ucol.h>

#include "util/WideText.hpp"

namespace {

// The key ICU's collator gives with QCollator's settings, normalization on, which every key is to
// equal byte for byte, whichever collator made it.
std::string NormalizingKey(const Collation& collation, const std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* const collator = ucol_open(collation.locale.c_str(), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << collation.locale;
    const auto set = [collator](UColAttribute attribute, UColAttributeValue value) {
        UErrorCode ignored = U_ZERO_ERROR;
        ucol_setAttribute(collator, attribute, value, &ignored);
    };
    set(UCOL_NORMALIZATION_MODE, UCOL_ON);
    set(UCOL_STRENGTH, collation.caseSensitive ? UCOL_DEFAULT_STRENGTH : UCOL_SECONDARY);
    set(UCOL_NUMERIC_COLLATION, collation.numeric ? UCOL_ON : UCOL_OFF);
    set(UCOL_ALTERNATE_HANDLING, collation.ignorePunctuation ? UCOL_SHIFTED : UCOL_NON_IGNORABLE);
    std::vector<uint8_t> key(4 * text.size() + 64);
    const int32_t size = ucol_getSortKey(collator, text.data(), static_cast<int32_t>(text.size()), key.data(),
                                         static_cast<int32_t>(key.size()));
    ucol_close(collator);
    return std::string(reinterpret_cast<const char*>(key.data()),
                       static_cast<size_t>(size > 0 ? size - 1 : 0));
}

// ASCII captions are keyed by a collator that skips normalization, the rest by one that does:
// both must give the normalizing collator's keys. Captions with punctuation, digits, letter
// case and, beyond ASCII, a letter made of two code points.
TEST(SortKeys, AreTheNormalizingCollatorsKeysForEveryCaption) {
    const std::vector<std::string> captions = {"member0042",
                                               "Member-0042",
                                               "a b_c.d",
                                               "10 items",
                                               "9 items",
                                               "ZZ top",
                                               "",
                                               "~!@#$%^&*()",
                                               "\x41\xcc\x8a",
                                               "\xc3\x85ngstr\xc3\xb6m",
                                               "stra\xc3\x9f"
                                               "e"};
    for (const char* locale : {"en_US", "de_DE", "sv_SE", "da_DK"}) {
        for (const bool variant : {false, true}) {
            const Collation collation{locale, !variant, variant, variant};
            SortKeys keys(collation);
            for (const std::string& caption : captions) {
                const uint32_t at = keys.Add(caption);
                EXPECT_EQ(std::string(keys.At(at)), NormalizingKey(collation, WidenBytes(caption)))
                    << locale << (variant ? " (case ignored, numeric, punctuation ignored)" : "") << ": "
                    << caption;
            }
        }
    }
}

// Most ASCII captions are keyed from a table of weights rather than by the collator: with case
// and without, in collations with contractions and tailorings, and in those that get no table,
// random captions of every length must still get the collator's keys byte for byte. The long
// ones hold runs of letters of one case, which the keys count in bytes of their own.
TEST(SortKeys, AsciiCaptionsGetTheCollatorsKeysWhetherATableOrTheCollatorMakesThem) {
    const std::string alphabet = "abcdehilnosyzABCDHILSYZ0123456789 .,_-@";
    uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    std::vector<std::string> captions;
    for (int i = 0; i < 1500; ++i) {
        const size_t length = 1 + next() % (i % 10 == 0 ? 240 : 16);
        std::string caption;
        const bool runs = i % 3 == 0;
        while (caption.size() < length) {
            const char c = alphabet[next() % alphabet.size()];
            caption.append(runs ? 1 + next() % 120 : 1, c);
        }
        caption.resize(length);
        captions.push_back(caption);
    }
    for (const char* locale : {"en_US", "cs_CZ", "hu_HU", "tr_TR", "cy_GB", "da_DK", "fr_CA"}) {
        for (const bool caseSensitive : {true, false}) {
            const Collation collation{locale, caseSensitive, false, false};
            SortKeys keys(collation);
            for (const std::string& caption : captions) {
                const uint32_t at = keys.Add(caption);
                ASSERT_EQ(std::string(keys.At(at)), NormalizingKey(collation, WidenBytes(caption)))
                    << locale << (caseSensitive ? "" : " (case ignored)") << ": " << caption;
            }
        }
    }
}

}  // namespace

#include "util/EncryptIt.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(std::string_view text) {
    return EncryptToHex(text, kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
}
std::string Unhex(std::string_view hex) {
    return DecryptFromHex(hex, kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
}

TEST(EncryptIt, KnownVectorsUnderThePasswordKey) {
    // Worked by hand from the key recurrence: k0 = 9133 = 0x23AD, so the first byte is XORed
    // with 0x23; "a" (0x61) becomes 0x42.
    EXPECT_EQ(Hex("a"), "42");
    // k1 = ((0x23AD + 0x42) * 30587 + 9791) mod 65536 = 0x8314, so "b" (0x62) ^ 0x83 = 0xE1.
    EXPECT_EQ(Hex("ab"), "42E1");
}

TEST(EncryptIt, EveryByteValueRoundTripsAtEveryLength) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    for (size_t length = 1; length <= all.size(); length += 15) {
        std::string text = all.substr(all.size() - length);
        std::string hex = Hex(text);
        ASSERT_EQ(hex.size(), 2 * text.size());
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        EXPECT_EQ(Unhex(hex), text);
    }
}

TEST(EncryptIt, HexEdgeCases) {
    EXPECT_EQ(Hex(""), "");
    EXPECT_EQ(Unhex(""), "");
    EXPECT_EQ(Unhex("4"), "");
    std::string hex = Hex("secret");
    std::string lower;
    for (char c : hex) {
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    EXPECT_EQ(Unhex(lower), "secret");
    EXPECT_EQ(Unhex(hex + "F"), "secret") << "an odd last digit is ignored";
}

TEST(EncryptIt, BadPairIsByteZeroAndTheKeyGoesOnFromIt) {
    std::string hex = Hex("abc");
    std::string cipher = Encrypt("abc", kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
    cipher[0] = '\0';
    std::string zeroFirst = Decrypt(cipher, kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
    for (const char* bad : {"G1", " 1"}) {
        std::string damaged = std::string(bad) + hex.substr(2);
        EXPECT_EQ(Unhex(damaged), zeroFirst) << bad;
    }
}

TEST(EncryptIt, FeedbackCarriesAChangeForwardAndOnlyDecryptInverts) {
    std::string scrambled = Encrypt("password", kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
    std::string changed = scrambled;
    changed[2] = static_cast<char>(changed[2] ^ 0x01);
    std::string clear = Decrypt(changed, kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
    EXPECT_EQ(clear.substr(0, 2), "pa");
    EXPECT_NE(clear[2], 's');
    EXPECT_NE(clear.substr(3), "sword");
    EXPECT_NE(Encrypt("password", 1, 2, 3), Decrypt("password", 1, 2, 3));
}

}  // namespace

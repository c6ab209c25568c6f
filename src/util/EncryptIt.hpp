#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A reversible byte scrambler under a 16-bit running key. It hides a stored password from a
// casual glance; it is not encryption in any cryptographic sense.

// The key with which the settings file stores the server password.
inline constexpr uint16_t kPasswordInitialKey = 9133;
inline constexpr uint16_t kPasswordMultiplier = 30587;
inline constexpr uint16_t kPasswordIncrement = 9791;

std::string Encrypt(std::string_view text, uint16_t initialKey, uint16_t multiplier, uint16_t increment);
std::string Decrypt(std::string_view text, uint16_t initialKey, uint16_t multiplier, uint16_t increment);

// Encrypt, then two upper-case hexadecimal digits per byte.
std::string EncryptToHex(std::string_view text, uint16_t initialKey, uint16_t multiplier, uint16_t increment);

// Reads pairs of hexadecimal digits (either case; a bad pair is byte 0, an odd last digit is
// ignored), then Decrypt.
std::string DecryptFromHex(std::string_view hex, uint16_t initialKey, uint16_t multiplier,
                           uint16_t increment);

#include "util/EncryptIt.hpp"

#include "util/untCalc1.hpp"

namespace {

uint16_t NextKey(uint16_t key, unsigned char scrambled, uint16_t multiplier, uint16_t increment) {
    // Unsigned arithmetic wraps modulo 2^32; only the low 16 bits are kept.
    uint32_t next = (uint32_t{key} + scrambled) * multiplier + increment;
    return static_cast<uint16_t>(next);
}

}  // namespace

std::string Encrypt(std::string_view text, uint16_t initialKey, uint16_t multiplier, uint16_t increment) {
    std::string out(text.size(), '\0');
    uint16_t key = initialKey;
    for (size_t i = 0; i < text.size(); ++i) {
        auto scrambled = static_cast<unsigned char>(static_cast<unsigned char>(text[i]) ^ (key >> 8));
        out[i] = static_cast<char>(scrambled);
        key = NextKey(key, scrambled, multiplier, increment);
    }
    return out;
}

std::string Decrypt(std::string_view text, uint16_t initialKey, uint16_t multiplier, uint16_t increment) {
    std::string out(text.size(), '\0');
    uint16_t key = initialKey;
    for (size_t i = 0; i < text.size(); ++i) {
        auto scrambled = static_cast<unsigned char>(text[i]);
        out[i] = static_cast<char>(scrambled ^ (key >> 8));
        key = NextKey(key, scrambled, multiplier, increment);
    }
    return out;
}

std::string EncryptToHex(std::string_view text, uint16_t initialKey, uint16_t multiplier,
                         uint16_t increment) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (char c : Encrypt(text, initialKey, multiplier, increment)) {
        auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::string DecryptFromHex(std::string_view hex, uint16_t initialKey, uint16_t multiplier,
                           uint16_t increment) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        std::string pair = "$";
        pair.append(hex.substr(i, 2));
        bytes.push_back(static_cast<char>(StrToIntDef(pair, 0)));
    }
    return Decrypt(bytes, initialKey, multiplier, increment);
}

// The scrambler under arbitrary keys: decrypting restores every text, the hexadecimal form is
// upper-case and twice as long, and any hexadecimal text decrypts pair by pair.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <string>

#include "Require.hpp"
#include "util/EncryptIt.hpp"

namespace {

// The bytes of the pairs, a pair that is not two hexadecimal digits being 0.
std::string PairBytes(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        unsigned value = 0;
        const char* begin = hex.data() + i;
        const auto [end, error] = std::from_chars(begin, begin + 2, value, 16);
        const bool pair = error == std::errc() && end == begin + 2;
        bytes.push_back(static_cast<char>(pair ? value : 0));
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const auto key = input.ConsumeIntegral<uint16_t>();
    const auto multiplier = input.ConsumeIntegral<uint16_t>();
    const auto increment = input.ConsumeIntegral<uint16_t>();
    const std::string text = input.ConsumeRemainingBytesAsString();

    const std::string scrambled = Encrypt(text, key, multiplier, increment);
    KRV_REQUIRE(scrambled.size() == text.size());
    KRV_REQUIRE(Decrypt(scrambled, key, multiplier, increment) == text);
    // Each byte depends only on what came before it.
    const size_t half = text.size() / 2;
    KRV_REQUIRE(Encrypt(text.substr(0, half), key, multiplier, increment) == scrambled.substr(0, half));

    const std::string hex = EncryptToHex(text, key, multiplier, increment);
    KRV_REQUIRE(hex.size() == 2 * text.size());
    KRV_REQUIRE(std::all_of(hex.begin(), hex.end(),
                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }));
    KRV_REQUIRE(DecryptFromHex(hex, key, multiplier, increment) == text);
    std::string lower = hex;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    KRV_REQUIRE(DecryptFromHex(lower, key, multiplier, increment) == text);

    // The input itself taken as a hexadecimal text.
    KRV_REQUIRE(DecryptFromHex(text, key, multiplier, increment) ==
                Decrypt(PairBytes(text), key, multiplier, increment));
    return 0;
}

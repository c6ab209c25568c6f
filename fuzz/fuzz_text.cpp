// Trim, StrToIntDef and SplitFirst on arbitrary text, each against a property that describes
// its result without repeating how it is computed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Require.hpp"
#include "util/untCalc1.hpp"

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

void CheckTrim(std::string_view text) {
    const std::string trimmed = Trim(text);
    KRV_REQUIRE(trimmed.empty() || (!IsBlank(trimmed.front()) && !IsBlank(trimmed.back())));
    if (trimmed.empty()) {
        KRV_REQUIRE(std::all_of(text.begin(), text.end(), IsBlank));
        return;
    }
    // Only blanks and control bytes are taken, and only from the two ends.
    const auto at = text.find(trimmed);
    KRV_REQUIRE(at != std::string_view::npos);
    const std::string_view before = text.substr(0, at);
    const std::string_view after = text.substr(at + trimmed.size());
    KRV_REQUIRE(std::all_of(before.begin(), before.end(), IsBlank));
    KRV_REQUIRE(std::all_of(after.begin(), after.end(), IsBlank));
}

// What the text denotes, read by the standard library: spaces, then a decimal number with an
// optional sign, or a hexadecimal one after one of the prefixes; nothing may follow.
std::optional<int32_t> Denoted(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    auto whole = [](std::string_view digits, auto& value, int base) {
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
    };
    for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (text.starts_with(prefix)) {
            std::string_view digits = text.substr(prefix.size());
            uint32_t bits = 0;
            if (whole(digits, bits, 16)) {
                return static_cast<int32_t>(bits);
            }
            return std::nullopt;
        }
    }
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) {
            return std::nullopt;
        }
    }
    int32_t value = 0;
    if (whole(text, value, 10)) {
        return value;
    }
    return std::nullopt;
}

void CheckStrToIntDef(std::string_view text) {
    // A text converts when the result does not depend on the default.
    const int32_t withZero = StrToIntDef(text, 0);
    const int32_t withOne = StrToIntDef(text, 1);
    const std::optional<int32_t> expected = Denoted(text);
    if (expected) {
        KRV_REQUIRE(withZero == *expected && withOne == *expected);
    } else {
        KRV_REQUIRE(withZero == 0 && withOne == 1);
    }
}

void CheckSplitFirst(const std::string& source, const std::string& separator, bool trim) {
    std::string first;
    std::string rest;
    SplitFirst(source, separator, trim, first, rest);
    if (trim) {
        // Trimming splits the trimmed source as the plain split does, then trims both parts.
        std::string plainFirst;
        std::string plainRest;
        SplitFirst(Trim(source), separator, false, plainFirst, plainRest);
        KRV_REQUIRE(first == Trim(plainFirst) && rest == Trim(plainRest));
    } else if (separator.empty() || source.find(separator) == std::string::npos) {
        KRV_REQUIRE(first == source && rest.empty());
    } else {
        KRV_REQUIRE(first + separator + rest == source);
        KRV_REQUIRE(first.find(separator) == std::string::npos);
    }
    // The source may be either output: popping a field in place gives the same parts.
    std::string inPlace = source;
    std::string other;
    SplitFirst(inPlace, separator, trim, other, inPlace);
    KRV_REQUIRE(other == first && inPlace == rest);
    inPlace = source;
    SplitFirst(inPlace, separator, trim, inPlace, other);
    KRV_REQUIRE(inPlace == first && other == rest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string separator = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, 3));
    const bool trim = input.ConsumeBool();
    const std::string text = input.ConsumeRemainingBytesAsString();
    CheckTrim(text);
    CheckStrToIntDef(text);
    CheckSplitFirst(text, separator, trim);
    return 0;
}

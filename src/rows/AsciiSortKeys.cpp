#include "rows/AsciiSortKeys.hpp"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <unicode/ucol.h>
#include <unicode/uset.h>

#include "rows/CaptionKeys.hpp"

namespace {

constexpr uint8_t kLevelSeparator = 0x01;
constexpr uint8_t kCommonWeight = 0x05;
// A level of one character's key that holds only the common weight.
constexpr std::string_view kCommonOnly("\x05", 1);

// How ICU writes a run of common weights: as one byte counting up from low when what follows the
// run sorts below the common weight (the end of the level does), down from high when above, with
// a middle byte for each whole maxCount of them first.
struct CommonRun {
    uint8_t low;
    uint8_t middle;
    uint8_t high;
    size_t maxCount;
};
constexpr CommonRun kSecondaryRun{0x05, 0x25, 0x45, 0x21};
constexpr CommonRun kTertiaryRun{0x05, 0x65, 0xC5, 0x61};

uint8_t* PutCommonRun(uint8_t* at, size_t count, const CommonRun& run, bool below) {
    --count;
    while (count >= run.maxCount) {
        *at++ = run.middle;
        count -= run.maxCount;
    }
    *at++ = static_cast<uint8_t>(below ? run.low + count : run.high - count);
    return at;
}

// The collator's key of text, without its closing zero.
std::string IcuKey(const UCollator* collator, std::u16string_view text) {
    std::string key(text.size() * 4 + 32, '\0');
    const auto length = static_cast<int32_t>(text.size());
    auto* const bytes = reinterpret_cast<uint8_t*>(key.data());
    int32_t size = ucol_getSortKey(collator, text.data(), length, bytes, static_cast<int32_t>(key.size()));
    if (size > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<size_t>(size));
        size = ucol_getSortKey(collator, text.data(), length, reinterpret_cast<uint8_t*>(key.data()), size);
    }
    key.resize(size > 0 ? static_cast<size_t>(size - 1) : 0);
    return key;
}

// A key's levels, split where the separator byte stands.
std::vector<std::string_view> Levels(std::string_view key) {
    std::vector<std::string_view> levels;
    size_t separator = key.find(static_cast<char>(kLevelSeparator));
    while (separator != std::string_view::npos) {
        levels.push_back(key.substr(0, separator));
        key.remove_prefix(separator + 1);
        separator = key.find(static_cast<char>(kLevelSeparator));
    }
    levels.push_back(key);
    return levels;
}

UColAttributeValue Attribute(const UCollator* collator, UColAttribute attribute) {
    UErrorCode status = U_ZERO_ERROR;
    const UColAttributeValue value = ucol_getAttribute(collator, attribute, &status);
    return U_SUCCESS(status) ? value : UCOL_DEFAULT;
}

// Keys made of each character's weights in turn, at tertiary or secondary strength; nullopt for
// a collator whose options mix characters' weights or move them between levels.
std::optional<bool> TertiaryLevelIfPlain(const UCollator* collator) {
    const bool plain = Attribute(collator, UCOL_FRENCH_COLLATION) == UCOL_OFF &&
                       Attribute(collator, UCOL_CASE_FIRST) == UCOL_OFF &&
                       Attribute(collator, UCOL_CASE_LEVEL) == UCOL_OFF &&
                       Attribute(collator, UCOL_ALTERNATE_HANDLING) == UCOL_NON_IGNORABLE &&
                       Attribute(collator, UCOL_NUMERIC_COLLATION) == UCOL_OFF;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t reorderCodes = ucol_getReorderCodes(collator, nullptr, 0, &status);
    if (!plain || reorderCodes != 0) {
        return std::nullopt;
    }
    switch (Attribute(collator, UCOL_STRENGTH)) {
        case UCOL_TERTIARY:
            return true;
        case UCOL_SECONDARY:
            return false;
        default:
            return std::nullopt;
    }
}

bool IsAscii(std::u16string_view text) {
    for (const char16_t unit : text) {
        if (unit >= 0x80) {
            return false;
        }
    }
    return true;
}

// Every ASCII string the collator treats as one unit (or as a character with a prefix before it);
// nullopt where the collator's list of them cannot be read whole.
std::optional<std::vector<std::u16string>> AsciiContractions(const UCollator* collator) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<USet, void (*)(USet*)> contractions(uset_openEmpty(), uset_close);
    ucol_getContractionsAndExpansions(collator, contractions.get(), nullptr, true, &status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    std::vector<std::u16string> found;
    std::u16string item(64, u'\0');
    for (int32_t i = 0; i < uset_getItemCount(contractions.get()); ++i) {
        UChar32 start = 0;
        UChar32 end = 0;
        const int32_t length = uset_getItem(contractions.get(), i, &start, &end, item.data(),
                                            static_cast<int32_t>(item.size()), &status);
        if (U_FAILURE(status)) {
            return std::nullopt;
        }
        const std::u16string_view text(item.data(), static_cast<size_t>(std::max(length, 0)));
        if (!text.empty() && IsAscii(text)) {
            found.emplace_back(text);
        }
    }
    return found;
}

}  // namespace

std::unique_ptr<AsciiSortKeys> AsciiSortKeys::Made(const UCollator* collator) {
    const std::optional<bool> tertiaryLevel = TertiaryLevelIfPlain(collator);
    if (!tertiaryLevel) {
        return nullptr;
    }
    auto keys = std::make_unique<AsciiSortKeys>();
    keys->tertiaryLevel_ = *tertiaryLevel;
    const size_t levelCount = *tertiaryLevel ? 3 : 2;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        const std::string key = IcuKey(collator, std::u16string_view(&c, 1));
        const std::vector<std::string_view> levels = Levels(key);
        if (levels.size() != levelCount || levels[0].size() != 1 ||
            static_cast<uint8_t>(levels[0][0]) <= kLevelSeparator || levels[1] != kCommonOnly) {
            continue;
        }
        Weights& weights = keys->At(static_cast<char>(c));
        if (*tertiaryLevel) {
            const std::string_view tertiary = levels[2];
            if (tertiary.empty() || tertiary.size() > 2 || tertiary.find('\0') != std::string_view::npos) {
                continue;
            }
            if (tertiary != kCommonOnly) {
                weights.tertiaryBytes = static_cast<uint8_t>(tertiary.size());
                for (size_t i = 0; i < tertiary.size(); ++i) {
                    weights.tertiary[i] = static_cast<uint8_t>(tertiary[i]);
                }
            }
        }
        weights.primary = static_cast<uint8_t>(levels[0][0]);
    }
    const std::optional<std::vector<std::u16string>> contractions = AsciiContractions(collator);
    if (!contractions) {
        return nullptr;
    }
    for (const std::u16string& contraction : *contractions) {
        for (const char16_t unit : contraction) {
            keys->At(static_cast<char>(unit)) = {};
        }
    }
    return keys;
}

bool AsciiSortKeys::Append(std::string_view caption, GrowingArray<char>& out) const {
    if (caption.empty()) {
        return false;
    }
    for (const char c : caption) {
        if (Find(c) == nullptr) {
            return false;
        }
    }
    const size_t start = out.size();
    out.resize(start + caption.size() * 4 + 8);
    auto* const first = reinterpret_cast<uint8_t*>(out.data() + start);
    uint8_t* at = first;
    for (const char c : caption) {
        *at++ = Find(c)->primary;
    }
    *at++ = kLevelSeparator;
    at = PutCommonRun(at, caption.size(), kSecondaryRun, true);
    if (tertiaryLevel_) {
        *at++ = kLevelSeparator;
        size_t commons = 0;
        for (const char c : caption) {
            const Weights& weights = *Find(c);
            if (weights.tertiaryBytes == 0) {
                ++commons;
                continue;
            }
            if (commons > 0) {
                at = PutCommonRun(at, commons, kTertiaryRun, weights.tertiary[0] < kCommonWeight);
                commons = 0;
            }
            for (uint8_t i = 0; i < weights.tertiaryBytes; ++i) {
                *at++ = weights.tertiary[i];
            }
        }
        if (commons > 0) {
            at = PutCommonRun(at, commons, kTertiaryRun, true);
        }
    }
    out.resize(start + static_cast<size_t>(at - first));
    return true;
}

bool AsciiSortKeys::AgreesWith(const UCollator* collator) const {
    std::u16string held;
    for (char16_t c = 0; c < table_.size(); ++c) {
        if (table_[c].primary != 0) {
            held += c;
        }
    }
    std::vector<std::u16string> captions;
    for (const char16_t a : held) {
        for (const char16_t b : held) {
            captions.push_back({a, b});
        }
    }
    // Runs of common weights longer than either level counts in one byte, broken by a weight
    // above or below the common one, or by nothing.
    for (size_t length = 30; length <= 230; length += 40) {
        for (size_t offset = 0; offset < held.size(); offset += 7) {
            std::u16string caption;
            for (size_t i = 0; i < length; ++i) {
                caption += held[(offset + i * i * 31 + (i % 50 == 49 ? i : 0)) % held.size()];
            }
            captions.push_back(caption);
            captions.push_back(std::u16string(length, held[offset]) + held[(offset + 1) % held.size()]);
        }
    }
    GrowingArray<char> made;
    for (const std::u16string& caption : captions) {
        made.clear();
        const std::string narrow(caption.begin(), caption.end());
        if (!Append(narrow, made) ||
            std::string_view(made.data(), made.size()) != IcuKey(collator, caption)) {
            return false;
        }
    }
    return true;
}

std::shared_ptr<const AsciiSortKeys> AsciiSortKeys::For(const Collation& collation,
                                                        const UCollator* collator) {
    using Settings = std::tuple<std::string, bool, bool, bool>;
    static std::mutex mutex;
    static std::map<Settings, std::shared_ptr<const AsciiSortKeys>> made;
    const Settings settings{collation.locale, collation.caseSensitive, collation.numeric,
                            collation.ignorePunctuation};
    const std::lock_guard<std::mutex> lock(mutex);
    if (const auto known = made.find(settings); known != made.end()) {
        return known->second;
    }
    std::shared_ptr<const AsciiSortKeys> keys = Made(collator);
    if (keys && !keys->AgreesWith(collator)) {
        keys = nullptr;
    }
    made.emplace(settings, keys);
    return keys;
}

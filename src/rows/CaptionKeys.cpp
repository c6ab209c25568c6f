#include "rows/CaptionKeys.hpp"

#include <algorithm>

#include <unicode/ucol.h>

#include "rows/AsciiSortKeys.hpp"
#include "util/WideText.hpp"

namespace {

void CloseCollator(UCollator* collator) {
    ucol_close(collator);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The collator that QCollator makes for the same locale and options, but for normalization,
// as given; null where ICU has no collator for the locale.
UCollator* OpenCollator(const Collation& collation, UColAttributeValue normalization) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* const collator = ucol_open(collation.locale.c_str(), &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    const auto set = [collator](UColAttribute attribute, UColAttributeValue value) {
        UErrorCode ignored = U_ZERO_ERROR;
        ucol_setAttribute(collator, attribute, value, &ignored);
    };
    set(UCOL_NORMALIZATION_MODE, normalization);
    set(UCOL_STRENGTH, collation.caseSensitive ? UCOL_DEFAULT_STRENGTH : UCOL_SECONDARY);
    set(UCOL_NUMERIC_COLLATION, collation.numeric ? UCOL_ON : UCOL_OFF);
    set(UCOL_ALTERNATE_HANDLING, collation.ignorePunctuation ? UCOL_SHIFTED : UCOL_NON_IGNORABLE);
    return collator;
}

}  // namespace

// QCollator's collator normalizes; ASCII text is normalized already, and a collator told so
// gives it the same keys without checking each character.
SortKeys::SortKeys(const Collation& collation)
    : collator_(nullptr, CloseCollator), asciiCollator_(nullptr, CloseCollator) {
    if (collation.locale == "C") {
        return;
    }
    collator_.reset(OpenCollator(collation, UCOL_ON));
    keyless_ = !collator_;
    if (collator_) {
        asciiCollator_.reset(OpenCollator(collation, UCOL_OFF));
        asciiKeys_ = AsciiSortKeys::For(collation, asciiCollator_ ? asciiCollator_.get() : collator_.get());
    }
}

void SortKeys::Prepare(const Collation& collation) {
    const SortKeys keys(collation);
}

uint32_t SortKeys::Add(std::string_view caption) {
    const auto start = static_cast<uint32_t>(bytes_.size());
    if (IsAscii(caption)) {
        // ASCII reads the same as UTF-8 and as UTF-16: most captions need no decoding on the way.
        if (collator_) {
            if (!asciiKeys_ || !asciiKeys_->Append(caption, bytes_)) {
                units_.assign(caption.begin(), caption.end());
                AppendIcuKey(asciiCollator_ ? asciiCollator_.get() : collator_.get(), units_.data(),
                             units_.size());
            }
        } else if (!keyless_) {
            const std::string_view text = caption.substr(0, caption.find('\0'));
            bytes_.append(text.data(), text.size());
        }
    } else {
        WidenBytes(caption, units_);
        if (collator_) {
            AppendIcuKey(collator_.get(), units_.data(), units_.size());
        } else if (!keyless_) {
            // The text as the widgets show it, in UTF-8, up to a zero byte: keys hold none.
            utf8_.clear();
            AppendUtf8(units_, utf8_);
            bytes_.append(utf8_.data(), std::min(utf8_.find('\0'), utf8_.size()));
        }
    }
    bytes_.push_back('\0');
    return start;
}

void SortKeys::AppendIcuKey(const UCollator* collator, const char16_t* units, size_t count) {
    const auto length = static_cast<int32_t>(count);
    const size_t start = bytes_.size();
    bytes_.resize(start + 16 + count * 2);
    auto room = static_cast<int32_t>(bytes_.size() - start);
    int32_t size = ucol_getSortKey(collator, units, length, Room(start), room);
    if (size > room) {
        bytes_.resize(start + static_cast<size_t>(size));
        size = ucol_getSortKey(collator, units, length, Room(start), size);
    }
    // The key's own zero byte goes; Add ends every key alike.
    bytes_.resize(start + static_cast<size_t>(std::max(size - 1, 0)));
}

uint64_t HeadOf(const char* key) {
    uint64_t head = 0;
    for (int i = 0; i < 8; ++i) {
        const auto byte = static_cast<unsigned char>(key[i]);
        head = head << 8 | byte;
        if (byte == 0) {
            return head << 8 * (7 - i);
        }
    }
    return head;
}

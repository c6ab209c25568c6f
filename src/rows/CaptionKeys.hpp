#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/GrowingArray.hpp"

class AsciiSortKeys;

struct UCollator;

// How captions are collated: the settings of a QCollator, which sorts with the same ICU collator.
struct Collation {
    // An ICU locale name such as "de_DE", or "C" for the C locale, which orders the UTF-8 of the
    // texts byte by byte.
    std::string locale = "C";
    bool caseSensitive = true;
    bool numeric = false;
    bool ignorePunctuation = false;
};

// Captions' sort keys, one after another, each ended by a zero byte and holding no other: keys
// compare as C strings, as QCollatorSortKey compares them, and are byte for byte the keys
// QCollator::sortKey gives for the same settings. Each holds a collator of its own, so that two can be filled
// on two threads.
class SortKeys {
public:
    explicit SortKeys(const Collation& collation);
    // Makes what the keys of a collation share across the process (ICU's data, the table of ASCII
    // weights: a few milliseconds) now, so that the first list sorted does not wait for it.
    static void Prepare(const Collation& collation);

    // Where the key of caption starts.
    uint32_t Add(std::string_view caption);
    const char* At(uint32_t start) const { return bytes_.data() + start; }
    // Room for this many more keys of a usual size.
    void Reserve(size_t captions) { bytes_.reserve(bytes_.size() + captions * 24); }

private:
    using Collator = std::unique_ptr<UCollator, void (*)(UCollator*)>;

    void AppendIcuKey(const UCollator* collator, const char16_t* units, size_t count);
    uint8_t* Room(size_t start) { return reinterpret_cast<uint8_t*>(bytes_.data() + start); }

    bool keyless_ = false;    // QCollator gives every text the same empty key
    Collator collator_;       // null for the C locale, whose keys are the UTF-8 of the text
    Collator asciiCollator_;  // the same, told the text is normalized: for ASCII captions
    std::shared_ptr<const AsciiSortKeys> asciiKeys_;  // most ASCII captions' keys, without the collator
    GrowingArray<char> bytes_;
    std::u16string units_;  // a caption widened, its room kept for the next
    std::string utf8_;      // the same in UTF-8, where keys are the text itself
};

// A row to sort: its key's first eight bytes as one number, so that most comparisons touch
// nothing else, then where the whole key is and where the row was.
struct SortEntry {
    uint64_t head;
    uint32_t key;
    uint32_t row;
};

// The first eight bytes of a key, zeros after its end, as one number.
uint64_t HeadOf(const char* key);

// Keys made of the first rows' captions before the rows were: entry i is row i's.
struct KeyedCaptions {
    std::optional<SortKeys> keys;
    GrowingArray<SortEntry> entries;
};

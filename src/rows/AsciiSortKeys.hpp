#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "util/GrowingArray.hpp"

struct Collation;
struct UCollator;

// ICU's sort keys of ASCII captions, written from a table of each character's weights instead of
// by the collator: a list's rebuild spends most of its time in the collator, a few hundred
// nanoseconds a caption, while most logins are letters and digits whose keys are only their
// characters' weights side by side, with the runs of common weights counted as ICU counts them.
//
// The table is made only for collators whose keys are built that way (no case level or case
// first, no backwards secondaries, no numeric or shifted punctuation, no reordering), and holds
// only characters whose own key is one primary byte, the common secondary and one tertiary weight,
// and that start no contraction of ASCII characters. Before it is used, its keys are checked
// against the collator's for every pair of its characters and for long captions; a table that
// disagrees once is not used at all.
class AsciiSortKeys {
public:
    // The table for collator (as set up for collation), made once in the process and shared; null
    // where keys cannot be made from a table.
    static std::shared_ptr<const AsciiSortKeys> For(const Collation& collation, const UCollator* collator);
    // The table itself, unchecked and unshared: for For and for tests.
    static std::unique_ptr<AsciiSortKeys> Made(const UCollator* collator);

    // caption's key without ICU's closing zero, appended to out; false, out as it was, where the
    // caption is empty or has a character the table does not hold.
    bool Append(std::string_view caption, GrowingArray<char>& out) const;
    // Whether Append gives the collator's keys for every pair of the table's characters and for
    // captions long enough to need every way of counting common weights.
    bool AgreesWith(const UCollator* collator) const;

private:
    struct Weights {
        uint8_t primary = 0;        // 0: not in the table
        uint8_t tertiaryBytes = 0;  // 0: the common weight, counted rather than written
        std::array<uint8_t, 2> tertiary{};
    };

    Weights& At(char c) { return table_[static_cast<unsigned char>(c)]; }
    const Weights* Find(char c) const {
        const auto code = static_cast<unsigned char>(c);
        return code < table_.size() && table_[code].primary != 0 ? &table_[code] : nullptr;
    }

    std::array<Weights, 128> table_{};
    bool tertiaryLevel_ = true;  // false at secondary strength, where keys end after it
};

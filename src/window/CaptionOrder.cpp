#include "window/CaptionOrder.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <string>

#include <unicode/ucol.h>

#include "window/DisplayText.hpp"

namespace {

using Collator = std::unique_ptr<UCollator, decltype(&ucol_close)>;

// The collator that QCollator makes for the same locale and options, so that its sort keys are
// byte for byte the keys QCollator::sortKey gives; null for the C locale, whose keys are the
// UTF-8 of the text.
Collator OpenLike(const QCollator& collator, bool& keyless) {
    Collator opened(nullptr, ucol_close);
    if (collator.locale().language() == QLocale::C) {
        return opened;
    }
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray name = collator.locale().bcp47Name().replace('-', '_').toLatin1();
    opened.reset(ucol_open(name.constData(), &status));
    if (U_FAILURE(status)) {
        opened.reset();
        keyless = true;  // QCollator then gives every text the same empty key
        return opened;
    }
    const auto set = [&opened](UColAttribute attribute, UColAttributeValue value) {
        UErrorCode ignored = U_ZERO_ERROR;
        ucol_setAttribute(opened.get(), attribute, value, &ignored);
    };
    set(UCOL_NORMALIZATION_MODE, UCOL_ON);
    set(UCOL_STRENGTH,
        collator.caseSensitivity() == Qt::CaseSensitive ? UCOL_DEFAULT_STRENGTH : UCOL_SECONDARY);
    set(UCOL_NUMERIC_COLLATION, collator.numericMode() ? UCOL_ON : UCOL_OFF);
    set(UCOL_ALTERNATE_HANDLING, collator.ignorePunctuation() ? UCOL_SHIFTED : UCOL_NON_IGNORABLE);
    return opened;
}

// Every caption's sort key, one after another, each ended by a zero byte and holding no other:
// keys compare as C strings, as QCollatorSortKey compares them.
class SortKeys {
public:
    SortKeys(const QCollator& collator, size_t count) : collator_(OpenLike(collator, keyless_)) {
        bytes_.reserve(count * 24);
    }

    // Where the key of caption starts.
    uint32_t Add(const std::string& caption) {
        const auto start = static_cast<uint32_t>(bytes_.size());
        const QString text = BytesToDisplay(caption);
        if (collator_) {
            AppendIcuKey(text);
        } else if (!keyless_) {
            const QByteArray utf8 = text.toUtf8();
            bytes_.append(utf8.constData(), std::strlen(utf8.constData()));
        }
        bytes_.push_back('\0');
        return start;
    }

    const char* At(uint32_t start) const { return bytes_.data() + start; }

    // Takes the keys of other in after these; where they start now.
    uint32_t Append(const SortKeys& other) {
        const auto start = static_cast<uint32_t>(bytes_.size());
        bytes_ += other.bytes_;
        return start;
    }

private:
    void AppendIcuKey(const QString& text) {
        const auto* units = reinterpret_cast<const UChar*>(text.utf16());
        const auto length = static_cast<int32_t>(text.size());
        const size_t start = bytes_.size();
        bytes_.resize(start + 16 + static_cast<size_t>(length) * 2);
        auto room = static_cast<int32_t>(bytes_.size() - start);
        int32_t size = ucol_getSortKey(collator_.get(), units, length, Room(start), room);
        if (size > room) {
            bytes_.resize(start + static_cast<size_t>(size));
            size = ucol_getSortKey(collator_.get(), units, length, Room(start), size);
        }
        // The key's own zero byte goes; Add ends every key alike.
        bytes_.resize(start + static_cast<size_t>(std::max(size - 1, 0)));
    }

    uint8_t* Room(size_t start) { return reinterpret_cast<uint8_t*>(bytes_.data() + start); }

    bool keyless_ = false;
    Collator collator_;
    std::string bytes_;
};

// A row to sort: its key's first eight bytes as one number, so that most comparisons touch
// nothing else, then where the whole key is and where the row was.
struct SortEntry {
    uint64_t head;
    uint32_t key;
    uint32_t row;
};

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

unsigned UpperAscii(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte;
}

// Sorts entries by their keys and then by row. Many captions share their first letters, so a
// comparison of whole keys would mostly go through the same bytes again: the entries are split
// three ways on eight bytes of their keys at a time (a multikey quicksort), and only those
// equal in them go on to the next eight bytes.
class EntrySorter {
public:
    explicit EntrySorter(const SortKeys& keys) : keys_(keys) {}

    // Every entry's head holds the first eight bytes of its key; afterwards, those of a later
    // place, until PutHeadsBack.
    void Sort(SortEntry* first, SortEntry* last) const {
        int budget = 2;  // against pivots picked badly, as an introsort limits its depth
        for (auto size = last - first; size > 1; size >>= 1) {
            budget += 2;
        }
        SortFrom(first, last, 0, budget);
    }

    void PutHeadsBack(SortEntry* first, SortEntry* last) const {
        for (SortEntry* entry = first; entry != last; ++entry) {
            entry->head = HeadOf(keys_.At(entry->key));
        }
    }

private:
    static constexpr ptrdiff_t kFewEntries = 16;

    auto ByKeyFrom(size_t depth) const {
        return [this, depth](const SortEntry& a, const SortEntry& b) {
            if (a.head != b.head) {
                return a.head < b.head;
            }
            if ((a.head & 0xFF) != 0) {
                const int rest = std::strcmp(keys_.At(a.key) + depth + 8, keys_.At(b.key) + depth + 8);
                if (rest != 0) {
                    return rest < 0;
                }
            }
            return a.row < b.row;
        };
    }

    // The entries' keys agree before depth; their heads hold the eight bytes from there.
    void SortFrom(SortEntry* first, SortEntry* last, size_t depth, int budget) const {
        while (last - first > kFewEntries) {
            if (budget-- == 0) {
                std::sort(first, last, ByKeyFrom(depth));
                return;
            }
            const uint64_t pivot = MedianHead(first, last);
            SortEntry* less = first;
            SortEntry* more = last;
            for (SortEntry* entry = first; entry < more;) {
                if (entry->head < pivot) {
                    std::swap(*less++, *entry++);
                } else if (entry->head > pivot) {
                    std::swap(*entry, *--more);
                } else {
                    ++entry;
                }
            }
            SortFrom(first, less, depth, budget);
            SortFrom(more, last, depth, budget);
            if ((pivot & 0xFF) == 0) {
                // Their keys ended among these bytes: they are equal, and go by row.
                std::sort(less, more, [](const SortEntry& a, const SortEntry& b) { return a.row < b.row; });
                return;
            }
            depth += 8;
            for (SortEntry* entry = less; entry != more; ++entry) {
                entry->head = HeadOf(keys_.At(entry->key) + depth);
            }
            first = less;
            last = more;
        }
        std::sort(first, last, ByKeyFrom(depth));
    }

    uint64_t MedianHead(const SortEntry* first, const SortEntry* last) const {
        const uint64_t a = first->head;
        const uint64_t b = first[(last - first) / 2].head;
        const uint64_t c = last[-1].head;
        return std::max(std::min(a, b), std::min(std::max(a, b), c));
    }

    const SortKeys& keys_;
};

// The rows from first to last, each with its key.
std::vector<SortEntry> KeyRows(const std::vector<MemberRow>& rows, size_t first, size_t last,
                               SortKeys& keys) {
    std::vector<SortEntry> entries;
    entries.reserve(last - first);
    for (size_t row = first; row < last; ++row) {
        const uint32_t key = keys.Add(rows[row].Login());
        entries.push_back({HeadOf(keys.At(key)), key, static_cast<uint32_t>(row)});
    }
    return entries;
}

}  // namespace

// Two halves are keyed and sorted side by side, each with a collator of its own, and then
// merged; equal keys fall back on the row, so the order is the one a single sort gives.
std::vector<uint32_t> RowsInCaptionOrder(const std::vector<MemberRow>& rows, const QCollator& collator) {
    const size_t half = rows.size() / 2;
    SortKeys keys(collator, half);
    SortKeys laterKeys(collator, rows.size() - half);
    const auto before = [&keys](const SortEntry& a, const SortEntry& b) {
        if (a.head != b.head) {
            return a.head < b.head;
        }
        // The same eight bytes and no zero among them: the keys go on past them.
        if ((a.head & 0xFF) != 0) {
            const int rest = std::strcmp(keys.At(a.key) + 8, keys.At(b.key) + 8);
            if (rest != 0) {
                return rest < 0;
            }
        }
        return a.row < b.row;
    };
    // A thread costs more than a few thousand rows do.
    const auto launch = rows.size() >= 2048 ? std::launch::async : std::launch::deferred;
    auto laterEntries = std::async(launch, [&] { return KeyRows(rows, half, rows.size(), laterKeys); });
    std::vector<SortEntry> entries = KeyRows(rows, 0, half, keys);
    std::vector<SortEntry> later = laterEntries.get();
    const uint32_t shift = keys.Append(laterKeys);
    for (SortEntry& entry : later) {
        entry.key += shift;
    }
    const EntrySorter sorter(keys);
    const auto sort = [&sorter](std::vector<SortEntry>& half) {
        sorter.Sort(half.data(), half.data() + half.size());
        sorter.PutHeadsBack(half.data(), half.data() + half.size());
    };
    auto laterSorted = std::async(launch, [&] { sort(later); });
    sort(entries);
    laterSorted.get();

    std::vector<uint32_t> order;
    order.reserve(rows.size());
    auto first = entries.begin();
    auto second = later.begin();
    while (first != entries.end() || second != later.end()) {
        const bool takeSecond = first == entries.end() || (second != later.end() && before(*second, *first));
        order.push_back(takeSecond ? (second++)->row : (first++)->row);
    }
    return order;
}

void SortRowsByCaption(std::vector<MemberRow>& rows, const QCollator& collator) {
    std::vector<MemberRow> sorted;
    sorted.reserve(rows.size());
    for (const uint32_t row : RowsInCaptionOrder(rows, collator)) {
        sorted.push_back(std::move(rows[row]));
    }
    rows = std::move(sorted);
}

uint64_t FoldedHead(std::string_view text) {
    uint64_t head = 0;
    for (size_t i = 0; i < 8; ++i) {
        head = (head << 8) | (i < text.size() ? UpperAscii(text[i]) : 0U);
    }
    return head;
}

int CompareTextAscii(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int difference = static_cast<int>(UpperAscii(a[i])) - static_cast<int>(UpperAscii(b[i]));
        if (difference != 0) {
            return difference;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

#include "util/PageKindChoice.hpp"

// Memory for the few blocks that grow with the member list (the records, their order and
// index, the rows and their sort keys). A million members make a quarter of a gigabyte of them,
// all of it touched for the first time during the login, and a first touch costs the kernel a
// fault per 4 KiB page. Blocks of at least kOwnMappingBytes get a mapping of their own, laid out
// on large-page boundaries and advised for large pages, which take one fault per 2 MiB where the
// kernel offers them (transparent huge pages, "always" or "madvise"), as long as they are the
// cheaper kind here: the first touches of the blocks' first pages are timed as the blocks come,
// and while a large page costs more per 4 KiB than a small one, new mappings are advised against
// large pages instead (PageKindChoice). Where the kernel offers none, the mapping is an ordinary
// one, as the C library would have made for a block of that size. Smaller blocks come from the
// heap as usual.
namespace large_pages {

inline constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;
inline constexpr std::size_t kOwnMappingBytes = std::size_t{1} << 20;

// The bytes a block asked for with bytes gets: a mapping of its own is whole large pages, so that
// the last one is a large page too, and a block that grows (Grow) has room for them all.
std::size_t RoomFor(std::size_t bytes);
// usedSoon: how many of the bytes, from the first, the caller fills at once; the timings of the
// page choice touch no page beyond them but the first. A vector that doubles fills half the room
// it asks for; an array whose objects are made one by one as needed fills nothing yet.
// Throws std::bad_alloc when there is no memory.
void* Allocate(std::size_t bytes, std::size_t usedSoon);
inline void* Allocate(std::size_t bytes) {
    return Allocate(bytes, bytes / 2);
}
// The block made larger, its bytes kept; it may move. A block with a mapping of its own keeps
// its pages, which move with it untouched: growing a large block costs only its new room.
// Throws std::bad_alloc, the block left as it was, when there is no memory.
void* Grow(void* block, std::size_t bytes, std::size_t grownBytes);
// bytes: as given to Allocate or Grow.
void Release(void* block, std::size_t bytes) noexcept;

// kMeasured unless told otherwise; setting it starts the timings afresh. For benchmarks and tests,
// which need a kind whatever it costs on the machine they run on.
void SetPagePolicy(PagePolicy policy);

// What the choice has been so far in this process.
struct PageChoiceReport {
    PagePolicy policy = PagePolicy::kMeasured;
    bool largePagesOffered = false;  // transparent_hugepage/enabled is not "never"
    PageCosts costs;
    int largeMappings = 0;  // mappings advised for large pages
    int smallMappings = 0;  // and against them
    PageKind lastKind = PageKind::kLarge;
    // The first timings of large pages, per 4 KiB, in the order taken.
    static constexpr int kKeptSamples = 64;
    double largeSamplesUsPer4Kb[kKeptSamples] = {};
    double largeSamplesUsPer4KbTotal = 0;  // of every timing, for their plain mean
};
PageChoiceReport CurrentPageChoice();

}  // namespace large_pages

// A standard allocator over large_pages, for containers that grow with the member list.
template <class T>
class LargePageAllocator {
public:
    using value_type = T;

    LargePageAllocator() = default;
    template <class U>
    explicit(false) LargePageAllocator(const LargePageAllocator<U>& /*other*/) noexcept {}

    T* allocate(std::size_t count) {
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(large_pages::Allocate(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t count) noexcept { large_pages::Release(block, count * sizeof(T)); }

    friend bool operator==(const LargePageAllocator& /*a*/, const LargePageAllocator& /*b*/) { return true; }
};

template <class T>
using LargeVector = std::vector<T, LargePageAllocator<T>>;

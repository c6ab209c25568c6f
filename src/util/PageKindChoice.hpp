#pragma once

// Which kind of page the large blocks of memory (LargePages) are given, decided by what a first
// touch of each kind has cost so far in this process. A large page takes one fault for 2 MiB
// instead of 512, which is cheaper wherever the kernel has one ready; but on some virtual
// machines a large page the host has not backed yet costs tens of microseconds per 4 KiB, many
// times a small page's cost. Nothing here touches memory: the costs come from the allocator.
#include <cstddef>

namespace large_pages {

enum class PageKind { kSmall, kLarge };

// kMeasured: chosen by the costs; the others force a kind, whatever it costs.
enum class PagePolicy { kMeasured, kLarge, kSmall };

struct PageCosts {
    double smallUsPer4Kb = 0;  // running estimate of the first touch of a small page
    int smallSamples = 0;
    double largeUsPer4Kb = 0;  // running estimate of a large page's first touch, per 4 KiB of it
    int largeSamples = 0;
    // Mappings given small pages since the last large page was timed.
    int smallMappingsSinceLargeSample = 0;
};

// After this many mappings of small pages, a large page is tried again: what the host charges for
// one changes with the memory it has lately backed. Only on a mapping whose new room is at most
// kRetryLargeRoomBytes (four large pages), so that a try costs a few dear pages at worst, not a
// whole large block of them.
inline constexpr int kRetryLargeAfterMappings = 8;
inline constexpr std::size_t kRetryLargeRoomBytes = std::size_t{8} << 20;

// newRoomBytes: what the next mapping adds, the memory the choice is for.
PageKind ChoosePageKind(const PageCosts& costs, std::size_t newRoomBytes);

// The costs with one more timing: a running mean of the small pages (their cost is steady), and
// for large pages a mean leaning on the latest timing, since their cost jumps between a page the
// host has backed already and a fresh one.
PageCosts WithSmallSample(PageCosts costs, double usPer4Kb);
PageCosts WithLargeSample(PageCosts costs, double usPer4Kb);
PageCosts AfterSmallMapping(PageCosts costs);

}  // namespace large_pages

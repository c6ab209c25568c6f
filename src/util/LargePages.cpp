#include "util/LargePages.hpp"

#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>

namespace large_pages {

namespace {

std::size_t RoundUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

bool HasOwnMapping(std::size_t bytes) {
    return bytes >= kOwnMappingBytes;
}

// Whole large pages: the mappings of a growing block then stay on large-page boundaries from end
// to end, and a move (mremap) takes whole pages.
std::size_t MappedLength(std::size_t bytes) {
    return RoundUp(bytes, kLargePageBytes);
}

void* FromHeap(std::size_t bytes) {
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

constexpr std::size_t kSmallPageBytes = 4096;
constexpr double kSmallPagesInLarge = static_cast<double>(kLargePageBytes / kSmallPageBytes);
// Small pages timed for the baseline: a few, so that one slow fault does not decide.
constexpr std::size_t kSmallPagesTimed = 8;
// Large pages timed at most in one mapping.
constexpr std::size_t kLargePagesTimed = 4;

bool KernelOffersLargePages() {
    std::ifstream file("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    return std::getline(file, line) && line.find("[never]") == std::string::npos;
}

// The choice of page, shared by every thread that allocates.
struct Choice {
    std::mutex mutex;
    PageChoiceReport report;

    Choice() { report.largePagesOffered = KernelOffersLargePages(); }

    bool Measuring() const { return report.policy == PagePolicy::kMeasured && report.largePagesOffered; }
};

Choice& TheChoice() {
    static Choice choice;
    return choice;
}

// The kind of the next mapping, and whether its first touches are to be timed.
struct Decision {
    PageKind kind = PageKind::kLarge;
    bool measure = false;
    bool needsSmallBaseline = false;
};

// newRoom: the bytes the mapping adds to what its block had.
Decision NextMapping(std::size_t newRoom) {
    Choice& choice = TheChoice();
    const std::lock_guard<std::mutex> lock(choice.mutex);
    PageChoiceReport& report = choice.report;
    Decision decision;
    switch (report.policy) {
        case PagePolicy::kLarge:
            decision.kind = PageKind::kLarge;
            break;
        case PagePolicy::kSmall:
            decision.kind = PageKind::kSmall;
            break;
        case PagePolicy::kMeasured:
            decision.kind = choice.Measuring() ? ChoosePageKind(report.costs, newRoom) : PageKind::kLarge;
            decision.measure = choice.Measuring();
            decision.needsSmallBaseline = decision.measure && report.costs.smallSamples == 0;
            break;
    }
    report.lastKind = decision.kind;
    ++(decision.kind == PageKind::kLarge ? report.largeMappings : report.smallMappings);
    if (decision.measure && decision.kind == PageKind::kSmall) {
        report.costs = AfterSmallMapping(report.costs);
    }
    return decision;
}

void RecordSmall(double usPer4Kb) {
    Choice& choice = TheChoice();
    const std::lock_guard<std::mutex> lock(choice.mutex);
    choice.report.costs = WithSmallSample(choice.report.costs, usPer4Kb);
}

void RecordLarge(double usPer4Kb) {
    Choice& choice = TheChoice();
    const std::lock_guard<std::mutex> lock(choice.mutex);
    PageChoiceReport& report = choice.report;
    if (report.costs.largeSamples < PageChoiceReport::kKeptSamples) {
        report.largeSamplesUsPer4Kb[report.costs.largeSamples] = usPer4Kb;
    }
    report.largeSamplesUsPer4KbTotal += usPer4Kb;
    report.costs = WithLargeSample(report.costs, usPer4Kb);
}

// Only advice: a kernel without large pages, or with them turned off, refuses it, and the block
// is then an ordinary mapping. Against large pages rather than merely not for them, so that small
// pages are what a kernel handing large ones to every mapping ("always") gives too.
void Advise(std::uint8_t* block, std::size_t length, PageKind kind) {
    madvise(block, length, kind == PageKind::kLarge ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
}

// What the calling thread has been through so far.
struct ThreadCounters {
    long minorFaults = 0;
    long switches = 0;  // voluntary and not: a timing across one is of other work too

    static ThreadCounters Now() {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return {usage.ru_minflt, usage.ru_nvcsw + usage.ru_nivcsw};
    }
};

struct Touched {
    double us = 0;     // wall time
    double cpuUs = 0;  // the thread's processor time, the kernel's work for it included
    long faults = 0;
    bool alone = false;  // the thread ran on its own throughout
};

double ThreadCpuUs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// Writes a zero (the value a fresh page holds) to the 4 KiB page at page, so that the kernel gives
// it if it is not there yet.
Touched TimedFirstTouch(std::uint8_t* page) {
    const ThreadCounters before = ThreadCounters::Now();
    const double cpuBefore = ThreadCpuUs();
    const auto start = std::chrono::steady_clock::now();
    *static_cast<volatile std::uint8_t*>(page) = 0;
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    const double cpuUs = ThreadCpuUs() - cpuBefore;
    const ThreadCounters after = ThreadCounters::Now();
    return {us, cpuUs, after.minorFaults - before.minorFaults, after.switches == before.switches};
}

// The first touch of the first 4 KiB at page, a large-page boundary of a mapping advised for large
// pages; its second 4 KiB is touched after the timing to tell whether the kernel gave a large page
// (one fault for both) or fell back to small ones (a fault each). Counted in the thread's processor
// time, not wall time, and kept when the thread was switched out meanwhile: a large page the host
// has to back takes milliseconds, in which a busy machine often switches, so that leaving those
// timings out would leave out the dear pages.
void TimeLargePage(std::uint8_t* page) {
    const Touched first = TimedFirstTouch(page);
    const Touched second = TimedFirstTouch(page + kSmallPageBytes);
    if (first.faults != 1) {
        return;  // already there: nothing learned
    }
    if (second.faults == 0) {
        RecordLarge(first.cpuUs / kSmallPagesInLarge);
    } else if (first.alone) {
        RecordSmall(first.us);
    }
}

// The median of a few small pages' first touches: the first of a mapping may take the kernel a
// page table too, and any may be held up by an interrupt.
void TimeSmallPages(std::uint8_t* first) {
    std::array<double, kSmallPagesTimed> us{};
    std::size_t timed = 0;
    for (std::size_t page = 0; page < kSmallPagesTimed; ++page) {
        const Touched touched = TimedFirstTouch(first + page * kSmallPageBytes);
        if (touched.faults == 1 && touched.alone) {
            us[timed++] = touched.us;
        }
    }
    if (timed == 0) {
        return;
    }
    std::nth_element(us.begin(), us.begin() + timed / 2, us.begin() + timed);
    RecordSmall(us[timed / 2]);
}

// The small pages' baseline, timed on a few pages of a mapping of their own, given back at once.
// Not on the first block's own pages: a range of a large page's size that holds one small page
// can never take a large one, so that the block's first 2 MiB would all be small pages, 512
// faults instead of one, for the sake of a few timings.
void TimeSmallBaseline() {
    constexpr std::size_t kLength = kSmallPagesTimed * kSmallPageBytes;
    void* const scratch = mmap(nullptr, kLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (scratch == MAP_FAILED) {
        return;
    }
    Advise(static_cast<std::uint8_t*>(scratch), kLength, PageKind::kSmall);
    TimeSmallPages(static_cast<std::uint8_t*>(scratch));
    munmap(scratch, kLength);
}

// The large pages from first on that lie wholly before usedEnd, a few of them, and the one at
// first in any case. Not the first alone: a mapping's first page is often one the process has
// just given back, still backed by the host and cheap, while the pages after it are fresh.
void TimeLargePages(std::uint8_t* block, std::size_t first, std::size_t usedEnd) {
    TimeLargePage(block + first);
    std::size_t offset = first + kLargePageBytes;
    for (std::size_t timed = 1; timed < kLargePagesTimed && offset + kLargePageBytes <= usedEnd; ++timed) {
        TimeLargePage(block + offset);
        offset += kLargePageBytes;
    }
}

// The first touches of a new mapping's fresh pages from fresh on (a large-page boundary), timed
// for the choice of the next mappings. Only pages the block is made for are touched: its first,
// where its use begins, and others only within usedEnd, where the room its caller fills at once
// ends (for a vector that doubles, the first half of the room it asked for beyond what it held).
// The timing then costs no touch the block would not take, but for the small pages' baseline,
// once in the process.
void TimeFirstTouches(std::uint8_t* block, std::size_t length, std::size_t fresh, std::size_t usedEnd,
                      const Decision& decision) {
    if (!decision.measure || fresh >= length) {
        return;
    }
    if (decision.kind == PageKind::kSmall) {
        TimeSmallPages(block + fresh);
        return;
    }
    if (decision.needsSmallBaseline) {
        TimeSmallBaseline();
    }
    TimeLargePages(block, fresh, usedEnd);
}

// Where the first half of the room asked for beyond bytes ends.
std::size_t FirstHalfOfNewRoom(std::size_t bytes, std::size_t grownBytes) {
    return bytes + (grownBytes - bytes) / 2;
}

// A mapping of length bytes starting on a large-page boundary, advised for the kind of page given.
std::uint8_t* AlignedMapping(std::size_t length, PageKind kind) {
    // Mapped with a large page's worth to spare, so that the block can start on a boundary; the
    // spare ends are given back at once.
    const std::size_t spare = kLargePageBytes;
    void* mapped = mmap(nullptr, length + spare, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* const first = static_cast<std::uint8_t*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(first);
    const std::size_t head = RoundUp(address, kLargePageBytes) - address;
    std::uint8_t* const block = first + head;
    if (head > 0) {
        munmap(first, head);
    }
    if (spare > head) {
        munmap(block + length, spare - head);
    }
    Advise(block, length, kind);
    return block;
}

}  // namespace

std::size_t RoomFor(std::size_t bytes) {
    return HasOwnMapping(bytes) ? MappedLength(bytes) : bytes;
}

void* Allocate(std::size_t bytes, std::size_t usedSoon) {
    if (!HasOwnMapping(bytes)) {
        return FromHeap(bytes);
    }
    const std::size_t length = MappedLength(bytes);
    const Decision decision = NextMapping(length);
    std::uint8_t* const block = AlignedMapping(length, decision.kind);
    TimeFirstTouches(block, length, 0, std::min(usedSoon, bytes), decision);
    return block;
}

void* Grow(void* block, std::size_t bytes, std::size_t grownBytes) {
    if (block == nullptr) {
        return Allocate(grownBytes);
    }
    if (!HasOwnMapping(grownBytes)) {
        void* grown = std::realloc(block, grownBytes);
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        return grown;
    }
    const std::size_t grownLength = MappedLength(grownBytes);
    const Decision decision = NextMapping(grownLength - (HasOwnMapping(bytes) ? MappedLength(bytes) : 0));
    std::uint8_t* const grown = AlignedMapping(grownLength, decision.kind);
    if (!HasOwnMapping(bytes)) {
        TimeFirstTouches(grown, grownLength, 0, FirstHalfOfNewRoom(bytes, grownBytes), decision);
        std::memcpy(grown, block, bytes);
        std::free(block);
        return grown;
    }
    // The old mapping is moved onto the new one's place and made as long, both on large-page
    // boundaries, so that large pages move whole; nothing is copied. Moved and grown in one call,
    // it stays one mapping (moved alone, its pages would stay a mapping apart from the new room,
    // which the kernel does not merge), so that the next growth can move it in one piece too.
    const std::size_t length = MappedLength(bytes);
    if (mremap(block, length, grownLength, MREMAP_MAYMOVE | MREMAP_FIXED, grown) == MAP_FAILED) {
        std::memcpy(grown, block, bytes);
        munmap(block, length);
    } else {
        Advise(grown, grownLength, decision.kind);  // the moved mapping has the old advice
    }
    TimeFirstTouches(grown, grownLength, length, FirstHalfOfNewRoom(bytes, grownBytes), decision);
    return grown;
}

void Release(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) {
        return;
    }
    if (HasOwnMapping(bytes)) {
        munmap(block, MappedLength(bytes));
    } else {
        std::free(block);
    }
}

void SetPagePolicy(PagePolicy policy) {
    Choice& choice = TheChoice();
    const std::lock_guard<std::mutex> lock(choice.mutex);
    const bool offered = choice.report.largePagesOffered;
    choice.report = PageChoiceReport();
    choice.report.policy = policy;
    choice.report.largePagesOffered = offered;
}

PageChoiceReport CurrentPageChoice() {
    Choice& choice = TheChoice();
    const std::lock_guard<std::mutex> lock(choice.mutex);
    return choice.report;
}

}  // namespace large_pages

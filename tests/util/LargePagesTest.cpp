#include <sys/prctl.h>
#include <sys/resource.h>

#include <cstdint>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "util/GrowingArray.hpp"
#include "util/LargeArray.hpp"
#include "util/LargePages.hpp"

namespace {

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

// The kernel's account of the mapping that holds address, from /proc/self/smaps.
struct Mapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    std::string flags;     // VmFlags: "hg" advised for large pages, "nh" against them
    int thpEligible = -1;  // whether the kernel would give it large pages
    long anonHugeKb = -1;  // large pages it holds
    long rssKb = -1;       // memory it holds, of either kind

    bool Advised(const char* flag) const {
        return (" " + flags + " ").find(std::string(" ") + flag + " ") != std::string::npos;
    }
};

Mapping MappingOf(const void* address) {
    const auto wanted = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    Mapping mapping;
    bool inside = false;
    while (std::getline(smaps, line)) {
        const std::size_t dash = line.find('-');
        const std::size_t space = line.find(' ');
        if (dash != std::string::npos && space != std::string::npos && dash < space &&
            line.find(':') > space) {  // a mapping's own line: "start-end perms ..."
            if (inside) {
                break;
            }
            const std::uintptr_t start = std::stoull(line.substr(0, dash), nullptr, 16);
            const std::uintptr_t end = std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16);
            inside = start <= wanted && wanted < end;
            if (inside) {
                mapping.start = start;
                mapping.end = end;
            }
        } else if (inside) {
            std::istringstream fields(line);
            std::string name;
            fields >> name;
            if (name == "VmFlags:") {
                std::getline(fields, mapping.flags);
            } else if (name == "THPeligible:") {
                fields >> mapping.thpEligible;
            } else if (name == "AnonHugePages:") {
                fields >> mapping.anonHugeKb;
            } else if (name == "Rss:") {
                fields >> mapping.rssKb;
            }
        }
    }
    return mapping;
}

bool KernelOffersLargePages() {
    return large_pages::CurrentPageChoice().largePagesOffered;
}

// Leaves the process measuring again, as the other tests expect it.
struct PolicyForTest {
    explicit PolicyForTest(large_pages::PagePolicy policy) { large_pages::SetPagePolicy(policy); }
    ~PolicyForTest() { large_pages::SetPagePolicy(large_pages::PagePolicy::kMeasured); }
    PolicyForTest(const PolicyForTest&) = delete;
    PolicyForTest& operator=(const PolicyForTest&) = delete;
};

// Each forced kind on a real mapping, touched from end to end: the advice the kernel holds for it,
// and the pages it gave.
TEST(LargePages, AForcedKindOfPageIsWhatTheKernelGives) {
    struct Case {
        large_pages::PagePolicy policy;
        const char* flag;
        const char* notFlag;
        bool large;
    };
    const Case cases[] = {
        {large_pages::PagePolicy::kLarge, "hg", "nh", true},
        {large_pages::PagePolicy::kSmall, "nh", "hg", false},
    };
    for (const Case& c : cases) {
        const PolicyForTest policy(c.policy);
        constexpr std::size_t kBytes = 8 * kMiB;
        auto* const block = static_cast<volatile char*>(large_pages::Allocate(kBytes));
        for (std::size_t offset = 0; offset < kBytes; offset += 4096) {
            block[offset] = 1;
        }
        const Mapping mapping = MappingOf(const_cast<char*>(block));
        EXPECT_LE(mapping.start, reinterpret_cast<std::uintptr_t>(block)) << c.flag;
        EXPECT_GE(mapping.end, reinterpret_cast<std::uintptr_t>(block) + kBytes) << c.flag << ": one mapping";
        EXPECT_TRUE(mapping.Advised(c.flag)) << mapping.flags;
        EXPECT_FALSE(mapping.Advised(c.notFlag)) << mapping.flags;
        const large_pages::PageChoiceReport report = large_pages::CurrentPageChoice();
        EXPECT_EQ(report.costs.largeSamples + report.costs.smallSamples, 0) << "a forced kind times nothing";
        if (KernelOffersLargePages()) {
            EXPECT_EQ(mapping.thpEligible, c.large ? 1 : 0) << c.flag;
            if (c.large) {
                EXPECT_GT(mapping.anonHugeKb, 0) << "8 MiB advised and touched, no large page given";
            } else {
                EXPECT_EQ(mapping.anonHugeKb, 0);
            }
        }
        large_pages::Release(const_cast<char*>(block), kBytes);
    }
    if (!KernelOffersLargePages()) {
        GTEST_SKIP() << "transparent_hugepage is \"never\": only the advice was checked";
    }
}

// A block that grows while the kind changes stays one mapping of the latest kind, so that its next
// growth moves its pages in one piece instead of copying them, and keeps its values.
TEST(LargePages, AGrowingBlockIsOneMappingOfTheLatestKind) {
    struct Case {
        large_pages::PagePolicy policy;
        std::size_t bytes;
        const char* flag;
    };
    const Case cases[] = {
        {large_pages::PagePolicy::kLarge, 4 * kMiB, "hg"},
        {large_pages::PagePolicy::kSmall, 8 * kMiB, "nh"},
        {large_pages::PagePolicy::kLarge, 16 * kMiB, "hg"},
        {large_pages::PagePolicy::kMeasured, 32 * kMiB, nullptr},
    };
    GrowingArray<std::uint32_t> values;
    for (const Case& c : cases) {
        const PolicyForTest policy(c.policy);
        const std::size_t count = c.bytes / sizeof(std::uint32_t);
        const std::size_t had = values.size();
        values.resize(count);
        for (std::size_t i = had; i < count; ++i) {
            values[i] = static_cast<std::uint32_t>(i * 2654435761u);
        }
        const Mapping mapping = MappingOf(values.data());
        EXPECT_EQ(mapping.start, reinterpret_cast<std::uintptr_t>(values.data())) << c.bytes;
        EXPECT_GE(mapping.end, reinterpret_cast<std::uintptr_t>(values.data()) + c.bytes) << c.bytes;
        const char* flag = c.flag;
        if (flag == nullptr) {
            flag = large_pages::CurrentPageChoice().lastKind == large_pages::PageKind::kLarge ? "hg" : "nh";
        }
        EXPECT_TRUE(mapping.Advised(flag)) << c.bytes << ": " << mapping.flags;
        bool kept = true;
        for (std::size_t i = 0; i < count; ++i) {
            kept = kept && values[i] == static_cast<std::uint32_t>(i * 2654435761u);
        }
        EXPECT_TRUE(kept) << c.bytes;
    }
}

// Measured: every mapping is advised as the choice of its moment says, and timing a mapping's
// first pages leaves them as fresh memory is, zero.
TEST(LargePages, MeasuredMappingsAreAdvisedAsChosenAndTimingLeavesThemZero) {
    const PolicyForTest policy(large_pages::PagePolicy::kMeasured);
    constexpr int kBlocks = 12;
    constexpr std::size_t kBytes = 6 * kMiB;
    for (int i = 0; i < kBlocks; ++i) {
        auto* const block = static_cast<unsigned char*>(large_pages::Allocate(kBytes));
        const large_pages::PageChoiceReport report = large_pages::CurrentPageChoice();
        const Mapping mapping = MappingOf(block);
        EXPECT_TRUE(mapping.Advised(report.lastKind == large_pages::PageKind::kLarge ? "hg" : "nh"))
            << i << ": " << mapping.flags;
        bool zero = true;
        for (std::size_t offset = 0; offset < kBytes; offset += 512) {
            zero = zero && block[offset] == 0;
        }
        EXPECT_TRUE(zero) << i;
        large_pages::Release(block, kBytes);
    }
    const large_pages::PageChoiceReport report = large_pages::CurrentPageChoice();
    EXPECT_EQ(report.largeMappings + report.smallMappings, kBlocks);
    if (!KernelOffersLargePages()) {
        EXPECT_EQ(report.largeMappings, kBlocks) << "with none offered, advised as ever";
        EXPECT_EQ(report.costs.smallSamples + report.costs.largeSamples, 0);
        GTEST_SKIP() << "transparent_hugepage is \"never\": nothing to time";
    }
    EXPECT_GE(report.costs.smallSamples, 1) << "the first mapping gives the small pages' baseline";
    EXPECT_GE(report.costs.largeSamples + report.costs.smallSamples, kBlocks / 2)
        << "the mappings' first pages are timed";
}

// The process's first measured mapping gives the small pages' baseline, and still holds large
// pages from its start: a small page inside a large page's range would keep that whole range to
// small pages. Each size: a first large page the block fills only partly, or wholly and more.
TEST(LargePages, TheFirstMeasuredMappingHoldsLargePagesFromItsStart) {
    if (!KernelOffersLargePages()) {
        GTEST_SKIP() << "transparent_hugepage is \"never\"";
    }
    for (const std::size_t bytes : {std::size_t{1} * kMiB + 4096, 4 * kMiB}) {
        const PolicyForTest policy(large_pages::PagePolicy::kMeasured);  // afresh: no timings yet
        auto* const block = static_cast<volatile char*>(large_pages::Allocate(bytes));
        const large_pages::PageChoiceReport report = large_pages::CurrentPageChoice();
        EXPECT_EQ(report.costs.smallSamples, 1) << bytes << ": the baseline is timed";
        ASSERT_EQ(report.lastKind, large_pages::PageKind::kLarge) << "nothing timed before it";
        for (std::size_t offset = 0; offset < bytes; offset += 4096) {
            block[offset] = 1;
        }
        const Mapping mapping = MappingOf(const_cast<char*>(block));
        EXPECT_EQ(mapping.anonHugeKb, static_cast<long>(large_pages::RoomFor(bytes) / 1024))
            << bytes << ": some of it small pages";
        large_pages::Release(const_cast<char*>(block), bytes);
    }
}

TEST(LargePages, BlocksOfTheirOwnStartOnALargePageAndHoldWholeLargePages) {
    struct Case {
        std::size_t bytes;
        std::size_t room;
        bool aligned;
    };
    const Case cases[] = {
        {64, 64, false},                      // from the heap, as asked
        {kMiB - 1, kMiB - 1, false},          // just under: still the heap
        {kMiB, 2 * kMiB, true},               // a mapping of one large page
        {2 * kMiB + 1, 4 * kMiB, true},       // one byte over takes another whole page
        {13 * 2 * kMiB, 13 * 2 * kMiB, true}  // an exact number of pages, as the records' blocks are
    };
    for (const Case& c : cases) {
        EXPECT_EQ(large_pages::RoomFor(c.bytes), c.room) << c.bytes;
        void* block = large_pages::Allocate(c.bytes);
        if (c.aligned) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % large_pages::kLargePageBytes, 0u) << c.bytes;
        }
        static_cast<char*>(block)[c.room - 1] = 1;  // the whole room is usable
        large_pages::Release(block, c.bytes);
    }
}

// Filled by push_back across every kind of growth: within the heap, from the heap into a mapping,
// and from mapping to mapping, where the pages move instead of the values.
TEST(GrowingArray, KeepsEveryValueAcrossEachKindOfGrowth) {
    for (const std::size_t count : {std::size_t{10}, std::size_t{1000}, 3 * kMiB / sizeof(uint64_t)}) {
        GrowingArray<uint64_t> values;
        for (uint64_t i = 0; i < count; ++i) {
            values.push_back(i * 2654435761u);
        }
        ASSERT_EQ(values.size(), count);
        bool allKept = true;
        for (uint64_t i = 0; i < count; ++i) {
            allKept = allKept && values[i] == i * 2654435761u;
        }
        EXPECT_TRUE(allKept) << count;
    }
}

TEST(GrowingArray, EditsAsAVectorDoes) {
    GrowingArray<int> values;
    values.resize(5);
    EXPECT_EQ(std::accumulate(values.begin(), values.end(), 0), 0) << "new values are zero";
    std::iota(values.begin(), values.end(), 1);  // 1 2 3 4 5
    values.erase(0);
    values.erase(3);
    const int more[] = {7, 8};
    values.append(more, 2);
    EXPECT_EQ(std::vector<int>(values.begin(), values.end()), (std::vector<int>{2, 3, 4, 7, 8}));

    GrowingArray<int> taken = std::move(values);
    EXPECT_EQ(taken.size(), 5u);
    EXPECT_TRUE(values.empty());  // NOLINT(bugprone-use-after-move): a moved-from array is empty
    taken.clear();
    EXPECT_TRUE(taken.empty());
}

// The point of the array: values already there are not touched again when it grows, so growing
// a full 32 MiB array to 64 MiB costs no first touch of the 32 MiB it holds. Counted in small
// pages (large ones turned off for the process), where a copy would fault 8192 times.
TEST(GrowingArray, GrowingALargeArrayMovesItsPagesWithoutTouchingThem) {
    ASSERT_EQ(prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0), 0);
    GrowingArray<char> bytes;
    bytes.resize(32 * kMiB);
    const long before = MinorFaults();
    bytes.reserve(64 * kMiB);
    const long faults = MinorFaults() - before;
    EXPECT_LT(faults, 64) << "a copy would fault every page of the 32 MiB in again";
    EXPECT_EQ(bytes[32 * kMiB - 1], 0);
    prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0);
}

struct Counted {
    static inline int alive = 0;
    Counted() { ++alive; }
    ~Counted() { --alive; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    std::string text = "made";
};

TEST(LargeArray, MakesObjectsOnlyWhenAskedAndEndsThoseItMade) {
    {
        LargeArray<Counted> many(100000);
        EXPECT_EQ(Counted::alive, 0) << "room alone makes nothing";
        many.MakeNext();
        many.MakeNext().text = "second";
        EXPECT_EQ(Counted::alive, 2);
        EXPECT_EQ(many[1].text, "second");

        LargeArray<Counted> moved = std::move(many);
        EXPECT_EQ(moved.Made(), 2u);
        EXPECT_EQ(Counted::alive, 2);
    }
    EXPECT_EQ(Counted::alive, 0);
}

// The member list's records sit in one array with room for a quarter of a million from the
// first on: a short list must still cost only the page its records are on, timings included,
// whichever kind of page the choice gives (the first mapping a process measures, and one after).
TEST(LargeArray, RoomNotUsedYetIsNotTouchedEvenByTheTimings) {
    const PolicyForTest policy(large_pages::PagePolicy::kMeasured);
    for (int i = 0; i < 2; ++i) {
        LargeArray<uint64_t> many(20 * kMiB / sizeof(uint64_t));
        many.MakeNext() = 1;
        const Mapping mapping = MappingOf(&many[0]);
        EXPECT_LE(mapping.rssKb, static_cast<long>(large_pages::kLargePageBytes / 1024))
            << i << ": pages beyond the first were touched";
    }
}

}  // namespace

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cstdint>
#include <numeric>
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

}  // namespace

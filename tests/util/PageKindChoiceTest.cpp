#include "util/PageKindChoice.hpp"

#include <gtest/gtest.h>

namespace {

using large_pages::PageCosts;
using large_pages::PageKind;

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr int kRetry = large_pages::kRetryLargeAfterMappings;

TEST(PageKindChoice, LargePagesWhileTheyCostNoMorePer4KbThanSmallOnes) {
    struct Case {
        const char* machine;
        PageCosts costs;
        std::size_t newRoom;
        PageKind chosen;
    };
    const Case cases[] = {
        {"nothing timed yet", {0, 0, 0, 0, 0}, 2 * kMiB, PageKind::kLarge},
        {"no large page timed yet", {1.5, 8, 0, 0, 3}, 2 * kMiB, PageKind::kLarge},
        {"no small page timed yet", {0, 0, 20.0, 1, 0}, 2 * kMiB, PageKind::kLarge},
        {"large pages backed already (0.25 ms each)", {1.5, 8, 0.5, 2, 0}, 2 * kMiB, PageKind::kLarge},
        {"the same, for a large block", {1.5, 8, 0.5, 2, 0}, 512 * kMiB, PageKind::kLarge},
        {"the slow machine: 17 us small, 6 us per 4 KiB large",
         {17.0, 1, 6.0, 1, 0},
         2 * kMiB,
         PageKind::kLarge},
        {"the same cost either way", {1.5, 1, 1.5, 1, 0}, 2 * kMiB, PageKind::kLarge},
        {"fresh large pages on a virtual machine (10 ms each)",
         {1.5, 8, 20.0, 3, 0},
         2 * kMiB,
         PageKind::kSmall},
        {"just dearer", {1.5, 8, 1.6, 3, 0}, 2 * kMiB, PageKind::kSmall},
        {"dearer, small pages given a while", {1.5, 8, 20.0, 3, kRetry - 1}, 2 * kMiB, PageKind::kSmall},
        {"dearer, but long since timed: tried again", {1.5, 8, 20.0, 3, kRetry}, 2 * kMiB, PageKind::kLarge},
        {"tried again on four large pages", {1.5, 8, 20.0, 3, kRetry}, 8 * kMiB, PageKind::kLarge},
        {"but not on more", {1.5, 8, 20.0, 3, kRetry}, 10 * kMiB, PageKind::kSmall},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(large_pages::ChoosePageKind(c.costs, c.newRoom), c.chosen) << c.machine;
    }
}

// The timings as a login's mappings bring them, each followed by the choice for the next mapping.
TEST(PageKindChoice, FollowsTheTimingsAsTheyCome) {
    enum class Step { kSmallSample, kLargeSample, kSmallMapping };
    struct Case {
        const char* what;
        Step step;
        double usPer4Kb;
        PageKind next;
    };
    const Case steps[] = {
        {"the baseline", Step::kSmallSample, 1.5, PageKind::kLarge},
        {"a large page handed back by an earlier program", Step::kLargeSample, 0.5, PageKind::kLarge},
        {"a fresh one, forty times dearer: the mean is above 1.5", Step::kLargeSample, 20.0,
         PageKind::kSmall},
        {"small mappings from here", Step::kSmallMapping, 0, PageKind::kSmall},
        {"the baseline again, steady", Step::kSmallSample, 1.7, PageKind::kSmall},
        {"a cheap one again: (10.25 + 0.4) / 2 still dearer", Step::kLargeSample, 0.4, PageKind::kSmall},
        {"and again: 2.86", Step::kLargeSample, 0.4, PageKind::kSmall},
        {"and again: 1.63, just above the baseline's 1.6", Step::kLargeSample, 0.4, PageKind::kSmall},
        {"and again: 1.02, the latest weighing most", Step::kLargeSample, 0.4, PageKind::kLarge},
    };
    PageCosts costs;
    for (const Case& c : steps) {
        switch (c.step) {
            case Step::kSmallSample:
                costs = large_pages::WithSmallSample(costs, c.usPer4Kb);
                break;
            case Step::kLargeSample:
                costs = large_pages::WithLargeSample(costs, c.usPer4Kb);
                break;
            case Step::kSmallMapping:
                costs = large_pages::AfterSmallMapping(costs);
                break;
        }
        EXPECT_EQ(large_pages::ChoosePageKind(costs, 4 * kMiB), c.next) << c.what;
    }
    EXPECT_DOUBLE_EQ(costs.smallUsPer4Kb, 1.6) << "small pages: the mean of their timings";
    EXPECT_EQ(costs.smallSamples, 2);
    EXPECT_EQ(costs.largeSamples, 6);
}

}  // namespace

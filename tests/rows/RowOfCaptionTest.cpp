#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "rows/RowOfCaption.hpp"
#include "util/untCalc1.hpp"

// The table kept up to date row by row must find what a walk over the rows finds, with probe
// runs that wrap around its end, rows taken out of the middle of a run, slots used again, and
// letter case mixed.
namespace {

uint32_t WalkRows(const MemberRowStore& store, const RowSlots& order, const std::string& caption) {
    for (const uint32_t slot : order) {
        if (SameTextAscii(store[slot].Login(), caption)) {
            return slot;
        }
    }
    return RowOfCaption::kNone;
}

struct WalkCase {
    const char* name;
    int names;  // how many different captions the rounds draw from
    bool duplicates;
    int rebuiltRows;
};

class RowOfCaptionTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(RowOfCaptionTest, FindsAsAWalkOverTheRows) {
    const int names = GetParam().names;
    const bool duplicates = GetParam().duplicates;
    const int rebuiltRows = GetParam().rebuiltRows;
    std::mt19937 random(static_cast<unsigned>(names) + (duplicates ? 1 : 0));
    const auto name = [&] {
        std::string caption = "Member" + std::to_string(random() % static_cast<unsigned>(names));
        caption[random() % caption.size()] ^= (random() % 2 == 0) ? 0x20 : 0;  // another letter case
        return caption;
    };
    // Rows of a rebuild first, then rows added and freed around them.
    MemberRows rebuilt;
    RowSlots order;
    for (uint32_t slot = 0; slot < static_cast<uint32_t>(rebuiltRows); ++slot) {
        rebuilt.push_back(MemberRow{name(), "", "", false});
        order.push_back(slot);
    }
    std::shuffle(order.begin(), order.end(), random);  // rows lie apart from their order
    MemberRowStore store;
    store.Replace(std::move(rebuilt));
    RowOfCaption table;
    table.Build(store, order);
    for (int round = 0; round < 6000; ++round) {
        const std::string caption = name();
        const uint32_t found = WalkRows(store, order, caption);
        if (random() % 3 != 0 && (found == RowOfCaption::kNone || duplicates)) {
            const uint32_t slot = store.Add(MemberRow{caption, "", "", false});
            order.insert(order.begin() + static_cast<long>(random() % (order.size() + 1)), slot);
            if (!table.Add(store, slot)) {
                table.Build(store, order);
            }
        } else if (found != RowOfCaption::kNone) {
            const bool rebuild = table.HasDuplicates();
            table.Remove(store, found);
            store.Free(found);
            order.erase(std::find(order.begin(), order.end(), found));
            if (rebuild) {
                table.Build(store, order);
            }
        }
        const std::string wanted = name();
        ASSERT_EQ(table.Find(store, wanted), WalkRows(store, order, wanted)) << "round " << round;
    }
    std::vector<std::string> folded;
    for (const uint32_t slot : order) {
        folded.push_back(FoldAscii(store[slot].Login()));
    }
    std::sort(folded.begin(), folded.end());
    const bool shared = std::adjacent_find(folded.begin(), folded.end()) != folded.end();
    EXPECT_EQ(table.HasDuplicates(), shared);
    if (rebuiltRows < 100) {
        EXPECT_EQ(shared, duplicates);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, RowOfCaptionTest,
    ::testing::Values(WalkCase{"FewNamesCrowdedRuns", 40, false, 20},
                      WalkCase{"ManyNamesGrowingTable", 2000, false, 20},
                      WalkCase{"TwoRowsOfOneCaption", 40, true, 20},
                      // Built in the order of the entries' homes, runs that pass the table's end go round.
                      WalkCase{"ALargeRebuildOfDifferentNames", 1000000, false, 3000},
                      WalkCase{"ALargeRebuildWithNamesRepeated", 2500, false, 3000}),
    [](const auto& info) { return std::string(info.param.name); });

// Tables of many sizes and fillings, so that some probe runs pass the table's end.
TEST(RowOfCaption, ARebuildFindsEveryRow) {
    for (uint32_t rows = 1; rows < 1500; rows += 7) {
        MemberRows rebuilt;
        RowSlots order;
        for (uint32_t slot = 0; slot < rows; ++slot) {
            // Built step by step: g++ 12 at -O3 takes a literal plus a temporary for an overlapping copy.
            std::string caption = "m";
            caption += std::to_string(slot * 7919 % 100003);
            rebuilt.push_back(MemberRow{caption, "", "", false});
            order.push_back(slot);
        }
        MemberRowStore store;
        store.Replace(std::move(rebuilt));
        RowOfCaption table;
        table.Build(store, order);
        for (uint32_t slot = 0; slot < rows; ++slot) {
            std::string caption(store[slot].Login());
            caption[0] = 'M';
            ASSERT_EQ(table.Find(store, caption), slot) << rows << " rows";
        }
        EXPECT_EQ(table.Find(store, "nobody"), RowOfCaption::kNone);
        EXPECT_FALSE(table.HasDuplicates());
    }
}

// A rebuild sorts the entries in the table's own room when it has room for twice the rows, and
// puts them in from there; rows whose homes crowd the table's last entries go round its end, and
// the entries before them land close to where they are read from.
struct CrowdedEndCase {
    const char* name;
    uint32_t rows;
    uint32_t atTheEnd;  // rows whose captions make their home among the table's last 8 entries
};

class RowOfCaptionCrowdedEndTest : public ::testing::TestWithParam<CrowdedEndCase> {};

TEST_P(RowOfCaptionCrowdedEndTest, ARebuildFindsEveryRow) {
    const uint32_t rows = GetParam().rows;
    const uint32_t atTheEnd = GetParam().atTheEnd;
    // As the table sizes itself.
    const size_t entries = std::bit_ceil(std::max<size_t>(16, size_t{rows} + rows / 3 + 1));
    std::vector<std::string> crowded;
    std::vector<std::string> others;
    for (uint32_t n = 0; crowded.size() < atTheEnd || others.size() < rows - atTheEnd; ++n) {
        std::string caption = "m";
        caption += std::to_string(n);
        const bool atEnd = (FoldedHashAscii(caption) & (entries - 1)) >= entries - 8;
        if (atEnd && crowded.size() < atTheEnd) {
            crowded.push_back(caption);
        } else if (!atEnd && others.size() < rows - atTheEnd) {
            others.push_back(caption);
        }
    }
    MemberRows rebuilt;
    RowSlots order;
    for (const auto* list : {&others, &crowded}) {
        for (const std::string& caption : *list) {
            order.push_back(static_cast<uint32_t>(rebuilt.size()));
            rebuilt.push_back(MemberRow{caption, "", "", false});
        }
    }
    MemberRowStore store;
    store.Replace(std::move(rebuilt));
    RowOfCaption table;
    table.Build(store, order);
    EXPECT_FALSE(table.HasDuplicates());
    for (uint32_t slot = 0; slot < rows; ++slot) {
        std::string caption(store[slot].Login());
        caption[0] = 'M';
        ASSERT_EQ(table.Find(store, caption), slot) << caption;
    }
    // Taking rows out shifts the runs that went round back over the end.
    for (uint32_t slot = rows - atTheEnd; slot < rows; slot += 2) {
        table.Remove(store, slot);
        store.Free(slot);
    }
    for (uint32_t slot = 0; slot < rows; ++slot) {
        const bool freed = slot >= rows - atTheEnd && (slot - (rows - atTheEnd)) % 2 == 0;
        const std::string caption =
            freed ? crowded[slot - (rows - atTheEnd)] : std::string(store[slot].Login());
        ASSERT_EQ(table.Find(store, caption), freed ? RowOfCaption::kNone : slot) << caption;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, RowOfCaptionCrowdedEndTest,
                         ::testing::Values(CrowdedEndCase{"RoomForTwiceTheRowsNoneGoRound", 1000, 6},
                                           CrowdedEndCase{"RoomForTwiceTheRowsAFewGoRound", 1000, 12},
                                           CrowdedEndCase{"RoomForTwiceTheRowsManyGoRound", 1000, 40},
                                           CrowdedEndCase{"RoomForLessThanTwiceAFewGoRound", 1400, 12},
                                           CrowdedEndCase{"ATinyTableAllAtTheEnd", 5, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

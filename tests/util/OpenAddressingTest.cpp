#include "util/OpenAddressing.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// Numbers stand for themselves; their hashes are drawn from a few values so that probe runs
// collide, grow long and pass the table's end, where freeing an entry must pull the right
// entries back across the wrap.
struct TableCase {
    const char* name;
    size_t entries;
    uint32_t hashes;  // how many different hashes the numbers draw from
    int rounds;
};

class OpenAddressingTest : public ::testing::TestWithParam<TableCase> {};

size_t Find(const std::vector<HashedNumber>& table, uint32_t number, uint32_t hash) {
    return ProbeFor(table, hash, [number](uint32_t held) { return held == number; });
}

TEST_P(OpenAddressingTest, FindsWhatWasPutInAndNotWhatWasFreed) {
    const TableCase& param = GetParam();
    std::mt19937 random(static_cast<unsigned>(param.entries * 31 + param.hashes));
    std::vector<HashedNumber> table(param.entries);
    std::map<uint32_t, uint32_t> held;  // number -> hash
    const auto hashOf = [&param](uint32_t number) {
        // Homes near the end of the table, so that runs wrap.
        return static_cast<uint32_t>(param.entries - 1 - number % param.hashes) + 0x10000u * number;
    };
    for (int round = 0; round < param.rounds; ++round) {
        const auto number = static_cast<uint32_t>(random() % (param.entries * 2));
        const uint32_t hash = hashOf(number);
        const size_t entry = Find(table, number, hash);
        if (held.count(number) != 0) {
            ASSERT_EQ(table[entry].number, number);
            FreeEntry(table, entry);
            held.erase(number);
        } else if (held.size() + 1 < param.entries) {
            ASSERT_EQ(table[entry].number, HashedNumber::kNone);
            table[entry] = {number, hash};
            held[number] = hash;
        }
        for (uint32_t each = 0; each < param.entries * 2; ++each) {
            const size_t found = Find(table, each, hashOf(each));
            EXPECT_EQ(table[found].number, held.count(each) != 0 ? each : HashedNumber::kNone)
                << "round " << round << ", number " << each;
        }
    }
    size_t taken = 0;
    for (const HashedNumber& entry : table) {
        taken += entry.number != HashedNumber::kNone ? 1 : 0;
    }
    EXPECT_EQ(taken, held.size());
}

INSTANTIATE_TEST_SUITE_P(Tables, OpenAddressingTest,
                         ::testing::Values(TableCase{"AllInOneRun", 8, 1, 400},
                                           TableCase{"TwoHomesAtTheEnd", 16, 2, 2000},
                                           TableCase{"ManyHomes", 64, 40, 4000},
                                           TableCase{"FullButOne", 4, 3, 500}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

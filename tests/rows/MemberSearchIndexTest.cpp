#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "rows/MemberRowStore.hpp"
#include "rows/MemberSearch.hpp"
#include "rows/MemberSearchIndex.hpp"

// The index, folded only in part, with rows put in, taken out and rewritten in place between
// its slices, must answer as a plain walk over the rows does, or not yet answer at all.
namespace {

// Rows kept as a list keeps them: in the slots of a store, listed in row order.
class ListedRows {
public:
    void Replace(const MemberRows& rows) {
        store_.Replace(rows);
        order_.resize(rows.size());
        std::iota(order_.begin(), order_.end(), uint32_t{0});
    }
    void Insert(int row, MemberRow member) {
        order_.insert(order_.begin() + row, store_.Add(std::move(member)));
    }
    void Remove(int row) {
        store_.Free(order_[static_cast<size_t>(row)]);
        order_.erase(order_.begin() + row);
    }
    void Set(int row, MemberRow member) { store_[order_[static_cast<size_t>(row)]] = std::move(member); }
    RowsInOrder Rows() const { return {store_, order_}; }

private:
    MemberRowStore store_;
    RowSlots order_;
};

// The first matching row met from `from` by `step`, wrapping; -1 when none.
int WalkRows(const RowsInOrder& rows, const MemberSearch& search, int from, int step) {
    const int count = rows.RowCount();
    for (int walked = 0; walked < count; ++walked) {
        const int row = (((from + walked * step) % count) + count) % count;
        if (search.Matches(rows.Row(row))) {
            return row;
        }
    }
    return -1;
}

// Short texts over a few letters, so that searches meet matches, near matches and none.
std::string RandomText(std::mt19937& random) {
    static const std::string kLetters = "abAB;x";
    std::string text(random() % 6, ' ');
    for (char& c : text) {
        c = kLetters[random() % kLetters.size()];
    }
    return text;
}

MemberRow RandomRow(std::mt19937& random) {
    return {RandomText(random), RandomText(random), RandomText(random), false};
}

TEST(MemberSearchIndex, AnswersAsAWalkOverTheRows) {
    std::mt19937 random(20261209);
    ListedRows listed;
    MemberRows start;
    for (int row = 0; row < 60; ++row) {
        start.push_back(RandomRow(random));
    }
    listed.Replace(start);
    MemberSearchIndex index;
    const std::vector<std::string> texts = {"a", "Ab", "bA", "ab;", "x", "aaa", "q"};
    int answeredInPart = 0;
    for (int round = 0; round < 3000; ++round) {
        const RowsInOrder rows = listed.Rows();
        switch (random() % 5) {
            case 0:
                index.Extend(rows, static_cast<int>(random() % 25));
                break;
            case 1: {
                const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount() + 1));
                listed.Insert(row, RandomRow(random));
                index.InvalidateFrom(row);
                break;
            }
            case 2:
                if (rows.RowCount() > 1) {
                    const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount()));
                    listed.Remove(row);
                    index.InvalidateFrom(row);
                }
                break;
            case 3: {
                const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount()));
                listed.Set(row, RandomRow(random));
                index.MarkChanged(row, row);
                break;
            }
            default:
                if (random() % 40 == 0) {
                    listed.Replace(start);
                    index.Invalidate();
                }
        }
        const MemberSearch search(texts[random() % texts.size()]);
        const int from = static_cast<int>(random() % 200) - 100;
        const int step = random() % 2 == 0 ? 1 : -1;
        const std::optional<int> found = index.FindFrom(rows, search, from, step);
        if (index.Covers(rows)) {
            ASSERT_TRUE(found.has_value()) << "round " << round;
        } else if (found) {
            ++answeredInPart;
        }
        if (found) {
            ASSERT_EQ(*found, WalkRows(rows, search, from, step)) << "round " << round;
        }
        std::vector<int> matches;
        if (index.ForEachMatch(rows, search, [&](int row) { matches.push_back(row); })) {
            std::vector<int> walked;
            for (int row = 0; row < rows.RowCount(); ++row) {
                if (search.Matches(rows.Row(row))) {
                    walked.push_back(row);
                }
            }
            ASSERT_EQ(matches, walked) << "round " << round;
        }
    }
    // The rounds must have met answers from a part-folded index, not only from a whole one.
    EXPECT_GT(answeredInPart, 100);
}

// Rows put in and taken out one at a time move the rows after them along in the block: a block
// that covered every row still does, and answers as a walk over the rows.
TEST(MemberSearchIndex, KeepsCoveringAsSingleRowsComeAndGo) {
    std::mt19937 random(25025);
    ListedRows listed;
    MemberRows start;
    for (int row = 0; row < 80; ++row) {
        start.push_back(RandomRow(random));
    }
    listed.Replace(start);
    const RowsInOrder rows = listed.Rows();
    MemberSearchIndex index;
    ASSERT_TRUE(index.Extend(rows, 80));
    const std::vector<std::string> texts = {"a", "Ab", "bA", "ab;", "x", "aaa", "q", ";;"};
    for (int round = 0; round < 3000; ++round) {
        const unsigned choice = random() % 7;
        if (choice < 3) {
            const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount() + 1));
            MemberRow member = RandomRow(random);
            index.InsertRow(row, member);
            listed.Insert(row, std::move(member));
        } else if (choice < 6 && rows.RowCount() > 1) {
            const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount()));
            listed.Remove(row);
            index.RemoveRow(row);
        } else if (rows.RowCount() > 0) {
            const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount()));
            listed.Set(row, RandomRow(random));
            index.MarkChanged(row, row);
        }
        // Put in at the very end, a row is past the block until the block reaches it.
        index.Extend(rows, 1);
        ASSERT_TRUE(index.Covers(rows)) << "round " << round;
        const MemberSearch search(texts[random() % texts.size()]);
        std::vector<int> matches;
        ASSERT_TRUE(index.ForEachMatch(rows, search, [&](int row) { matches.push_back(row); }));
        std::vector<int> walked;
        for (int row = 0; row < rows.RowCount(); ++row) {
            if (search.Matches(rows.Row(row))) {
                walked.push_back(row);
            }
        }
        ASSERT_EQ(matches, walked) << "round " << round;
        const int from = static_cast<int>(random() % 200) - 100;
        const std::optional<int> found = index.FindFrom(rows, search, from, 1);
        ASSERT_TRUE(found.has_value());
        ASSERT_EQ(*found, WalkRows(rows, search, from, 1)) << "round " << round;
    }
}

}  // namespace

#include "journal/BlockQueue.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Counts the entries alive, so that a queue destroying one twice or not at all shows.
struct Counted {
    explicit Counted(std::string text_) : text(std::move(text_)) { ++alive; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    ~Counted() { --alive; }
    std::string text;  // long enough to live on the heap: a leak shows under the sanitizers too
    static inline int alive = 0;
};

std::string TextOf(size_t i) {
    return "an entry long enough not to fit in place, number " + std::to_string(i);
}

constexpr size_t kBlock = 4;

TEST(BlockQueueTest, EntriesKeepTheirPlaceAndOrderAcrossBlocksAndRefills) {
    struct Case {
        size_t first;   // entries of the first fill
        size_t second;  // of the fill after clear()
        size_t blocks;  // blocks held after both
    };
    const Case cases[] = {{0, 0, 0}, {1, 0, 1}, {4, 4, 1}, {5, 3, 2}, {9, 13, 4}, {13, 2, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        {
            BlockQueue<Counted, kBlock> queue;
            for (const size_t count : {c.first, c.second}) {
                queue.clear();
                std::vector<const Counted*> places;
                for (size_t i = 0; i < count; ++i) {
                    places.push_back(&queue.emplace_back(TextOf(i)));
                }
                ASSERT_EQ(queue.size(), count);
                EXPECT_EQ(Counted::alive, static_cast<int>(count));
                std::vector<std::string> seen;
                queue.ForEach([&](const Counted& entry) { seen.push_back(entry.text); });
                ASSERT_EQ(seen.size(), count);
                for (size_t i = 0; i < count; ++i) {
                    EXPECT_EQ(seen[i], TextOf(i));
                    EXPECT_EQ(&queue[i], places[i]);  // no entry moved as the queue grew
                }
            }
            EXPECT_EQ(queue.BlocksHeld(), c.blocks);
        }
        EXPECT_EQ(Counted::alive, 0);
    }
}

TEST(BlockQueueTest, ReleaseKeepsTheBlocksAskedForAndThoseInUse) {
    struct Case {
        size_t filled;   // entries once held
        size_t left;     // entries still held when released
        size_t entries;  // what the release keeps room for
        size_t blocks;
    };
    const Case cases[] = {{20, 0, 0, 0}, {20, 0, 5, 2}, {20, 6, 0, 2}, {20, 0, 100, 5}, {3, 3, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        BlockQueue<Counted, kBlock> queue;
        for (size_t i = 0; i < c.filled; ++i) {
            queue.emplace_back(TextOf(i));
        }
        queue.clear();
        for (size_t i = 0; i < c.left; ++i) {
            queue.emplace_back(TextOf(i));
        }
        queue.ReleaseBeyond(c.entries);
        EXPECT_EQ(queue.BlocksHeld(), c.blocks);
        ASSERT_EQ(queue.size(), c.left);
        for (size_t i = 0; i < c.left; ++i) {
            EXPECT_EQ(queue[i].text, TextOf(i));
        }
        queue.emplace_back(TextOf(c.left));  // a released queue still grows
        EXPECT_EQ(queue[c.left].text, TextOf(c.left));
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(BlockQueueTest, SwappedQueuesTradeTheirEntriesAndBlocks) {
    BlockQueue<Counted, kBlock> full;
    BlockQueue<Counted, kBlock> empty;
    for (size_t i = 0; i < 6; ++i) {
        full.emplace_back(TextOf(i));
    }
    const Counted* third = &full[2];
    full.swap(empty);
    EXPECT_TRUE(full.empty());
    EXPECT_EQ(full.BlocksHeld(), 0u);
    ASSERT_EQ(empty.size(), 6u);
    EXPECT_EQ(&empty[2], third);
    EXPECT_EQ(empty[5].text, TextOf(5));
}

}  // namespace

#include <deque>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "link/EventQueue.hpp"

namespace {

// Against a plain queue of whole events: pushes and pops interleaved at random, long enough that
// the shared text buffer drops what has gone out of its front many times while events remain.
TEST(EventQueue, HandsOutWhatWasPushedInOrderWhateverTheInterleaving) {
    std::mt19937 random(7);
    EventQueue queue;
    std::deque<LinkEvent> model;
    LinkEvent out;
    std::size_t popped = 0;
    for (int step = 0; step < 200000; ++step) {
        if (random() % 5 < 3 || model.empty()) {
            const auto kind = static_cast<LinkEventKind>(random() % 9);
            const auto state = static_cast<LineState>(random() % 4);
            const std::string text(random() % 90, static_cast<char>('a' + step % 26));
            queue.Push(kind, state, text);
            model.push_back({kind, state, text});
        } else {
            queue.PopInto(out);
            ASSERT_EQ(out, model.front()) << "event " << popped;
            model.pop_front();
            ++popped;
        }
        ASSERT_EQ(queue.Count(), model.size());
    }
    while (!queue.Empty()) {
        queue.PopInto(out);
        ASSERT_EQ(out, model.front());
        model.pop_front();
    }
    EXPECT_TRUE(model.empty());
    EXPECT_EQ(queue.Bytes(), 0u) << "the count of held bytes comes back to nothing";
}

TEST(EventQueue, CountsBytesAsSeparateEventsWouldHoldThem) {
    EventQueue queue;
    queue.Push(LinkEventKind::Read, LineState::LoggedIn, "ARLM_alice");
    queue.Push(LinkEventKind::Login, LineState::LoggedOut, "");
    EXPECT_EQ(queue.Bytes(), 2 * sizeof(LinkEvent) + 10);
    LinkEvent out;
    queue.PopInto(out);
    EXPECT_EQ(queue.Bytes(), sizeof(LinkEvent));
    queue.Clear();
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Bytes(), 0u);
}

}  // namespace

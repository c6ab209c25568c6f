#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/LinkEvent.hpp"

// The link's events waiting for their owner, in order. Their texts lie one after another in one
// buffer that is used again once the queue has run empty, so a million received lines queue and
// go without an allocation each: a line is copied in once and out once, into the owner's event,
// whose text keeps its room from one line to the next.
class EventQueue {
public:
    void Push(LinkEventKind kind, LineState state, std::string_view text);
    // Takes the first event out into event; the queue must not be empty.
    void PopInto(LinkEvent& event);
    void Clear();

    bool Empty() const { return first_ == entries_.size(); }
    std::size_t Count() const { return entries_.size() - first_; }
    // What the events hold, counted as separate events would hold it: each one's size and its
    // text's.
    std::size_t Bytes() const { return bytes_; }

private:
    struct Entry {
        LinkEventKind kind;
        LineState state;
        uint32_t length;  // its text follows the text of the entry before it
    };

    // Takes what has gone out of the front of both buffers, once it is at least half of them, so
    // that a queue that never runs empty still stays as long as what it holds.
    void DropTaken();

    std::vector<Entry> entries_;
    std::size_t first_ = 0;  // entries before it have gone out
    std::string texts_;
    std::size_t firstText_ = 0;  // where the text of entries_[first_] starts
    std::size_t bytes_ = 0;
};

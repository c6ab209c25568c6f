#include "link/EventQueue.hpp"

#include <algorithm>

namespace {

// Less than this is not worth moving: it goes when the queue next runs empty.
constexpr std::size_t kFewestTaken = 1024;

std::size_t CountedSize(std::string_view text) {
    return sizeof(LinkEvent) + text.size();
}

}  // namespace

void EventQueue::Push(LinkEventKind kind, LineState state, std::string_view text) {
    entries_.push_back({kind, state, static_cast<uint32_t>(text.size())});
    texts_.append(text);
    bytes_ += CountedSize(text);
}

void EventQueue::PopInto(LinkEvent& event) {
    const Entry& entry = entries_[first_++];
    event.kind = entry.kind;
    event.state = entry.state;
    event.text.assign(texts_, firstText_, entry.length);
    firstText_ += entry.length;
    bytes_ -= std::min(bytes_, CountedSize(event.text));
    DropTaken();
}

void EventQueue::Clear() {
    entries_.clear();
    first_ = 0;
    texts_.clear();
    firstText_ = 0;
    bytes_ = 0;
}

void EventQueue::DropTaken() {
    if (Empty()) {
        Clear();
        return;
    }
    if (first_ < kFewestTaken || first_ * 2 < entries_.size()) {
        return;
    }
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(first_));
    first_ = 0;
    texts_.erase(0, firstText_);
    firstText_ = 0;
}

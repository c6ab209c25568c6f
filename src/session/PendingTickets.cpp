#include "session/PendingTickets.hpp"

#include <algorithm>
#include <utility>

namespace {

// The settled entries before the first waiting one are let go in one move once this many.
constexpr size_t kGapsKept = 256;

}  // namespace

uint32_t PendingTickets::CodeIndex(std::string_view code) {
    if (lastCode_ < codes_.size() && codes_[lastCode_] == code) {
        return lastCode_;
    }
    const auto known = std::find(codes_.begin(), codes_.end(), code);
    lastCode_ = static_cast<uint32_t>(known - codes_.begin());
    if (known == codes_.end()) {
        codes_.emplace_back(code);
    }
    return lastCode_;
}

void PendingTickets::Add(RequestId id, JournalTicket ticket, std::string_view confirmingCode) {
    const Entry pending{id, ticket, CodeIndex(confirmingCode), false};
    ++waiting_;
    if (entries_.size() == head_ || entries_.back().id < id) {
        entries_.push_back(pending);
        return;
    }
    // An id out of order keeps the order all the same.
    const auto at = std::lower_bound(entries_.begin() + static_cast<std::ptrdiff_t>(head_), entries_.end(),
                                     id, [](const Entry& e, RequestId wanted) { return e.id < wanted; });
    entries_.insert(at, pending);
}

std::optional<PendingTickets::Pending> PendingTickets::Take(RequestId id) {
    const auto begin = entries_.begin() + static_cast<std::ptrdiff_t>(head_);
    auto found = entries_.end();
    // The ids of one session follow each other: the request is looked for where it would be
    // without gaps in the ids, and searched for only when it is not there.
    if (head_ < entries_.size() && id >= begin->id && id - begin->id < entries_.size() - head_ &&
        begin[static_cast<std::ptrdiff_t>(id - begin->id)].id == id) {
        found = begin + static_cast<std::ptrdiff_t>(id - begin->id);
    } else {
        found = std::lower_bound(begin, entries_.end(), id,
                                 [](const Entry& e, RequestId wanted) { return e.id < wanted; });
    }
    if (found == entries_.end() || found->id != id || found->settled) {
        return std::nullopt;
    }
    found->settled = true;
    --waiting_;
    std::optional<Pending> taken(PendingOf(*found));
    while (head_ < entries_.size() && entries_[head_].settled) {
        ++head_;
    }
    if (head_ == entries_.size()) {
        entries_.clear();
        head_ = 0;
    } else if (head_ >= kGapsKept && head_ * 2 >= entries_.size()) {
        entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
    return taken;
}

std::vector<PendingTickets::Pending> PendingTickets::Waiting() const {
    std::vector<Pending> waiting;
    for (size_t i = head_; i < entries_.size(); ++i) {
        if (!entries_[i].settled) {
            waiting.push_back(PendingOf(entries_[i]));
        }
    }
    return waiting;
}

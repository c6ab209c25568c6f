#include "window/MemberSearchIndex.hpp"

#include <algorithm>
#include <cstring>

#include "window/MemberListModel.hpp"
#include "window/MemberSearch.hpp"

namespace {

// Past this many in-place changes a fresh index is cheaper than checking them one by one.
constexpr size_t kMostChangedRows = 4096;

}  // namespace

void MemberSearchIndex::Invalidate() {
    built_ = false;
    changed_.clear();
}

void MemberSearchIndex::MarkChanged(int first, int last) {
    if (!built_) {
        return;
    }
    for (int row = first; row <= last; ++row) {
        changed_.insert(row);
    }
    if (changed_.size() > kMostChangedRows) {
        Invalidate();
    }
}

void MemberSearchIndex::Build(const MemberListModel& rows) {
    const int count = rows.RowCount();
    folded_.clear();
    starts_.clear();
    starts_.reserve(static_cast<size_t>(count) + 1);
    for (int row = 0; row < count; ++row) {
        starts_.push_back(folded_.size());
        const MemberRow& member = rows.Row(row);
        for (const std::string* field : {&member.Login, &member.ProtocolsText, &member.UserBotsText}) {
            MemberSearch::FoldInto(folded_, *field);
            folded_.push_back('\0');
        }
    }
    starts_.push_back(folded_.size());
    folded_.shrink_to_fit();
    changed_.clear();
    built_ = true;
}

int MemberSearchIndex::RowAt(size_t offset) const {
    return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin()) - 1;
}

int MemberSearchIndex::FirstIn(const MemberListModel& rows, const MemberSearch& search, int first,
                               int end) const {
    int found = -1;
    for (const int row : changed_) {
        if (row >= first && row < end && (found < 0 || row < found) && search.Matches(rows.Row(row))) {
            found = row;
        }
    }
    const std::string& needle = search.Folded();
    const char* base = folded_.data();
    size_t at = starts_[static_cast<size_t>(first)];
    const size_t stop = starts_[static_cast<size_t>(found >= 0 ? found : end)];
    while (at < stop) {
        const void* hit = memmem(base + at, stop - at, needle.data(), needle.size());
        if (hit == nullptr) {
            break;
        }
        const int row = RowAt(static_cast<size_t>(static_cast<const char*>(hit) - base));
        if (changed_.count(row) == 0) {
            return row;
        }
        at = starts_[static_cast<size_t>(row) + 1];
    }
    return found;
}

int MemberSearchIndex::LastIn(const MemberListModel& rows, const MemberSearch& search, int first,
                              int end) const {
    int found = -1;
    for (const int row : changed_) {
        if (row >= first && row < end && row > found && search.Matches(rows.Row(row))) {
            found = row;
        }
    }
    const std::string& needle = search.Folded();
    const char* base = folded_.data();
    size_t at = starts_[static_cast<size_t>(std::max(first, found + 1))];
    const size_t stop = starts_[static_cast<size_t>(end)];
    while (at < stop) {
        const void* hit = memmem(base + at, stop - at, needle.data(), needle.size());
        if (hit == nullptr) {
            break;
        }
        const int row = RowAt(static_cast<size_t>(static_cast<const char*>(hit) - base));
        if (changed_.count(row) == 0) {
            found = row;
        }
        at = starts_[static_cast<size_t>(row) + 1];
    }
    return found;
}

int MemberSearchIndex::FindFrom(const MemberListModel& rows, const MemberSearch& search, int from, int step) {
    const int count = rows.RowCount();
    // A zero byte ends every field, so a text holding one could only match across fields.
    if (count == 0 || search.Empty() || search.Folded().find('\0') != std::string::npos) {
        return -1;
    }
    if (!built_ || starts_.size() != static_cast<size_t>(count) + 1) {
        Build(rows);
    }
    from = ((from % count) + count) % count;
    if (step > 0) {
        const int found = FirstIn(rows, search, from, count);
        return found >= 0 ? found : FirstIn(rows, search, 0, from);
    }
    const int found = LastIn(rows, search, 0, from + 1);
    return found >= 0 ? found : LastIn(rows, search, from + 1, count);
}

#include "rows/MemberSearchIndex.hpp"

#include <algorithm>
#include <cstring>

#include "rows/MemberRow.hpp"
#include "rows/MemberRowStore.hpp"
#include "rows/MemberSearch.hpp"

namespace {

// Past this many in-place changes a fresh block is cheaper than checking them one by one.
constexpr size_t kMostChangedRows = 4096;

// Room made at first for a block of this many bytes a row; it grows as it must.
constexpr size_t kFoldedBytesPerRow = 40;

}  // namespace

void MemberSearchIndex::Invalidate() {
    InvalidateFrom(0);
}

void MemberSearchIndex::InvalidateFrom(int first) {
    if (first >= FoldedRows()) {
        return;
    }
    first = std::max(first, 0);
    folded_.resize(starts_[static_cast<size_t>(first)]);
    starts_.resize(static_cast<size_t>(first) + 1);
    std::erase_if(changed_, [first](int row) { return row >= first; });
}

void MemberSearchIndex::MarkChanged(int first, int last) {
    // A row past the block is read as it is when the block reaches it.
    last = std::min(last, FoldedRows() - 1);
    for (int row = first; row <= last; ++row) {
        changed_.insert(row);
    }
    if (changed_.size() > kMostChangedRows) {
        Invalidate();
    }
}

void MemberSearchIndex::InsertRow(int row, const MemberRow& member) {
    // A row past the block is read when the block reaches it.
    if (row >= FoldedRows() || row < 0) {
        return;
    }
    std::string text;
    member.AppendTexts(text);
    MemberSearch::FoldTo(text.data(), text);
    // Room for more rows to come, so that each one after the first moves the block's tail
    // instead of copying the whole block into fresh memory.
    if (folded_.size() + text.size() > folded_.capacity()) {
        folded_.reserve(folded_.size() + folded_.size() / 64 + text.size());
    }
    const size_t at = starts_[static_cast<size_t>(row)];
    folded_.insert(at, text);
    starts_.insert(starts_.begin() + row, at);
    for (size_t after = static_cast<size_t>(row) + 1; after < starts_.size(); ++after) {
        starts_[after] += text.size();
    }
    std::unordered_set<int> changed;
    for (const int changedRow : changed_) {
        changed.insert(changedRow >= row ? changedRow + 1 : changedRow);
    }
    changed_ = std::move(changed);
}

void MemberSearchIndex::RemoveRow(int row) {
    if (row >= FoldedRows() || row < 0) {
        return;
    }
    const size_t at = starts_[static_cast<size_t>(row)];
    const size_t length = starts_[static_cast<size_t>(row) + 1] - at;
    folded_.erase(at, length);
    starts_.erase(starts_.begin() + row);
    for (size_t after = static_cast<size_t>(row); after < starts_.size(); ++after) {
        starts_[after] -= length;
    }
    std::unordered_set<int> changed;
    for (const int changedRow : changed_) {
        if (changedRow != row) {
            changed.insert(changedRow > row ? changedRow - 1 : changedRow);
        }
    }
    changed_ = std::move(changed);
}

bool MemberSearchIndex::Covers(const RowsInOrder& rows) const {
    return FoldedRows() == rows.RowCount();
}

bool MemberSearchIndex::Extend(const RowsInOrder& rows, int rowBudget) {
    const int count = rows.RowCount();
    if (FoldedRows() > count) {
        Invalidate();
    }
    const int first = FoldedRows();
    const int end = std::min(count, first + std::max(rowBudget, 0));
    if (first == 0) {
        // Made afresh, so that a block once made for a longer list is given back.
        folded_ = std::string();
        folded_.reserve(static_cast<size_t>(count) * kFoldedBytesPerRow);
        starts_ = std::vector<size_t>{0};
        starts_.reserve(static_cast<size_t>(count) + 1);
    }
    const size_t at = folded_.size();
    for (int row = first; row < end; ++row) {
        rows.Row(row).AppendTexts(folded_);
        starts_.push_back(folded_.size());
    }
    MemberSearch::FoldTo(folded_.data() + at, std::string_view(folded_).substr(at));
    if (end == count) {
        folded_.shrink_to_fit();
    }
    return end == count;
}

int MemberSearchIndex::RowAt(size_t offset) const {
    return static_cast<int>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin()) - 1;
}

int MemberSearchIndex::FirstFolded(const RowsInOrder& rows, const MemberSearch& search, int first,
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

int MemberSearchIndex::LastFolded(const RowsInOrder& rows, const MemberSearch& search, int first,
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

std::optional<int> MemberSearchIndex::FindFrom(const RowsInOrder& rows, const MemberSearch& search, int from,
                                               int step) const {
    const int count = rows.RowCount();
    // A zero byte ends every field, so a text holding one could only match across fields.
    if (count == 0 || search.Empty() || search.Folded().find('\0') != std::string::npos) {
        return -1;
    }
    from = ((from % count) + count) % count;
    const int folded = std::min(FoldedRows(), count);
    // A match between `from` and the end of the block in the walk's direction is the answer
    // whatever the rows past the block hold; anything else needs every row.
    const bool nearFolded = from < folded;
    const int near = !nearFolded ? -1
                     : step > 0  ? FirstFolded(rows, search, from, folded)
                                 : LastFolded(rows, search, 0, from + 1);
    if (near >= 0) {
        return near;
    }
    if (folded < count) {
        return std::nullopt;
    }
    return step > 0 ? FirstFolded(rows, search, 0, from) : LastFolded(rows, search, from + 1, count);
}

// Rows come from the hits in order, so the row of each hit is found by walking on from the last
// one rather than by a search over every row's start.
bool MemberSearchIndex::ForEachMatch(const RowsInOrder& rows, const MemberSearch& search,
                                     const std::function<void(int row)>& match) const {
    if (!Covers(rows)) {
        return false;
    }
    const std::string& needle = search.Folded();
    if (rows.RowCount() == 0 || search.Empty() || needle.find('\0') != std::string::npos) {
        return true;
    }
    // Rows rewritten since they were folded are read as they are now, and merged in order.
    std::vector<int> changedMatching;
    for (const int row : changed_) {
        if (search.Matches(rows.Row(row))) {
            changedMatching.push_back(row);
        }
    }
    std::sort(changedMatching.begin(), changedMatching.end());
    auto nextChanged = changedMatching.begin();
    const char* base = folded_.data();
    const size_t end = folded_.size();
    size_t at = 0;
    size_t row = 0;
    while (at < end) {
        const void* hit = memmem(base + at, end - at, needle.data(), needle.size());
        if (hit == nullptr) {
            break;
        }
        const size_t offset = static_cast<size_t>(static_cast<const char*>(hit) - base);
        while (starts_[row + 1] <= offset) {
            ++row;
        }
        const int found = static_cast<int>(row);
        for (; nextChanged != changedMatching.end() && *nextChanged < found; ++nextChanged) {
            match(*nextChanged);
        }
        if (changed_.count(found) == 0) {
            match(found);
        }
        at = starts_[row + 1];
    }
    for (; nextChanged != changedMatching.end(); ++nextChanged) {
        match(*nextChanged);
    }
    return true;
}

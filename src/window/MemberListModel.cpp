#include "window/MemberListModel.hpp"

#include <algorithm>
#include <future>

#include <QByteArray>
#include <QLocale>

#include "rows/CaptionOrder.hpp"
#include "util/untCalc1.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberIcons.hpp"
#include "window/SortCollation.hpp"

MemberListModel::MemberListModel(QObject* parent)
    : QAbstractTableModel(parent),
      // The process's default locale is pinned to C for its number format; the order of
      // names is still the user's.
      collator_(QLocale::system()),
      blankImage_(DrawBlankMemberImage()),
      onlineImage_(DrawOnlineMemberImage()) {
    collator_.setCaseSensitivity(Qt::CaseSensitive);
    collation_ = CollationOf(collator_);
    SortKeys::Prepare(collation_);
    indexing_.setSingleShot(true);
    indexing_.setInterval(0);
    connect(&indexing_, &QTimer::timeout, this, [this] {
        if (!allRows_.Extend(RowsInOrder(store_, order_), kRowsPerIndexSlice)) {
            indexing_.start();
        }
    });
}

void MemberListModel::KeepFilterIndex() {
    indexWanted_ = true;
    IndexChanged();
}

void MemberListModel::StopKeepingFilterIndex() {
    indexWanted_ = false;
    indexing_.stop();
}

void MemberListModel::IndexChanged() {
    if (indexWanted_ && !allRows_.Covers(RowsInOrder(store_, order_))) {
        indexing_.start();
    }
}

int MemberListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ShownCount();
}

int MemberListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MemberListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= ShownCount()) {
        return {};
    }
    const MemberRow& member = ShownRow(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return DisplayText(member, index.column());
        case Qt::DecorationRole:
            if (index.column() == LoginColumn) {
                return member.Online() ? onlineImage_ : blankImage_;
            }
            return {};
        case Qt::AccessibleTextRole:
            // A reader cannot see the online mark: it hears it as a word after the login.
            if (index.column() == LoginColumn) {
                return DisplayText(member, LoginColumn).toString() +
                       (member.Online() ? QStringLiteral(", online") : QStringLiteral(", offline"));
            }
            return {};
        case OnlineRole:
            return member.Online();
        case LoginBytesRole:
            return QByteArray(member.Login().data(), static_cast<qsizetype>(member.Login().size()));
        default:
            return {};
    }
}

QVariant MemberListModel::DisplayText(const MemberRow& member, int column) const {
    switch (column) {
        case LoginColumn:
            return ShortForDisplay(member.Login());
        case ProtocolsColumn:
            return ShortForDisplay(member.ProtocolsText());
        case UserBotsColumn:
            return ShortForDisplay(member.UserBotsText());
        default:
            return {};
    }
}

QVariant MemberListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case LoginColumn:
            return QStringLiteral("clients");
        case ProtocolsColumn:
            return QStringLiteral("protocols");
        case UserBotsColumn:
            return QStringLiteral("user bots");
        default:
            return {};
    }
}

// The rows' folded heads and the caption table need the rows but not their order, so a long
// list has them made on a thread of their own while it is sorted. All is made aside and put in
// at once, so the model is left as it was if making it fails.
void MemberListModel::ReplaceRows(MemberRows rows, KeyedCaptions ahead) {
    EndFold();
    // Room for the rows that come one by one after a rebuild, so that the first of them does not
    // copy the whole list to grow it.
    const size_t room = rows.size() + rows.size() / 64 + 16;
    MemberRowStore store;
    store.Replace(std::move(rows));
    LargeVector<uint64_t> heads;
    RowOfCaption captions;
    auto captionsHeld = std::async(ThreadFor(store.SlotCount()), [&store, &heads, &captions, room] {
        heads.reserve(room);
        for (const MemberRow& member : store.RebuiltRows()) {
            heads.push_back(FoldedHead(member.Login()));
        }
        return captions.BuildUnique(store);
    });
    RowSlots order = RowsInCaptionOrder(store.RebuiltRows(), collation_, std::move(ahead), room);
    const bool captionsUnique = captionsHeld.get();

    beginResetModel();
    store_ = std::move(store);
    headOfSlot_ = std::move(heads);
    captions_ = std::move(captions);
    order_ = std::move(order);
    MapRowOfSlot();
    lastAtOrBefore_.known = false;
    firstRowOfLastReset_ = 0;
    if (!captionsUnique) {
        captions_.Build(store_, order_);
    }
    allRows_.Invalidate();
    FilterRows();
    endResetModel();
    IndexChanged();
}

void MemberListModel::SetFilter(const MemberFilter& filter) {
    EndFold();
    beginResetModel();
    filter_ = filter;
    search_.emplace(filter.text);
    filtered_ = !filter.Empty();
    FilterRows();
    firstRowOfLastReset_ = 0;
    endResetModel();
}

bool MemberListModel::PassesBesidesText(const MemberRow& member) const {
    using Presence = MemberFilter::Presence;
    if ((filter_.presence == Presence::Online && !member.Online()) ||
        (filter_.presence == Presence::Offline && member.Online())) {
        return false;
    }
    if (!filter_.protocol.empty()) {
        bool has = false;
        ForEachCommaListItem(member.ProtocolsText(), [&](std::string_view name) {
            has = has || SameTextAscii(name, filter_.protocol);
        });
        if (!has) {
            return false;
        }
    }
    return true;
}

void MemberListModel::FilterRows() {
    shown_.clear();
    if (!filtered_) {
        return;
    }
    const RowsInOrder all(store_, order_);
    const bool byText = search_ && !search_->Empty();
    // With the block of folded texts whole, only the rows holding the text are looked at.
    if (byText && allRows_.ForEachMatch(all, *search_, [&](int row) {
            const uint32_t slot = order_[static_cast<size_t>(row)];
            if (PassesBesidesText(store_[slot])) {
                shown_.push_back(slot);
            }
        })) {
        return;
    }
    for (const uint32_t slot : order_) {
        const MemberRow& member = store_[slot];
        if (PassesBesidesText(member) && (!byText || search_->Matches(member))) {
            shown_.push_back(slot);
        }
    }
}

void MemberListModel::ShowFilteredAgain() {
    beginResetModel();
    FilterRows();
    firstRowOfLastReset_ = 0;
    endResetModel();
}

void MemberListModel::MarkRowOfSlotStale() {
    rowOfSlotStale_ = true;
    searchesSinceStale_ = 0;
}

void MemberListModel::SetRow(int row, MemberRow member, bool notify) {
    EndFold();
    const uint32_t slot = order_[static_cast<size_t>(row)];
    MemberRow& shown = store_[slot];
    const bool sameCaption = SameTextAscii(shown.Login(), member.Login());
    headOfSlot_[slot] = FoldedHead(member.Login());
    shown = std::move(member);
    allRows_.MarkChanged(row, row);
    if (!sameCaption) {
        captions_.Build(store_, order_);
        lastAtOrBefore_.known = false;
    }
    if (filtered_) {
        ShowFilteredAgain();
    } else if (notify) {
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
    IndexChanged();
}

void MemberListModel::InsertRow(int row, MemberRow member) {
    const bool folding = fold_.Active();
    // Under a filter, a row the filter lets through takes its one place among the shown rows.
    const int shownAt =
        !filtered_ ? row : (!folding && Passes(member) ? ShownPlaceFor(member.Login(), row) : -1);
    if (shownAt >= 0 && !folding) {
        beginInsertRows({}, shownAt, shownAt);
    }
    const uint64_t head = FoldedHead(member.Login());
    // Row 0 never answers, so the row it pushes down to 1 would have to be looked at too.
    LastAtOrBefore& last = lastAtOrBefore_;
    if (last.known && row > 0) {
        const int shifted = last.row >= row ? last.row + 1 : last.row;
        last.row = CompareTextAscii(member.Login(), last.caption) <= 0 ? std::max(shifted, row) : shifted;
    } else {
        last.known = false;
    }
    const uint32_t slot = store_.Add(std::move(member));
    headOfSlot_.resize(std::max<size_t>(headOfSlot_.size(), slot + 1));
    headOfSlot_[slot] = head;
    if (folding) {
        fold_.Insert(row, slot);
        lastPlaced_ = row;
        if (!captions_.Add(store_, slot)) {
            captionsBehind_ = true;
        }
        return;
    }
    order_.insert(order_.begin() + row, slot);
    if (KeepsIndexInPlace()) {
        allRows_.InsertRow(row, store_[slot]);
    } else {
        allRows_.InvalidateFrom(row);
    }
    MarkRowOfSlotStale();
    if (!captions_.Add(store_, slot)) {
        captions_.Build(store_, order_);
    }
    firstRowOfLastReset_ = row;
    if (filtered_ && shownAt >= 0) {
        shown_.insert(shown_.begin() + shownAt, slot);
    }
    if (shownAt >= 0) {
        endInsertRows();
    }
    IndexChanged();
}

void MemberListModel::RemoveRow(int row) {
    const bool folding = fold_.Active();
    const uint32_t slot = SlotOfRow(row);
    const int shownAt = !filtered_ ? row : (folding ? -1 : ShownPlaceOf(slot));
    if (shownAt >= 0 && !folding) {
        beginRemoveRows({}, shownAt, shownAt);
    }
    LastAtOrBefore& last = lastAtOrBefore_;
    if (last.known && row > 0 && row != last.row) {
        last.row = last.row > row ? last.row - 1 : last.row;
    } else {
        last.known = false;
    }
    const bool rebuildCaptions = captions_.HasDuplicates();
    captions_.Remove(store_, slot);
    if (!folding && KeepsIndexInPlace()) {
        allRows_.RemoveRow(row);
    } else if (!folding) {
        allRows_.InvalidateFrom(row);
    }
    store_.Free(slot);
    if (folding) {
        fold_.Remove(row);
        lastPlaced_ = -1;
        captionsBehind_ = captionsBehind_ || rebuildCaptions;
        return;
    }
    order_.erase(order_.begin() + row);
    MarkRowOfSlotStale();
    if (rebuildCaptions) {
        captions_.Build(store_, order_);
    }
    firstRowOfLastReset_ = row;
    if (filtered_ && shownAt >= 0) {
        shown_.erase(shown_.begin() + shownAt);
    }
    if (shownAt >= 0) {
        endRemoveRows();
    }
    IndexChanged();
}

// Only a filter's text searches the block; without one it is made again in idle slices.
bool MemberListModel::KeepsIndexInPlace() {
    return filtered_ && search_ && !search_->Empty() && --inPlaceBudget_ >= 0;
}

bool MemberListModel::Passes(const MemberRow& member) const {
    return PassesBesidesText(member) && (!search_ || search_->Empty() || search_->Matches(member));
}

// The shown rows follow the rows' order, which is by caption: the shown rows sorting before the
// caption come first, then those sorting equal that stand before the row.
int MemberListModel::ShownPlaceFor(std::string_view caption, int row) const {
    const QString wanted = BytesToDisplay(caption);
    auto place = std::partition_point(shown_.begin(), shown_.end(), [&](uint32_t slot) {
        return collator_.compare(BytesToDisplay(store_[slot].Login()), wanted) < 0;
    });
    while (place != shown_.end() && collator_.compare(BytesToDisplay(store_[*place].Login()), wanted) == 0 &&
           RowOfSlot(*place) < row) {
        ++place;
    }
    return static_cast<int>(place - shown_.begin());
}

int MemberListModel::ShownPlaceOf(uint32_t slot) const {
    const QString wanted = BytesToDisplay(store_[slot].Login());
    auto place = std::partition_point(shown_.begin(), shown_.end(), [&](uint32_t each) {
        return collator_.compare(BytesToDisplay(store_[each].Login()), wanted) < 0;
    });
    while (place != shown_.end() && *place != slot &&
           collator_.compare(BytesToDisplay(store_[*place].Login()), wanted) == 0) {
        ++place;
    }
    return place != shown_.end() && *place == slot ? static_cast<int>(place - shown_.begin()) : -1;
}

// Slots of the rows as they stood are mapped to their rows once, so that a row is found from its
// caption throughout the burst.
void MemberListModel::BeginFold() {
    if (rowOfSlotStale_) {
        MapRowOfSlot();
    }
    fold_.Begin(order_);
    lastPlaced_ = -1;
    captionsBehind_ = false;
}

void MemberListModel::EndFold() {
    if (!fold_.Active()) {
        return;
    }
    beginResetModel();
    const int firstTouched = fold_.FirstRowTouched();
    order_ = fold_.Finish();
    MarkRowOfSlotStale();
    if (captionsBehind_) {
        captions_.Build(store_, order_);
        captionsBehind_ = false;
    }
    allRows_.InvalidateFrom(firstTouched);
    firstRowOfLastReset_ = firstTouched;
    FilterRows();
    endResetModel();
    IndexChanged();
}

int MemberListModel::PlaceAfterEqual(std::string_view caption) {
    const QString wanted = BytesToDisplay(caption);
    const auto after = [&](int row) {
        return collator_.compare(BytesToDisplay(Row(row).Login()), wanted) > 0;
    };
    // A burst of new members mostly comes in order, each right after the one before.
    const int last = lastPlaced_;
    if (last >= 0 && last < RowCount() && !after(last) && (last + 1 == RowCount() || after(last + 1))) {
        return last + 1;
    }
    int low = 0;
    int high = RowCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (after(middle)) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

int MemberListModel::RowOfLogin(std::string_view login) const {
    const uint32_t slot = captions_.Find(store_, login);
    if (slot != RowOfCaption::kNone && store_[slot].Login() == login) {
        return RowOfSlot(slot);
    }
    int row = LowerBound(login);
    while (row < RowCount() && SortsEqual(row, login) && Row(row).Login() != login) {
        ++row;
    }
    return row < RowCount() && Row(row).Login() == login ? row : -1;
}

// Right after rows came or went, a few lookups find their row by its caption in the sorted rows
// rather than pay for a new map of every slot; a run of them, as in-place reports come, does.
int MemberListModel::RowOfSlot(uint32_t slot) const {
    if (fold_.Active()) {
        const int came = fold_.RowOfCome(slot);
        return came >= 0 ? came : fold_.RowOfFirst(static_cast<int>(rowOfSlot_[slot]));
    }
    constexpr int kSearchesBeforeNewMap = 64;
    if (rowOfSlotStale_ && ++searchesSinceStale_ <= kSearchesBeforeNewMap) {
        const int found = SearchRowOfSlot(slot);
        if (found >= 0) {
            return found;
        }
    }
    if (rowOfSlotStale_) {
        MapRowOfSlot();
    }
    return static_cast<int>(rowOfSlot_[slot]);
}

void MemberListModel::MapRowOfSlot() const {
    rowOfSlot_.resize(store_.SlotCount());
    for (size_t row = 0; row < order_.size(); ++row) {
        rowOfSlot_[order_[row]] = static_cast<uint32_t>(row);
    }
    rowOfSlotStale_ = false;
    searchesSinceStale_ = 0;
}

// Among the rows that sort equal to the slot's caption; -1 when it is not among the first few.
int MemberListModel::SearchRowOfSlot(uint32_t slot) const {
    constexpr int kEqualRowsLookedAt = 16;
    const std::string_view caption = store_[slot].Login();
    const int first = LowerBound(caption);
    for (int row = first; row < RowCount() && row < first + kEqualRowsLookedAt; ++row) {
        if (SlotOfRow(row) == slot) {
            return row;
        }
    }
    return -1;
}

int MemberListModel::LowerBound(std::string_view caption) const {
    const QString wanted = BytesToDisplay(caption);
    if (fold_.Active()) {
        int low = 0;
        int high = RowCount();
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (collator_.compare(BytesToDisplay(Row(middle).Login()), wanted) < 0) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return low;
    }
    const auto found = std::partition_point(order_.begin(), order_.end(), [&](uint32_t slot) {
        return collator_.compare(BytesToDisplay(store_[slot].Login()), wanted) < 0;
    });
    return static_cast<int>(found - order_.begin());
}

bool MemberListModel::SortsEqual(int row, std::string_view caption) const {
    return collator_.compare(BytesToDisplay(Row(row).Login()), BytesToDisplay(caption)) == 0;
}

int MemberListModel::FindCaption(std::string_view login) const {
    const uint32_t slot = captions_.Find(store_, login);
    return slot == RowOfCaption::kNone ? -1 : RowOfSlot(slot);
}

int MemberListModel::LastRowAtOrBefore(std::string_view caption) const {
    LastAtOrBefore& last = lastAtOrBefore_;
    // The row that answers for a caption answers for its own caption too: every row after it
    // folds above the one asked about, and so above its own.
    if (last.known && last.row > 0 && last.row < RowCount() && Row(last.row).Login() == caption) {
        last.caption = caption;
    }
    if (!last.known || last.caption != caption) {
        last.caption = caption;
        last.row = WalkBackToLastAtOrBefore(caption);
        last.known = true;
    }
    return last.row;
}

void MemberListModel::RecordChanging(const TkvCLData& record) {
    // A row that reads a record has the record's login for its caption, so it is found by it;
    // only while two rows share a folded caption may the table hold the other one.
    const uint32_t slot = captions_.Find(store_, record.Login());
    if (slot != RowOfCaption::kNone && store_[slot].Reads(record)) {
        store_[slot].Detach();
        return;
    }
    if (captions_.HasDuplicates()) {
        for (uint32_t each = 0; each < store_.SlotCount(); ++each) {
            if (store_[each].Reads(record)) {
                store_[each].Detach();
            }
        }
    }
}

void MemberListModel::AllRecordsGoing() {
    for (uint32_t slot = 0; slot < store_.SlotCount(); ++slot) {
        store_[slot].Detach();
    }
}

// The answer is the last such row, so the walk starts at the end and mostly compares heads.
int MemberListModel::WalkBackToLastAtOrBefore(std::string_view caption) const {
    const uint64_t head = FoldedHead(caption);
    if (fold_.Active()) {
        int found = 0;
        fold_.WalkBack([&](int row, uint32_t slot) {
            if (row < 1) {
                return true;
            }
            const uint64_t rowHead = headOfSlot_[slot];
            if (rowHead < head || (rowHead == head && CompareTextAscii(store_[slot].Login(), caption) <= 0)) {
                found = row;
                return true;
            }
            return false;
        });
        return found;
    }
    // The slots of neighbouring rows lie anywhere; asking for the heads some rows ahead lets
    // the memory fetch many at once instead of one after another.
    constexpr size_t kAhead = 32;
    for (size_t row = order_.size(); row-- > 1;) {
        if (row >= kAhead) {
            __builtin_prefetch(&headOfSlot_[order_[row - kAhead]]);
        }
        const uint64_t rowHead = headOfSlot_[order_[row]];
        if (rowHead < head ||
            (rowHead == head && CompareTextAscii(Row(static_cast<int>(row)).Login(), caption) <= 0)) {
            return static_cast<int>(row);
        }
    }
    return 0;
}

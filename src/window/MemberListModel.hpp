#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractTableModel>
#include <QCollator>
#include <QIcon>
#include <QTimer>

#include "members/TkvCLDataWatcher.hpp"
#include "rows/CaptionKeys.hpp"
#include "rows/MemberRow.hpp"
#include "rows/MemberRowStore.hpp"
#include "rows/MemberSearch.hpp"
#include "rows/MemberSearchIndex.hpp"
#include "rows/RowOfCaption.hpp"
#include "session/MemberFilter.hpp"
#include "window/RowFold.hpp"

// The rows of the main window's member list: login, protocols and user bots, with the online
// mark. Rows keep the server's bytes and become text only when the view asks for a cell, so a
// million members cost one conversion per visible cell, not per row. Rows made from records read
// them in place; as the watcher of their collection, the model has a row take its copy just
// before its record changes.
class MemberListModel final : public QAbstractTableModel, public TkvCLDataWatcher {
    Q_OBJECT

public:
    enum Role {
        OnlineRole = Qt::UserRole + 1,  // column 0: bool, the member is connected
        LoginBytesRole,                 // QByteArray, the login's exact bytes
    };
    enum Column { LoginColumn, ProtocolsColumn, UserBotsColumn, ColumnCount };

    explicit MemberListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces every row in one reset, sorted ascending by caption with a case-sensitive
    // collation of the user's locale; keys made ahead of the first rows' captions are used.
    void ReplaceRows(MemberRows rows, KeyedCaptions ahead = {});
    // The collation the rows are sorted with, which is the model's collator's.
    const Collation& Collator() const { return collation_; }
    // Rewrites one row where it stands; the order is not touched. The view hears of it only
    // when told to (a row out of sight is read afresh when it comes into sight), because the
    // list view looks for the row among all of them on every notification.
    void SetRow(int row, MemberRow member, bool notify = true);
    // One row in or out at a place the caller chose. The view hears of it as one row, and
    // the rows after it move without being touched.
    void InsertRow(int row, MemberRow member);
    void RemoveRow(int row);
    // The rows before this one stand as they stood before the last reset.
    int FirstRowOfLastReset() const { return firstRowOfLastReset_; }
    // The first row whose caption sorts at or after caption, by the rows' own order.
    int LowerBound(std::string_view caption) const;
    // Whether the row's caption sorts equal to caption.
    bool SortsEqual(int row, std::string_view caption) const;

    // Every row, shown or not: the place a row comes in or goes out at is among all of them.
    const MemberRow& Row(int row) const { return store_[SlotOfRow(row)]; }
    int RowCount() const { return fold_.Active() ? fold_.Count() : static_cast<int>(order_.size()); }
    // The rows the view shows: all of them, or those the filter lets through, in the same order.
    const MemberRow& ShownRow(int row) const { return store_[Shown()[static_cast<size_t>(row)]]; }
    int ShownCount() const { return static_cast<int>(Shown().size()); }
    // The rows shown as they stand, valid until the next change to them.
    RowsInOrder Rows() const { return {store_, Shown()}; }
    // Narrows the rows shown; an empty filter shows every row. While one is on, a row that comes or
    // goes takes or leaves its one place among the shown rows; a row that changes has the shown
    // rows made again in one reset.
    void SetFilter(const MemberFilter& filter);
    bool Filtered() const { return filtered_; }
    // From now on every row's texts are kept folded in one block, made in idle slices, so that a
    // filter's text is one pass of a substring search.
    void KeepFilterIndex();
    // No filter can be typed: the block is no longer made in idle time. What it covers stays,
    // and KeepFilterIndex goes on from there.
    void StopKeepingFilterIndex();
    // Rows folded into that block per idle slice: a few milliseconds, as the find field's.
    static constexpr int kRowsPerIndexSlice = 20000;
    bool FilterIndexWhole() const { return allRows_.Covers(RowsInOrder(store_, order_)); }
    // A delivery of reports ended. Within one, while a filter's text is on, the first few rows in
    // or out move the rows after them along in the filter's folded block, which costs a pass over
    // it each; the rest give the block up from their row on, to be made again in idle slices, as a
    // burst would otherwise cost a pass each.
    void RowsDelivered() { inPlaceBudget_ = kRowsKeptInPlace; }
    static constexpr int kRowsKeptInPlace = 4;
    // The first row whose caption equals login with ASCII letter case ignored, or -1.
    int FindCaption(std::string_view login) const;
    // The last row after the first whose caption is at or before caption with ASCII letter
    // case ignored; 0 when there is none.
    int LastRowAtOrBefore(std::string_view caption) const;

    // From BeginFold to EndFold, rows in and out change no order and tell the view nothing; Row,
    // RowCount, LowerBound, FindCaption and LastRowAtOrBefore answer for the rows as they stand.
    // The end writes the rows once and tells the view of them in one reset. Not while two rows
    // share a caption folded (CanFold).
    bool CanFold() const { return !captions_.HasDuplicates(); }
    void BeginFold();
    bool Folding() const { return fold_.Active(); }
    // The rows as they stood at BeginFold and where each stands now; valid until EndFold.
    const RowFold& Fold() const { return fold_; }
    void EndFold();
    // While folding: where a new member's row goes, after every row that sorts before or equal to
    // its caption, as a new member sorts after those listed before it.
    int PlaceAfterEqual(std::string_view caption);
    // The row whose login is exactly login, or -1.
    int RowOfLogin(std::string_view login) const;

    void RecordChanging(const TkvCLData& record) override;
    void AllRecordsGoing() override;

private:
    // The last answer of LastRowAtOrBefore, carried along as single rows come and go, since the
    // caption asked about is mostly the same from one report to the next.
    struct LastAtOrBefore {
        std::string caption;
        int row = 0;
        bool known = false;
    };

    uint32_t SlotOfRow(int row) const {
        return fold_.Active() ? fold_.SlotAt(row) : order_[static_cast<size_t>(row)];
    }
    QVariant DisplayText(const MemberRow& member, int column) const;
    const RowSlots& Shown() const { return filtered_ ? shown_ : order_; }
    // Presence and protocol; the text is the search's.
    bool PassesBesidesText(const MemberRow& member) const;
    bool Passes(const MemberRow& member) const;
    bool KeepsIndexInPlace();
    // Where a row about to stand at row goes among the shown rows.
    int ShownPlaceFor(std::string_view caption, int row) const;
    // Where a slot stands among the shown rows; -1 when it is not shown.
    int ShownPlaceOf(uint32_t slot) const;
    void IndexChanged();
    // Makes the shown rows again from every row, in one pass; the caller resets the model.
    void FilterRows();
    // After a change made while filtered: the view hears of it as a reset.
    void ShowFilteredAgain();
    int WalkBackToLastAtOrBefore(std::string_view caption) const;
    int RowOfSlot(uint32_t slot) const;
    int SearchRowOfSlot(uint32_t slot) const;
    void MarkRowOfSlotStale();
    // Makes the row of every slot afresh from the slots in row order.
    void MapRowOfSlot() const;

    // Rows stay in the slot they were stored in; only the short list of slots in row order
    // moves when one comes or goes. A rebuild sorts the slots, not the rows.
    MemberRowStore store_;
    RowSlots order_;
    MemberFilter filter_;
    std::optional<MemberSearch> search_;
    MemberSearchIndex allRows_;
    QTimer indexing_;
    bool indexWanted_ = false;
    bool filtered_ = false;
    RowSlots shown_;
    // The first eight bytes of each slot's caption with ASCII letters upper-cased, so that a walk
    // over the captions in that folding mostly stays in one small array.
    LargeVector<uint64_t> headOfSlot_;
    // Row of each slot, made again after rows moved when a report next needs it.
    mutable RowSlots rowOfSlot_;
    mutable bool rowOfSlotStale_ = false;
    mutable int searchesSinceStale_ = 0;
    mutable LastAtOrBefore lastAtOrBefore_;
    int firstRowOfLastReset_ = 0;
    RowOfCaption captions_;
    RowFold fold_;
    bool captionsBehind_ = false;  // a caption table to be made again once the fold ends
    int lastPlaced_ = -1;          // where the fold's last new row went
    int inPlaceBudget_ = kRowsKeptInPlace;
    QCollator collator_;
    Collation collation_;
    QIcon blankImage_;
    QIcon onlineImage_;
};

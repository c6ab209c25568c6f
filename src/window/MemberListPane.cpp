#include "window/MemberListPane.hpp"

#include <algorithm>
#include <vector>

#include <QAccessible>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPoint>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>

#include "rows/CaptionKeysAhead.hpp"
#include "session/ServerSession.hpp"
#include "window/CellToolTips.hpp"
#include "window/ColumnShares.hpp"
#include "window/MemberFilterBar.hpp"
#include "window/MemberFindBar.hpp"
#include "window/MemberListModel.hpp"
#include "window/MemberListView.hpp"
#include "window/Shortcuts.hpp"

namespace {
constexpr int kListLeft = 0;
constexpr int kListTop = 32;
constexpr int kListGap = 2;  // between the list and the status bar
}  // namespace

MemberListPane::MemberListPane(QWidget& client, QWidget& window, ServerSession& session)
    : QObject(&window), session_(session), client_(client) {
    model_ = new MemberListModel(this);
    view_ = new MemberListView(&client);
    view_->setObjectName(QStringLiteral("ListView1"));
    view_->setAccessibleName(QStringLiteral("Members"));
    view_->setGeometry(kListLeft, kListTop, 329, 225);
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setIconSize(QSize(16, 16));
    // Columns share the list's width instead of being measured, which would read every row.
    QHeaderView* header = view_->ColumnHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    new ColumnShares(*view_, *header);
    client.installEventFilter(this);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Where a row in or out puts the top row back takes a walk over the rows the first time; after
    // a scroll it is taken once the list has stood still for a moment, so that the next report
    // finds it while a turning wheel pays nothing.
    topRowAhead_ = new QTimer(this);
    topRowAhead_->setSingleShot(true);
    topRowAhead_->setInterval(200);
    connect(topRowAhead_, &QTimer::timeout, this, [this] { FindTopRowsPlaceAhead(); });
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, topRowAhead_, qOverload<>(&QTimer::start));
    new CellToolTips(*view_);
    CreateFindBar(window);
    CreateFilterBar(window);
    captionsAhead_ = std::make_unique<CaptionKeysAhead>(model_->Collator());
    session_.WatchMembers(model_);
}

MemberListPane::~MemberListPane() = default;

// The list takes the client area below the buttons, reaching one pixel past its right edge, as
// it was first laid out.
bool MemberListPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &client_ && event->type() == QEvent::Resize && view_ != nullptr) {
        const QSize area = client_.size();
        view_->setGeometry(kListLeft, kListTop, area.width() + 1, area.height() - kListTop - kListGap);
    }
    return QObject::eventFilter(watched, event);
}

void MemberListPane::CreateFindBar(QWidget& window) {
    findBar_ = new MemberFindBar(*view_, *model_, view_->parentWidget());
    const auto open = [this] { findBar_->Open(); };
    connect(AddShortcut(&window, "scFind", QKeySequence(Qt::CTRL | Qt::Key_F), Qt::WindowShortcut),
            &QShortcut::activated, this, open);
    connect(AddShortcut(view_, "scFindInList", QKeySequence(Qt::Key_Slash), Qt::WidgetShortcut),
            &QShortcut::activated, this, open);
    // Without a text there is nothing to go on with, so the keys open the field instead.
    connect(AddShortcut(&window, "scFindNext", QKeySequence(Qt::Key_F3), Qt::WindowShortcut),
            &QShortcut::activated, this,
            [this] { findBar_->text().isEmpty() ? findBar_->Open() : findBar_->Next(); });
    connect(AddShortcut(&window, "scFindPrevious", QKeySequence(Qt::SHIFT | Qt::Key_F3), Qt::WindowShortcut),
            &QShortcut::activated, this,
            [this] { findBar_->text().isEmpty() ? findBar_->Open() : findBar_->Previous(); });
}

// The filter bar stands above the find field's place, taking the list's bottom while open.
void MemberListPane::CreateFilterBar(QWidget& window) {
    filterBar_ = new MemberFilterBar(*view_, view_->parentWidget());
    connect(
        AddShortcut(&window, "scFilter", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), Qt::WindowShortcut),
        &QShortcut::activated, this, [this] {
            model_->KeepFilterIndex();
            filterBar_->Open();
        });
    connect(filterBar_, &MemberFilterBar::FilterChanged, this, [this](const MemberFilter& filter) {
        const KeptSelection kept = TakeSelection();
        model_->SetFilter(filter);
        RestoreSelection(kept);
        filterBar_->ShowCounts(model_->ShownCount(), model_->RowCount());
    });
    // Rows given up from the block in every delivery would otherwise be folded again in idle
    // time long after the bar was closed.
    connect(filterBar_, &MemberFilterBar::Closed, model_, &MemberListModel::StopKeepingFilterIndex);
    connect(this, &MemberListPane::ShownRowsChanged, filterBar_,
            [this] { filterBar_->ShowCounts(model_->ShownCount(), model_->RowCount()); });
    connect(model_, &QAbstractItemModel::modelReset, filterBar_,
            [this] { filterBar_->ShowCounts(model_->ShownCount(), model_->RowCount()); });
    connect(filterBar_, &MemberFilterBar::SelectAllShown, this, [this] {
        view_->setFocus(Qt::OtherFocusReason);
        view_->selectAll();
    });
}

std::optional<std::string> MemberListPane::SelectedLogin() const {
    const QItemSelectionModel* selection = view_->selectionModel();
    const QModelIndexList rows = selection ? selection->selectedRows(0) : QModelIndexList();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray login = rows.first().data(MemberListModel::LoginBytesRole).toByteArray();
    return std::string(login.constData(), static_cast<size_t>(login.size()));
}

void MemberListPane::LetGoOfRecords() {
    EndFold();
    model_->ReplaceRows({});
}

void MemberListPane::ShowRowsChange(const RowsEffect& effect) {
    const bool singleRow = effect.change == RowsChange::InsertOne || effect.change == RowsChange::RemoveOne;
    if (singleRow && ++singleRowsDelivered_ > rowsBeforeFolding_ && !model_->Folding()) {
        BeginFold();
    }
    if (model_->Folding()) {
        if (singleRow && FoldRowsChange(effect)) {
            return;
        }
        EndFold();
    }
    // A filtered list is shown again in one reset on a rebuild or a rewritten row, which forgets
    // the selection; a single row in or out takes or leaves its place among the shown rows.
    if (model_->Filtered() && singleRow) {
        ApplyRowsChange(effect);
        emit ShownRowsChanged();
        return;
    }
    if (model_->Filtered() && effect.change != RowsChange::None) {
        const KeptSelection kept = TakeSelection();
        ApplyRowsChange(effect);
        RestoreSelection(kept);
        emit ShownRowsChanged();
        return;
    }
    ApplyRowsChange(effect);
}

void MemberListPane::ApplyRowsChange(const RowsEffect& effect) {
    switch (effect.change) {
        case RowsChange::None:
            break;
        case RowsChange::RebuildAll:
            RefreshMembers();
            break;
        case RowsChange::RewriteOne:
            RefreshMember(effect.login);
            break;
        case RowsChange::InsertOne:
            InsertMemberRow(effect.login);
            break;
        case RowsChange::RemoveOne:
            RemoveMemberRow(effect.login);
            break;
    }
}

void MemberListPane::ReportsDelivered() {
    EndFold();
    singleRowsDelivered_ = 0;
    model_->RowsDelivered();
}

// A list that fits in a few pages is left to the rows' own notifications: near the list's end the
// top row follows the scroll range, which the fold does not follow past a page or so.
void MemberListPane::BeginFold() {
    if (!model_->CanFold()) {
        return;
    }
    if (model_->Filtered()) {
        foldKept_ = TakeSelection();
    } else {
        const QModelIndex top = view_->indexAt(QPoint(1, 1));
        if (!top.isValid() || model_->RowCount() <= 2 * view_->RowsThatFit() + 2) {
            return;
        }
        foldTop_ = top.row();
        foldCurrent_ = view_->currentIndex().isValid() ? view_->currentIndex().row() : -1;
    }
    foldScrolledToRow_ = false;
    model_->BeginFold();
}

// What InsertMemberRow and RemoveMemberRow do, with the view's part (top row, current row,
// selection) followed here and shown once at the end.
bool MemberListPane::FoldRowsChange(const RowsEffect& effect) {
    const bool filtered = model_->Filtered();
    if (!filtered && model_->RowCount() <= 2 * view_->RowsThatFit() + 2) {
        return false;
    }
    const bool insert = effect.change == RowsChange::InsertOne;
    const TkvCLData* record = nullptr;
    int row = -1;
    if (insert) {
        record = session_.Members().RecordOf(effect.login);
        if (record == nullptr) {
            return false;
        }
        row = model_->PlaceAfterEqual(record->Login());
    } else {
        row = model_->RowOfLogin(effect.login);
        if (row < 0) {
            return false;
        }
    }
    const std::string topCaption = filtered ? std::string() : std::string(model_->Row(foldTop_).Login());
    if (insert) {
        model_->InsertRow(row, MemberRow(*record));
        onlineCount_ += record->Online() ? 1 : 0;
        foldCurrent_ += foldCurrent_ >= row ? 1 : 0;
    } else {
        const MemberRow& going = model_->Row(row);
        onlineCount_ -= going.Online() ? 1 : 0;
        if (filtered) {
            foldKept_.logins.erase(std::string(going.Login()));
            if (foldKept_.current == going.Login()) {
                foldKept_.current.clear();
            }
        }
        foldCurrent_ = foldCurrent_ == row ? -1 : foldCurrent_ - (foldCurrent_ > row ? 1 : 0);
        model_->RemoveRow(row);
    }
    if (!filtered) {
        foldTop_ = 0;
        const int atOrBefore = topCaption.empty() ? 0 : model_->LastRowAtOrBefore(topCaption);
        if (atOrBefore > 0) {
            foldScrolledToRow_ = true;
            foldTop_ = std::min(atOrBefore, view_->LastTopRowFor(model_->RowCount()));
        }
    }
    return true;
}

void MemberListPane::EndFold() {
    if (!model_->Folding()) {
        return;
    }
    QItemSelectionModel* selection = view_->selectionModel();
    if (model_->Filtered()) {
        model_->EndFold();
        view_->scrollToTop();
        RestoreSelection(foldKept_);
        foldKept_ = {};
        emit ShownRowsChanged();
        return;
    }
    const std::vector<std::pair<int, int>> spans = FoldedSelection();
    model_->EndFold();
    if (foldCurrent_ >= 0) {
        selection->setCurrentIndex(model_->index(foldCurrent_, 0), QItemSelectionModel::NoUpdate);
    }
    QItemSelection rows;
    const int lastColumn = model_->columnCount() - 1;
    for (const auto& [top, bottom] : spans) {
        rows.append(QItemSelectionRange(model_->index(top, 0), model_->index(bottom, lastColumn)));
    }
    if (!rows.isEmpty()) {
        selection->select(rows, QItemSelectionModel::Select);
    }
    view_->scrollToTop();
    if (foldScrolledToRow_) {
        view_->scrollTo(model_->index(foldTop_, 0), QAbstractItemView::PositionAtTop);
    }
}

// As the selection's ranges follow single rows: a row that went leaves them, and a row that came
// inside a run splits it without being selected.
std::vector<std::pair<int, int>> MemberListPane::FoldedSelection() const {
    std::vector<std::pair<int, int>> before;
    for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
        before.emplace_back(range.top(), range.bottom());
    }
    std::sort(before.begin(), before.end());
    const RowFold& fold = model_->Fold();
    std::vector<std::pair<int, int>> after;
    int runTop = -1;
    int runRows = 0;
    const auto closeRun = [&] {
        if (runRows > 0) {
            after.emplace_back(runTop, runTop + runRows - 1);
        }
        runRows = 0;
    };
    int next = 0;  // rows before this one were looked at already, where ranges overlap
    for (const auto& [top, bottom] : before) {
        for (int first = std::max(top, next); first <= bottom; ++first) {
            if (fold.FirstRemoved(first) || (runRows > 0 && fold.RowsCameBefore(first)) ||
                (runRows > 0 && first != next)) {
                closeRun();
            }
            if (!fold.FirstRemoved(first)) {
                if (runRows == 0) {
                    runTop = fold.RowOfFirst(first);
                }
                ++runRows;
            }
            next = first + 1;
        }
    }
    closeRun();
    return after;
}

void MemberListPane::FollowArrivingList() {
    captionsAhead_->Follow(session_.Members());
}

void MemberListPane::RefreshMembers() {
    const std::string topCaption = TopRowCaption();
    const KeptSelection kept = TakeSelection();
    const TkvCLDataCollection& members = session_.Members();
    MemberRows rows;
    rows.reserve(static_cast<size_t>(members.Count()));
    onlineCount_ = 0;
    for (int32_t position = 0; position < members.Count(); ++position) {
        const TkvCLData* record = members.Items(position);
        if (record == nullptr) {
            continue;
        }
        rows.emplace_back(*record);
        onlineCount_ += record->Online() ? 1 : 0;
    }
    model_->ReplaceRows(std::move(rows), captionsAhead_->Take(members));
    session_.RowsRebuilt();
    RestoreSelection(kept);
    RestoreTopRow(topCaption);
    // Beside the rebuild the walk costs little, and the report that follows it may come at once.
    FindTopRowsPlaceAhead();
}

// A new member's row goes where a rebuild would sort it: after the rows that sort before it
// and, among those that sort equal, after the members added before it. The top row and the
// online count then come out as a rebuild leaves them.
void MemberListPane::InsertMemberRow(const std::string& login) {
    const TkvCLDataCollection& members = session_.Members();
    const int32_t position = members.IndexOf(login);
    const TkvCLData* record = members.Items(position);
    if (record == nullptr) {
        RefreshMembers();
        return;
    }
    const std::string topCaption = TopRowCaption();
    int row = model_->LowerBound(record->Login());
    while (row < model_->RowCount() && model_->SortsEqual(row, record->Login()) &&
           members.IndexOf(model_->Row(row).Login()) < position) {
        ++row;
    }
    model_->InsertRow(row, MemberRow(*record));
    onlineCount_ += record->Online() ? 1 : 0;
    RestoreTopRow(topCaption);
    KeepCurrentInSight();
}

void MemberListPane::RemoveMemberRow(const std::string& caption) {
    int row = model_->LowerBound(caption);
    while (row < model_->RowCount() && model_->SortsEqual(row, caption) &&
           model_->Row(row).Login() != caption) {
        ++row;
    }
    if (row >= model_->RowCount() || model_->Row(row).Login() != caption) {
        RefreshMembers();
        return;
    }
    const std::string topCaption = TopRowCaption();
    onlineCount_ -= model_->Row(row).Online() ? 1 : 0;
    // A rebuild finds no row for a member that went away to be current; nor does its neighbour
    // become current here, as the selection's own following of rows would make it.
    const QModelIndex current = view_->currentIndex();
    if (model_->Filtered() ? current.isValid() && model_->ShownRow(current.row()).Login() == caption
                           : current.row() == row) {
        view_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    model_->RemoveRow(row);
    RestoreTopRow(topCaption);
    KeepCurrentInSight();
}

// Under a filter the list goes back to its top at every change; the current row is then brought
// into sight, as choosing it again after the shown rows were made anew did.
void MemberListPane::KeepCurrentInSight() {
    const QModelIndex current = view_->currentIndex();
    if (model_->Filtered() && current.isValid() && view_->isVisible() && view_->hasAutoScroll()) {
        view_->scrollTo(current);
    }
}

// A single row in or out moves the selection's ranges with the rows; a rebuild resets the
// rows, so the selected logins are taken before it and found again after it, in one walk over the
// rows that gathers neighbouring rows into one range.
MemberListPane::KeptSelection MemberListPane::TakeSelection() const {
    KeptSelection kept;
    const QModelIndex current = view_->currentIndex();
    if (current.isValid()) {
        kept.current = model_->ShownRow(current.row()).Login();
    }
    for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            kept.logins.emplace(model_->ShownRow(row).Login());
        }
    }
    return kept;
}

void MemberListPane::RestoreSelection(const KeptSelection& kept) {
    QItemSelectionModel* selection = view_->selectionModel();
    if (!kept.current.empty()) {
        // The caption table ignores letter case; only two logins that differ in it alone need a walk.
        int exact = model_->Filtered() ? -1 : model_->FindCaption(kept.current);
        if (model_->Filtered() || (exact >= 0 && model_->Row(exact).Login() != kept.current)) {
            exact = -1;
            for (int row = 0; row < model_->ShownCount() && exact < 0; ++row) {
                exact = model_->ShownRow(row).Login() == kept.current ? row : -1;
            }
        }
        if (exact >= 0) {
            selection->setCurrentIndex(model_->index(exact, 0), QItemSelectionModel::NoUpdate);
        }
    }
    if (kept.logins.empty()) {
        return;
    }
    QItemSelection rows;
    const int lastColumn = model_->columnCount() - 1;
    int first = -1;
    const int count = model_->ShownCount();
    for (int row = 0; row <= count; ++row) {
        const bool selected =
            row < count && kept.logins.count(std::string(model_->ShownRow(row).Login())) != 0;
        if (selected && first < 0) {
            first = row;
        } else if (!selected && first >= 0) {
            rows.append(QItemSelectionRange(model_->index(first, 0), model_->index(row - 1, lastColumn)));
            first = -1;
        }
    }
    if (!rows.isEmpty()) {
        selection->select(rows, QItemSelectionModel::Select);
    }
}

int MemberListPane::SelectedCount() const {
    int count = 0;
    for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
        count += range.height();
    }
    return count;
}

std::vector<std::string> MemberListPane::SelectedLogins() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<std::string> logins;
    logins.reserve(rows.size());
    for (const int row : rows) {
        logins.emplace_back(model_->ShownRow(row).Login());
    }
    return logins;
}

// The caption of the row at the top of the list, or empty when there is none to come back to.
std::string MemberListPane::TopRowCaption() const {
    const QModelIndex top = view_->indexAt(QPoint(1, 1));
    return top.isValid() ? std::string(model_->ShownRow(top.row()).Login()) : std::string();
}

void MemberListPane::RestoreTopRow(const std::string& caption) {
    view_->scrollToTop();
    // The walk to the top row's place is over every row, not the shown ones.
    if (caption.empty() || model_->Filtered()) {
        return;
    }
    const int row = model_->LastRowAtOrBefore(caption);
    if (row > 0) {
        view_->scrollTo(model_->index(row, 0), QAbstractItemView::PositionAtTop);
    }
}

void MemberListPane::FindTopRowsPlaceAhead() {
    const std::string caption = TopRowCaption();
    if (!caption.empty() && !model_->Filtered()) {
        model_->LastRowAtOrBefore(caption);
    }
}

void MemberListPane::RefreshMember(const std::string& login) {
    const TkvCLData* record = session_.Members().RecordOf(login);
    const int row = model_->FindCaption(login);
    if (record == nullptr || row < 0) {
        RefreshMembers();
        return;
    }
    onlineCount_ -= model_->Row(row).Online() ? 1 : 0;
    // A reader may hold a row out of sight, and hears of its change as the eye does of one in sight.
    const bool notify = model_->Filtered() || RowInSight(row) || QAccessible::isActive();
    model_->SetRow(row, MemberRow(*record), notify);
    onlineCount_ += record->Online() ? 1 : 0;
}

// From the rows at the view's top and bottom edges, which the view finds without a search.
bool MemberListPane::RowInSight(int row) const {
    const QRect area = view_->viewport()->rect();
    const QModelIndex top = view_->indexAt(area.topLeft());
    if (!top.isValid() || row < top.row()) {
        return !top.isValid();
    }
    const QModelIndex bottom = view_->indexAt(QPoint(area.left(), area.bottom()));
    return !bottom.isValid() || row <= bottom.row();
}

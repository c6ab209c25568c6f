#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "protocol/ServerReports.hpp"
#include "window/MemberListView.hpp"

class QEvent;
class QTimer;
class QWidget;
class CaptionKeysAhead;
class MemberFilterBar;
class MemberFindBar;
class MemberListModel;
class ServerSession;

// The member list as the window shows it: the view, its rows and what keeps them as a rebuild
// would leave them (sorted place, top row, counters), and the find field over them. The window
// hands it every change of the session's member list.
class MemberListPane final : public QObject {
    Q_OBJECT

public:
    // client: the window's area the list is placed in; window: where the find keys act.
    MemberListPane(QWidget& client, QWidget& window, ServerSession& session);
    ~MemberListPane() override;

    MemberListView& View() { return *view_; }
    int32_t OnlineCount() const { return onlineCount_; }
    // The login of the selected row, if a row is selected.
    std::optional<std::string> SelectedLogin() const;
    // How many rows are selected, counted from the selection's ranges without a walk.
    int SelectedCount() const;
    // The selected rows' logins, in row order.
    std::vector<std::string> SelectedLogins() const;

    // The rows read the records in place; they let go before the records go.
    void LetGoOfRecords();
    // What a report did to the member list, shown; the counters are the owner's to show.
    void ShowRowsChange(const RowsEffect& effect);
    // A long list is arriving: its sort keys are made meanwhile.
    void FollowArrivingList();
    // Every report of the delivery has been shown: a burst folded so far is written out.
    void ReportsDelivered();
    // Within one delivery, the single rows in or out after this many are folded into one change
    // of the rows, with the rows, top row, selection and counters each of them would have left.
    void SetRowsBeforeFolding(int rows) { rowsBeforeFolding_ = rows; }
    static constexpr int kRowsBeforeFolding = 64;

signals:
    // The rows shown under a filter came again after a report.
    void ShownRowsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshMembers();
    void RefreshMember(const std::string& login);
    void CreateFindBar(QWidget& window);
    void CreateFilterBar(QWidget& window);
    void ApplyRowsChange(const RowsEffect& effect);
    void InsertMemberRow(const std::string& login);
    void RemoveMemberRow(const std::string& caption);
    void KeepCurrentInSight();
    struct KeptSelection {
        std::unordered_set<std::string> logins;
        std::string current;
    };
    KeptSelection TakeSelection() const;
    void RestoreSelection(const KeptSelection& kept);
    void BeginFold();
    // False when the change cannot be folded; it is then shown on its own once the fold ends.
    bool FoldRowsChange(const RowsEffect& effect);
    void EndFold();
    // The rows selected when the fold began, where they stand now, as spans of rows.
    std::vector<std::pair<int, int>> FoldedSelection() const;
    std::string TopRowCaption() const;
    void RestoreTopRow(const std::string& caption);
    void FindTopRowsPlaceAhead();
    bool RowInSight(int row) const;

    ServerSession& session_;
    MemberListModel* model_ = nullptr;  // owned through Qt's parent ownership
    // Watched while the window's client area resizes, which it also does while it is being taken
    // down, after its children are gone.
    QPointer<MemberListView> view_;
    QWidget& client_;
    MemberFindBar* findBar_ = nullptr;
    MemberFilterBar* filterBar_ = nullptr;
    QTimer* topRowAhead_ = nullptr;
    std::unique_ptr<CaptionKeysAhead> captionsAhead_;
    int32_t onlineCount_ = 0;
    int rowsBeforeFolding_ = kRowsBeforeFolding;
    int singleRowsDelivered_ = 0;
    // While folding: the top row and current row as the view would have them after each change
    // (-1: none), whether the view was scrolled to a row, and, under a filter, the selection kept
    // by login.
    int foldTop_ = 0;
    int foldCurrent_ = -1;
    bool foldScrolledToRow_ = false;
    KeptSelection foldKept_;
};

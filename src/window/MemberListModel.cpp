#include "window/MemberListModel.hpp"

#include <algorithm>

#include <QByteArray>
#include <QLocale>

#include "util/untCalc1.hpp"
#include "window/CaptionOrder.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberIcons.hpp"

MemberListModel::MemberListModel(QObject* parent)
    : QAbstractTableModel(parent),
      // The process's default locale is pinned to C for its number format; the order of
      // names is still the user's.
      collator_(QLocale::system()),
      blankImage_(DrawBlankMemberImage()),
      onlineImage_(DrawOnlineMemberImage()) {
    collator_.setCaseSensitivity(Qt::CaseSensitive);
}

int MemberListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int MemberListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MemberListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= RowCount()) {
        return {};
    }
    const MemberRow& member = Row(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return DisplayText(member, index.column());
        case Qt::DecorationRole:
            if (index.column() == LoginColumn) {
                return member.Online ? onlineImage_ : blankImage_;
            }
            return {};
        case OnlineRole:
            return member.Online;
        case LoginBytesRole:
            return QByteArray(member.Login.data(), static_cast<qsizetype>(member.Login.size()));
        default:
            return {};
    }
}

QVariant MemberListModel::DisplayText(const MemberRow& member, int column) const {
    switch (column) {
        case LoginColumn:
            return ShortForDisplay(member.Login);
        case ProtocolsColumn:
            return ShortForDisplay(member.ProtocolsText);
        case UserBotsColumn:
            return ShortForDisplay(member.UserBotsText);
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

void MemberListModel::ReplaceRows(std::vector<MemberRow> rows) {
    SortRowsByCaption(rows, collator_);
    beginResetModel();
    rows_ = std::move(rows);
    firstRowOfLastReset_ = 0;
    captions_.Build(rows_);
    endResetModel();
}

void MemberListModel::SetRow(int row, MemberRow member, bool notify) {
    MemberRow& shown = rows_[static_cast<size_t>(row)];
    const bool sameCaption = SameTextAscii(shown.Login, member.Login);
    shown = std::move(member);
    if (!sameCaption) {
        captions_.Build(rows_);
    }
    if (notify) {
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

// Announced as a reset, as the rebuild it stands for is: the selection goes with it, and the
// list view lays its rows out again either way.
void MemberListModel::InsertRow(int row, MemberRow member) {
    beginResetModel();
    rows_.insert(rows_.begin() + row, std::move(member));
    firstRowOfLastReset_ = row;
    captions_.Inserted(rows_, row);
    endResetModel();
}

void MemberListModel::RemoveRow(int row) {
    beginResetModel();
    const bool rebuildCaptions = captions_.HasDuplicates();
    captions_.Removing(rows_, row);
    rows_.erase(rows_.begin() + row);
    if (rebuildCaptions) {
        captions_.Build(rows_);
    }
    firstRowOfLastReset_ = row;
    endResetModel();
}

int MemberListModel::LowerBound(std::string_view caption) const {
    const QString wanted = BytesToDisplay(caption);
    const auto found = std::partition_point(rows_.begin(), rows_.end(), [&](const MemberRow& shown) {
        return collator_.compare(BytesToDisplay(shown.Login), wanted) < 0;
    });
    return static_cast<int>(found - rows_.begin());
}

bool MemberListModel::SortsEqual(int row, std::string_view caption) const {
    return collator_.compare(BytesToDisplay(Row(row).Login), BytesToDisplay(caption)) == 0;
}

int MemberListModel::FindCaption(std::string_view login) const {
    return captions_.Find(rows_, login);
}

int MemberListModel::LastRowAtOrBefore(std::string_view caption) const {
    int found = 0;
    for (size_t row = 1; row < rows_.size(); ++row) {
        if (CompareTextAscii(rows_[row].Login, caption) <= 0) {
            found = static_cast<int>(row);
        }
    }
    return found;
}

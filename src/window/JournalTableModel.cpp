#include "window/JournalTableModel.hpp"

#include <algorithm>
#include <limits>

#include "journal/JournalRecordText.hpp"
#include "window/DisplayText.hpp"

namespace {

// Pages kept while the view scrolls; beyond this the cache starts again.
constexpr size_t kPagesKept = 64;

}  // namespace

JournalTableModel::JournalTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void JournalTableModel::SetReader(JournalReader* reader) {
    reader_ = reader;
    Reload();
}

void JournalTableModel::SetFilter(const RequestFilter& filter) {
    filter_ = filter;
    Reload();
}

void JournalTableModel::Reload() {
    beginResetModel();
    pages_.clear();
    const int64_t count = reader_ != nullptr ? reader_->CountRequests(filter_) : 0;
    rows_ = static_cast<int>(std::min<int64_t>(count, std::numeric_limits<int>::max()));
    endResetModel();
}

bool JournalTableModel::ForEachRecord(const std::function<void(const RequestRecord&)>& each) const {
    if (reader_ == nullptr) {
        return true;
    }
    PageRequest page;
    page.limit = 1000;
    for (;;) {
        const std::vector<RequestRecord> records = reader_->Requests(filter_, page);
        if (!reader_->Error().empty()) {
            return false;
        }
        if (records.empty()) {
            return true;
        }
        for (const RequestRecord& record : records) {
            each(record);
        }
        page.after = JournalCursor{records.back().entry.time, records.back().id};
    }
}

const RequestRecord* JournalTableModel::RecordAt(int row) const {
    if (reader_ == nullptr || row < 0 || row >= rows_) {
        return nullptr;
    }
    const size_t number = static_cast<size_t>(row) / kPageRows;
    auto found = pages_.find(number);
    if (found == pages_.end()) {
        if (pages_.size() >= kPagesKept) {
            pages_.clear();
        }
        PageRequest page;
        page.limit = kPageRows;
        // Keyset paging from the page above costs the same at any depth; an offset, only near the top.
        const auto above = number > 0 ? pages_.find(number - 1) : pages_.end();
        if (above != pages_.end() && above->second.size() == kPageRows) {
            page.after = JournalCursor{above->second.back().entry.time, above->second.back().id};
        } else {
            page.offset = number * kPageRows;
        }
        found = pages_.emplace(number, reader_->Requests(filter_, page)).first;
    }
    const size_t at = static_cast<size_t>(row) % kPageRows;
    return at < found->second.size() ? &found->second[at] : nullptr;
}

int JournalTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int JournalTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(RequestColumnNames().size());
}

QVariant JournalTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const RequestRecord* record = RecordAt(index.row());
    if (record == nullptr) {
        return {};
    }
    const std::vector<std::string> columns = RequestColumns(*record);
    const auto column = static_cast<size_t>(index.column());
    return column < columns.size() ? QVariant(BytesToDisplay(columns[column])) : QVariant();
}

QVariant JournalTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    const std::vector<std::string>& names = RequestColumnNames();
    return section >= 0 && static_cast<size_t>(section) < names.size()
               ? QVariant(QString::fromStdString(names[static_cast<size_t>(section)]))
               : QVariant();
}

#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "journal/JournalReader.hpp"

// The journal's requests as a table, newest first, read a page at a time as the view scrolls to
// them: a journal of millions of entries costs a count and one page to show.
class JournalTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr size_t kPageRows = 100;

    explicit JournalTableModel(QObject* parent = nullptr);

    // Not owned; nullptr shows nothing. Reads again from the newest entry.
    void SetReader(JournalReader* reader);
    void SetFilter(const RequestFilter& filter);
    const RequestFilter& Filter() const { return filter_; }
    // Reads again from the newest entry, as after a writer's commit.
    void Reload();

    // Every request the filter lets through, newest first, page by page; false when reading
    // failed (the reason is the reader's Error()).
    bool ForEachRecord(const std::function<void(const RequestRecord&)>& each) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const RequestRecord* RecordAt(int row) const;

    JournalReader* reader_ = nullptr;
    RequestFilter filter_;
    int rows_ = 0;
    // Pages read so far, by number; a page continues from the one before it when that is at hand.
    mutable std::map<size_t, std::vector<RequestRecord>> pages_;
};

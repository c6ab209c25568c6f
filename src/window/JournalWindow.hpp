#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "journal/JournalReader.hpp"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTableView;
class QTabWidget;
class QTimer;
class JournalTableModel;
class MemberCountPlot;

// File › Journal…: the requests sent from this user's window and krvadmin with what became of
// them, filtered and exported as CSV, and the member counts over the same span as a plot. It
// follows the file: what any program commits shows within the poll's period.
class JournalWindow : public QWidget {
    Q_OBJECT

public:
    // How often the file is asked whether anyone committed to it.
    static constexpr int kFollowMs = 1000;

    // path: the journal file; it may not exist yet.
    explicit JournalWindow(std::string path, QWidget* parent = nullptr);
    ~JournalWindow() override;

    // Writes every row the filters let through, as CSV; false with the reason shown.
    bool ExportCsv(const QString& fileName);
    JournalTableModel& Model() { return *model_; }
    MemberCountPlot& Plot() { return *plot_; }

    // Reads the filters' fields now rather than after the typing pause.
    void ApplyFilters();
    // Looks at the file once, as the follow timer does.
    void Follow();

private:
    void CreateControls();
    bool OpenReader();
    RequestFilter FilterOfFields() const;
    void RefreshPlot();
    void ShowStatus();
    void ExportClicked();

    std::string path_;
    std::unique_ptr<JournalReader> reader_;
    int64_t dataVersion_ = -1;
    QString readError_;

    QComboBox* range_ = nullptr;
    QDateTimeEdit* from_ = nullptr;  // shown with "between dates"
    QDateTimeEdit* to_ = nullptr;
    QLineEdit* server_ = nullptr;
    QComboBox* command_ = nullptr;
    QLineEdit* member_ = nullptr;
    QComboBox* outcome_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QTableView* table_ = nullptr;
    JournalTableModel* model_ = nullptr;
    MemberCountPlot* plot_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* follow_ = nullptr;
    QTimer* typingPause_ = nullptr;
};

#include "window/JournalWindow.hpp"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <iterator>

#include "journal/JournalRecordText.hpp"
#include "window/JournalTableModel.hpp"
#include "window/MemberCountPlot.hpp"

namespace {

// Typing in a text filter waits this long before the journal is asked again.
constexpr int kTypingPauseMs = 250;
// The plot asks for at most this many samples: a month of minutes, with room.
constexpr size_t kPlotSamples = 50'000;
constexpr size_t kLossesShown = 10'000;

struct Range {
    const char* caption;
    std::chrono::hours span;  // zero: everything, or the dates chosen
};

constexpr Range kRanges[] = {
    {"last hour", std::chrono::hours(1)},        {"last 24 hours", std::chrono::hours(24)},
    {"last 7 days", std::chrono::hours(24 * 7)}, {"last 30 days", std::chrono::hours(24 * 30)},
    {"everything", std::chrono::hours(0)},       {"between dates", std::chrono::hours(0)},
};
constexpr int kDefaultRange = 3;
constexpr int kSentColumn = 0;
constexpr int kSettledColumn = 7;

// The last item: the span runs between the two date fields.
constexpr int kBetweenDates = static_cast<int>(std::size(kRanges)) - 1;

constexpr const char* kCommands[] = {"add",           "edit",
                                     "delete",        "expel",
                                     "logoff",        "reconnect",
                                     "logoff-all",    "logoff-all-but-me",
                                     "reconnect-all", "reconnect-all-but-me"};

constexpr JournalOutcome kOutcomes[] = {JournalOutcome::Confirmed, JournalOutcome::Refused,
                                        JournalOutcome::Unconfirmed, JournalOutcome::Pending,
                                        JournalOutcome::Cancelled};

std::string Bytes(const QString& text) {
    return text.trimmed().toStdString();
}

JournalTime TimeOf(const QDateTime& shown) {
    return JournalTime(std::chrono::milliseconds(shown.toMSecsSinceEpoch()));
}

QDateTime ShownTime(JournalTime time) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count());
}

// With the dates shown the row is crowded; the text fields keep room to say what they are for.
void WideEnoughForPlaceholder(QLineEdit* field) {
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(field->placeholderText()) + 16);
}

QDateTimeEdit* NewDateField(QWidget* parent, const QString& name, JournalTime shown) {
    auto* field = new QDateTimeEdit(ShownTime(shown), parent);
    field->setObjectName(name);
    field->setCalendarPopup(true);
    field->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    field->setVisible(false);
    return field;
}

}  // namespace

JournalWindow::JournalWindow(std::string path, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(std::move(path)) {
    setObjectName(QStringLiteral("frmJournal"));
    setWindowTitle(QStringLiteral("Journal"));
    CreateControls();
    OpenReader();
    ApplyFilters();
    follow_->start(kFollowMs);
}

JournalWindow::~JournalWindow() {
    // The model reads through the reader until it is told otherwise.
    model_->SetReader(nullptr);
}

void JournalWindow::CreateControls() {
    auto* filters = new QHBoxLayout;
    range_ = new QComboBox(this);
    range_->setObjectName(QStringLiteral("cbRange"));
    for (const Range& range : kRanges) {
        range_->addItem(QLatin1String(range.caption));
    }
    range_->setCurrentIndex(kDefaultRange);
    // Until a day is chosen, the fields offer the last week up to this minute.
    const JournalTime now = JournalNow();
    from_ = NewDateField(this, QStringLiteral("dtFrom"), now - std::chrono::hours(24 * 7));
    from_->setToolTip(QStringLiteral("From this minute on"));
    to_ = NewDateField(this, QStringLiteral("dtTo"), now + std::chrono::minutes(1));
    to_->setToolTip(QStringLiteral("Up to this minute, not including it"));
    server_ = new QLineEdit(this);
    server_->setObjectName(QStringLiteral("edServer"));
    server_->setPlaceholderText(QStringLiteral("server (host:port)"));
    WideEnoughForPlaceholder(server_);
    command_ = new QComboBox(this);
    command_->setObjectName(QStringLiteral("cbCommand"));
    command_->addItem(QStringLiteral("every command"));
    for (const char* command : kCommands) {
        command_->addItem(QLatin1String(command));
    }
    member_ = new QLineEdit(this);
    member_->setObjectName(QStringLiteral("edMember"));
    member_->setPlaceholderText(QStringLiteral("member login contains"));
    WideEnoughForPlaceholder(member_);
    member_->setClearButtonEnabled(true);
    outcome_ = new QComboBox(this);
    outcome_->setObjectName(QStringLiteral("cbOutcome"));
    outcome_->addItem(QStringLiteral("every outcome"));
    for (const JournalOutcome outcome : kOutcomes) {
        outcome_->addItem(QLatin1String(JournalOutcomeName(outcome)), static_cast<int>(outcome));
    }
    auto* exportButton = new QPushButton(QStringLiteral("&Export CSV..."), this);
    exportButton->setObjectName(QStringLiteral("btExport"));
    filters->addWidget(range_);
    filters->addWidget(from_);
    filters->addWidget(to_);
    filters->addWidget(server_, 1);
    filters->addWidget(command_);
    filters->addWidget(member_, 1);
    filters->addWidget(outcome_);
    filters->addWidget(exportButton);

    model_ = new JournalTableModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("tvEntries"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setDefaultSectionSize(120);
    // The two time columns, sent and settled, show their seconds whole.
    const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16;
    for (const int column : {kSentColumn, kSettledColumn}) {
        table_->horizontalHeader()->resizeSection(column, timeWidth);
    }
    plot_ = new MemberCountPlot(this);
    plot_->setObjectName(QStringLiteral("plotMembers"));
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabsJournal"));
    tabs_->addTab(table_, QStringLiteral("&Requests"));
    tabs_->addTab(plot_, QStringLiteral("&Members over time"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lbStatus"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(tabs_, 1);
    layout->addWidget(status_);
    resize(960, 520);

    typingPause_ = new QTimer(this);
    typingPause_->setSingleShot(true);
    typingPause_->setInterval(kTypingPauseMs);
    connect(typingPause_, &QTimer::timeout, this, [this] { ApplyFilters(); });
    const auto typed = [this] { typingPause_->start(); };
    connect(server_, &QLineEdit::textChanged, this, typed);
    connect(member_, &QLineEdit::textChanged, this, typed);
    connect(range_, &QComboBox::currentIndexChanged, this, [this](int index) {
        from_->setVisible(index == kBetweenDates);
        to_->setVisible(index == kBetweenDates);
        ApplyFilters();
    });
    connect(from_, &QDateTimeEdit::dateTimeChanged, this, typed);
    connect(to_, &QDateTimeEdit::dateTimeChanged, this, typed);
    connect(command_, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
    connect(outcome_, &QComboBox::currentIndexChanged, this, [this] { ApplyFilters(); });
    connect(exportButton, &QPushButton::clicked, this, [this] { ExportClicked(); });
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { RefreshPlot(); });
    follow_ = new QTimer(this);
    follow_->setObjectName(QStringLiteral("tmFollow"));
    connect(follow_, &QTimer::timeout, this, [this] { Follow(); });
}

// A journal not written yet is no error: the window waits for it.
bool JournalWindow::OpenReader() {
    if (reader_) {
        return true;
    }
    std::error_code ignored;
    if (!std::filesystem::exists(path_, ignored)) {
        readError_ = QStringLiteral("Nothing journaled yet");
        return false;
    }
    std::string error;
    reader_ = JournalReader::Open(path_, &error);
    if (!reader_) {
        readError_ = QStringLiteral("The journal cannot be read: %1").arg(QString::fromStdString(error));
        return false;
    }
    readError_.clear();
    dataVersion_ = reader_->DataVersion();
    model_->SetReader(reader_.get());
    return true;
}

RequestFilter JournalWindow::FilterOfFields() const {
    RequestFilter filter;
    const int chosen = std::max(0, range_->currentIndex());
    if (chosen == kBetweenDates) {
        filter.from = TimeOf(from_->dateTime());
        filter.to = TimeOf(to_->dateTime());
    } else if (kRanges[chosen].span.count() > 0) {
        filter.from = JournalNow() - kRanges[chosen].span;
    }
    filter.server = Bytes(server_->text());
    filter.command = command_->currentIndex() > 0 ? Bytes(command_->currentText()) : std::string();
    filter.memberContains = Bytes(member_->text());
    if (outcome_->currentIndex() > 0) {
        filter.outcome = static_cast<JournalOutcome>(outcome_->currentData().toInt());
    }
    return filter;
}

void JournalWindow::ApplyFilters() {
    typingPause_->stop();
    model_->SetFilter(FilterOfFields());
    RefreshPlot();
    ShowStatus();
}

void JournalWindow::Follow() {
    if (!reader_) {
        if (OpenReader()) {
            ApplyFilters();
        }
        return;
    }
    const int64_t version = reader_->DataVersion();
    if (version == dataVersion_) {
        return;
    }
    dataVersion_ = version;
    // Whoever reads further down keeps the same entries in view while new ones come in above.
    const int rowsBefore = model_->rowCount();
    const int firstShown = table_->verticalScrollBar()->value();
    // The span "last hour" moves with the clock, so the filter is read again too.
    model_->SetFilter(FilterOfFields());
    if (firstShown > 0) {
        table_->verticalScrollBar()->setValue(firstShown + std::max(0, model_->rowCount() - rowsBefore));
    }
    RefreshPlot();
    ShowStatus();
}

// The plot is read only while it is shown.
void JournalWindow::RefreshPlot() {
    if (!reader_ || tabs_->currentWidget() != plot_) {
        return;
    }
    const RequestFilter filter = model_->Filter();
    const JournalTime to = filter.to.value_or(JournalNow());
    JournalTime from = filter.from.value_or(to - std::chrono::hours(24 * 30));
    std::vector<MemberCountPoint> points = reader_->MemberCounts(filter.server, from, to, kPlotSamples);
    if (!filter.from && !points.empty()) {
        from = points.front().time;
    }
    RequestFilter lossFilter;
    lossFilter.from = from;
    lossFilter.to = to;
    lossFilter.server = filter.server;
    PageRequest page;
    page.limit = kLossesShown;
    std::vector<JournalTime> losses;
    for (const ConnectionRecord& record : reader_->ConnectionEvents(lossFilter, page)) {
        if (record.entry.kind == ConnectionEventKind::Loss) {
            losses.push_back(record.entry.time);
        }
    }
    plot_->SetData(std::move(points), std::move(losses), from, to);
}

void JournalWindow::ShowStatus() {
    if (!reader_) {
        status_->setText(readError_);
    } else if (!reader_->Error().empty()) {
        status_->setText(
            QStringLiteral("The journal cannot be read: %1").arg(QString::fromStdString(reader_->Error())));
    } else {
        status_->setText(
            QStringLiteral("%1 requests  -  %2").arg(model_->rowCount()).arg(QString::fromStdString(path_)));
    }
}

bool JournalWindow::ExportCsv(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        status_->setText(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
        return false;
    }
    std::string text = CsvRow(RequestColumnNames());
    bool written = true;
    const bool read = model_->ForEachRecord([&](const RequestRecord& record) {
        text += CsvRow(RequestColumns(record));
        if (text.size() > (1 << 20)) {
            written = written && file.write(text.data(), static_cast<qint64>(text.size())) >= 0;
            text.clear();
        }
    });
    written = written && file.write(text.data(), static_cast<qint64>(text.size())) >= 0;
    if (!read || !written) {
        status_->setText(read ? QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString())
                              : QStringLiteral("The journal cannot be read: %1")
                                    .arg(QString::fromStdString(reader_->Error())));
        return false;
    }
    status_->setText(QStringLiteral("Exported %1 requests to %2").arg(model_->rowCount()).arg(fileName));
    return true;
}

void JournalWindow::ExportClicked() {
    const QString fileName =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export the journal"),
                                     QStringLiteral("journal.csv"), QStringLiteral("CSV files (*.csv)"));
    if (!fileName.isEmpty() && !ExportCsv(fileName)) {
        QMessageBox::warning(this, windowTitle(), status_->text());
    }
}

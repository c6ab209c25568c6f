#include "window/BulkRun.hpp"

#include <algorithm>
#include <chrono>
#include <ctime>

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/MessageBoxes.hpp"
#include "link/Clock.hpp"
#include "session/BulkBackup.hpp"
#include "session/SessionJournal.hpp"
#include "window/DisplayText.hpp"

namespace {

struct OutcomeName {
    BulkOutcome outcome;
    const char* words;
    const char* button;
};
constexpr OutcomeName kOutcomes[] = {{BulkOutcome::Confirmed, "confirmed", "btnSaveConfirmed"},
                                     {BulkOutcome::Refused, "refused", "btnSaveRefused"},
                                     {BulkOutcome::Unconfirmed, "unconfirmed", "btnSaveUnconfirmed"},
                                     {BulkOutcome::Skipped, "skipped", "btnSaveSkipped"},
                                     {BulkOutcome::NotSent, "not sent", "btnSaveNotSent"}};

}  // namespace

BulkRun::BulkRun(QWidget& window, ServerSession& session, std::unique_ptr<BulkOperation> bulk,
                 JournalOf journal)
    : QObject(&window),
      window_(window),
      session_(session),
      bulk_(std::move(bulk)),
      journal_(std::move(journal)) {}

BulkRun::~BulkRun() = default;

BulkPacing BulkRun::PacingFor(size_t listed) {
    constexpr size_t kRowsPerAwaited = 500;
    constexpr size_t kMostAwaiting = 2000;
    BulkPacing pacing;  // up to 100,000 members, the session's own
    pacing.maxAwaiting = std::clamp(listed / kRowsPerAwaited, pacing.maxAwaiting, kMostAwaiting);
    pacing.maxPerPump = std::max(pacing.maxPerPump, pacing.maxAwaiting);
    return pacing;
}

bool BulkRun::Start() {
    // The journal tells one operation's requests from another's by the time it began.
    const auto id = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::system_clock::now().time_since_epoch())
                                              .count());
    if (bulk_->Command().NeedsBackup() && !bulk_->Targets().empty()) {
        // The accounts as they are now, before anything is sent, so that they can be put back.
        const BackupWritten backup =
            WriteBackupFile(DefaultBackupFolder(), BulkActionWord(bulk_->Command().action),
                            std::time(nullptr), AccountsBackupCsv(session_.Members(), bulk_->Targets()));
        if (!backup.error.empty()) {
            ShowPlainMessage(&window_,
                             QStringLiteral("The backup could not be written, so nothing was sent: ") +
                                 BytesToDisplay(backup.error));
            return false;
        }
        backupPath_ = backup.path;
    }
    bulk_->SetContext({id, backupPath_});
    bulk_->SetPacing(PacingFor(static_cast<size_t>(session_.Members().Count())));
    bulk_->SetSendGate([this] {
        const SessionJournal* journal = journal_();
        return journal == nullptr || !journal->FallingBehind();
    });
    if (SessionJournal* journal = journal_()) {
        journal->BelongTo(std::to_string(id), backupPath_);
        journal->GiveReason(reason_);
    }
    // The targets never sent are kept too, so that the journal accounts for all of them.
    bulk_->SetNotSentListener(
        [this](const std::vector<std::string>& logins, const std::string& why, const BulkContext&) {
            if (SessionJournal* journal = journal_()) {
                journal->RequestsNotSent(BulkRequestWord(bulk_->Command().action), logins, why);
            }
        });
    running_ = true;
    ShowProgress();
    AfterTick();
    return true;
}

void BulkRun::ShowProgress() {
    progress_ = new QDialog(&window_);
    progress_->setObjectName(QStringLiteral("dlgBulkProgress"));
    progress_->setWindowTitle(QStringLiteral("%1 %2 members")
                                  .arg(QString::fromLatin1(BulkActionWord(bulk_->Command().action)))
                                  .arg(bulk_->Targets().size()));
    progress_->setMinimumWidth(360);
    auto* layout = new QVBoxLayout(progress_);
    auto* bar = new QProgressBar(progress_);
    bar->setObjectName(QStringLiteral("pbBulk"));
    bar->setRange(0, static_cast<int>(bulk_->Targets().size()));
    layout->addWidget(bar);
    progressText_ = new QLabel(progress_);
    progressText_->setObjectName(QStringLiteral("lbBulkProgress"));
    layout->addWidget(progressText_);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), progress_);
    cancel_->setObjectName(QStringLiteral("btnBulkStop"));
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        bulk_->Cancel();
        cancel_->setEnabled(false);
        AfterTick();
    });
    // Closing the dialog is a cancel: what was sent is still followed.
    connect(progress_, &QDialog::rejected, this, [this] {
        if (running_) {
            bulk_->Cancel();
        }
    });
    progress_->show();
}

// The requests go out from the window's tick, so the window answers throughout.
void BulkRun::AfterTick() {
    if (!running_) {
        return;
    }
    bulk_->Pump();
    const size_t total = bulk_->Targets().size();
    const size_t done = bulk_->SettledCount();
    rate_.Note(done, SteadyClock::Instance().Now());
    if (progress_ != nullptr) {
        QString text = QStringLiteral("%1 of %2 done, %3 sent").arg(done).arg(total).arg(bulk_->SentCount());
        if (const auto perSecond = rate_.PerSecond()) {
            text += QStringLiteral(", %1/s, %2 left")
                        .arg(*perSecond, 0, 'f', 0)
                        .arg(QString::fromStdString(ClockText(*rate_.TimeLeft(total))));
        }
        if (bulk_->Cancelled()) {
            text += QStringLiteral("; cancelled, following what was sent");
        }
        progressText_->setText(text);
        if (auto* bar = progress_->findChild<QProgressBar*>()) {
            bar->setValue(static_cast<int>(done));
        }
    }
    if (bulk_->Finished()) {
        Finish();
    }
}

void BulkRun::Settled(const SettledRequest& request) {
    if (running_ && bulk_->Settled(request) && bulk_->Finished()) {
        Finish();
    }
}

void BulkRun::Finish() {
    running_ = false;
    if (SessionJournal* journal = journal_()) {
        journal->BelongTo({}, {});
        journal->GiveReason({});
    }
    if (progress_ != nullptr) {
        progress_->hide();
        progress_->deleteLater();
    }
    ShowSummary();
}

void BulkRun::ShowSummary() {
    auto* summary = new QDialog(&window_);
    summary->setAttribute(Qt::WA_DeleteOnClose);
    summary->setObjectName(QStringLiteral("dlgBulkSummary"));
    summary->setWindowTitle(
        QStringLiteral("%1: %2").arg(QString::fromLatin1(BulkActionWord(bulk_->Command().action)),
                                     QString::fromStdString(bulk_->SummaryLine())));
    // The summary lives as long as its dialog; this run ends with it.
    setParent(summary);
    auto* layout = new QVBoxLayout(summary);
    auto* line = new QLabel(QString::fromStdString(bulk_->SummaryLine()), summary);
    line->setObjectName(QStringLiteral("lbBulkSummary"));
    layout->addWidget(line);
    QString details;
    for (const OutcomeName& kind : kOutcomes) {
        if (kind.outcome == BulkOutcome::Confirmed) {
            continue;
        }
        for (const BulkEntry& entry : bulk_->List(kind.outcome)) {
            details += QStringLiteral("%1 %2: %3\n")
                           .arg(QLatin1String(kind.words), BytesToDisplay(entry.login),
                                BytesToDisplay(entry.reason));
        }
    }
    if (!backupPath_.empty()) {
        details += QStringLiteral("backup: %1\nrestore with: %2\n")
                       .arg(BytesToDisplay(backupPath_), BytesToDisplay(RestoreCommand(backupPath_)));
    }
    auto* text = new QPlainTextEdit(details, summary);
    text->setObjectName(QStringLiteral("edBulkSummary"));
    text->setReadOnly(true);
    text->setAccessibleName(QStringLiteral("Outcome of each member"));
    layout->addWidget(text);
    auto* saves = new QHBoxLayout;
    for (const OutcomeName& kind : kOutcomes) {
        auto* save = new QPushButton(
            QStringLiteral("Save %1 (%2)…").arg(QLatin1String(kind.words)).arg(bulk_->Count(kind.outcome)),
            summary);
        save->setObjectName(QLatin1String(kind.button));
        save->setEnabled(bulk_->Count(kind.outcome) > 0);
        connect(save, &QPushButton::clicked, this, [this, outcome = kind.outcome] { SaveList(outcome); });
        saves->addWidget(save);
    }
    layout->addLayout(saves);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, summary);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("btnBulkClose"));
    connect(buttons, &QDialogButtonBox::rejected, summary, &QDialog::close);
    layout->addWidget(buttons);
    summary->resize(560, 320);
    summary->show();
}

void BulkRun::SaveList(BulkOutcome outcome) {
    auto* summary = qobject_cast<QWidget*>(parent());
    const QString path = QFileDialog::getSaveFileName(summary, QStringLiteral("Save list as CSV"), QString(),
                                                      QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    const std::string csv = bulk_->ListCsv(outcome);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size())) {
        ShowPlainMessage(summary, QStringLiteral("Could not save %1: %2").arg(path, file.errorString()));
    }
}

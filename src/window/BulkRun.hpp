#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "session/BulkOperation.hpp"
#include "session/BulkRate.hpp"

class QDialog;
class QLabel;
class QPushButton;
class QWidget;
class ServerSession;
class SessionJournal;

// One command on many members from the window: the backup first where the command needs one,
// then the requests paced from the window's tick, a progress dialog that never holds the window
// up, and the summary at the end. The window hands it every tick and every settled request.
class BulkRun final : public QObject {
    Q_OBJECT

public:
    using JournalOf = std::function<SessionJournal*()>;
    BulkRun(QWidget& window, ServerSession& session, std::unique_ptr<BulkOperation> bulk, JournalOf journal);
    ~BulkRun() override;

    // What the administrator typed as the reason for the command; kept in the journal with each
    // request. Before Start.
    void SetReason(std::string reason) { reason_ = std::move(reason); }
    // False when nothing was sent: the backup could not be written (the user was told).
    bool Start();
    void AfterTick();
    void Settled(const SettledRequest& request);
    bool Running() const { return running_; }
    // Each delivery of answers costs the list one pass over its rows, however few it holds, so a
    // long list is sent to in larger shares than the session's default: at a million members a
    // hundred thousand deletes take some fifty round trips, each delivery still a bounded batch.
    static BulkPacing PacingFor(size_t listed);

private:
    void ShowProgress();
    void Finish();
    void ShowSummary();
    void SaveList(BulkOutcome outcome);

    QWidget& window_;
    ServerSession& session_;
    std::unique_ptr<BulkOperation> bulk_;
    JournalOf journal_;
    BulkRate rate_;
    std::string backupPath_;
    std::string reason_;
    bool running_ = false;
    QPointer<QDialog> progress_;
    QLabel* progressText_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

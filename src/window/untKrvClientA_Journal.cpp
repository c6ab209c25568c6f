#include "window/untKrvClientA.hpp"

#include <string>

#include <QStatusBar>
#include <QTimer>

#include "journal/JournalLocation.hpp"
#include "session/ConnectionLog.hpp"
#include "session/SessionJournal.hpp"
#include "window/DisplayText.hpp"
#include "window/JournalWindow.hpp"
#include "window/MemberCommands.hpp"
#include "window/ServersMenu.hpp"

namespace {

// The counts are due every minute; a tick each second keeps them within the minute's ±5 s and
// a journal's notice waits no longer than that to be shown.
constexpr int kJournalTickMs = 1000;
constexpr int kNoticeShownMs = 15000;

}  // namespace

void TfrmKrvClientA::StartJournal(const StoredSettings& stored) {
    if (journal_) {
        return;
    }
    journal_ = std::make_unique<SessionJournal>(*session_, SessionJournal::OptionsFrom(stored));
    journalTimer_ = new QTimer(this);
    journalTimer_->setObjectName(QStringLiteral("JournalTimer"));
    connect(journalTimer_, &QTimer::timeout, this, [this] { JournalTimer(); });
    journalTimer_->start(kJournalTickMs);
}

void TfrmKrvClientA::NameServerInJournal(const std::string& login, const std::string& host, int32_t port) {
    if (!journal_ || servers_ == nullptr) {
        return;
    }
    StoredSettings connection;
    connection.login = login;
    connection.host = host;
    connection.port = port;
    journal_->NameServer(host, port, servers_->NameOf(connection));
}

void TfrmKrvClientA::JournalTimer() {
    if (!journal_) {
        return;
    }
    journal_->Tick(JournalNow());
    for (const std::string& notice : journal_->TakeNotices()) {
        log_->Note("Journal", notice);
        statusBar()->showMessage(BytesToDisplay(notice), kNoticeShownMs);
    }
}

void TfrmKrvClientA::StateChanged(LinkEventKind kind) {
    ShowLinkState(kind);
    if (journal_) {
        journal_->StateChanged(kind);
    }
}

void TfrmKrvClientA::NotAdministrator() {
    if (journal_) {
        journal_->NotAdministrator();
    }
}

void TfrmKrvClientA::ConnectionOrdered(const ConnectionEffect& order) {
    if (journal_) {
        journal_->ConnectionOrdered(order);
    }
}

void TfrmKrvClientA::RequestSent(const SentRequest& request) {
    if (journal_) {
        journal_->RequestSent(request);
    }
}

void TfrmKrvClientA::RequestSettled(const SettledRequest& request) {
    if (journal_) {
        journal_->RequestSettled(request);
    }
    if (commands_ != nullptr) {
        commands_->Settled(request);
    }
}

void TfrmKrvClientA::mnuJournalClick() {
    if (journalWindow_ == nullptr) {
        const std::string path =
            journal_ && journal_->File() != nullptr ? journal_->File()->Path() : std::string();
        journalWindow_ = new JournalWindow(path, this);
    }
    journalWindow_->show();
    journalWindow_->raise();
    journalWindow_->activateWindow();
}

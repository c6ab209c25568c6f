#include "admin/AdminSession.hpp"

#include <unistd.h>

#include <cstdio>

#include <QCoreApplication>

#include "admin/ExitStatus.hpp"

namespace {

// The link's own timing (heartbeat, reconnect schedule) needs no finer steps; lines are handed
// on as soon as the socket has read them.
constexpr int kTickMs = 50;
constexpr int kCloseLimitMs = 3000;

void Fail(const std::string& message) {
    std::fprintf(stderr, "krvadmin: %s\n", message.c_str());
}

}  // namespace

AdminSession::AdminSession(ConnectionTarget target, std::chrono::seconds timeout)
    : target_(std::move(target)), timeout_(timeout) {
    auto socket = std::make_unique<QtClientSocket>(
        [this](const std::string& message) { lookupFailure_ = message; }, timeout_);
    socket_ = socket.get();
    socket_->SetTls(target_.tls);
    SshPolicy ssh = target_.ssh;
    // ssh asks on the terminal where there is one; elsewhere it must not wait for an answer.
    ssh.batchMode = ::isatty(STDIN_FILENO) == 0;
    socket_->SetSsh(ssh);
    session_ = std::make_unique<ServerSession>(static_cast<SessionListener&>(*this), std::move(socket));
    ReconnectSchedule schedule = ReconnectSchedule::From(target_.schedule);
    schedule.on = false;
    session_->ApplySchedule(schedule);
    // A request not answered within the timeout is not answered.
    session_->SetRequestWait(timeout_);
    journal_ = std::make_unique<SessionJournal>(*session_, SessionJournal::OptionsFrom(target_.schedule));
    if (!target_.serverName.empty()) {
        journal_->NameServer(target_.host, target_.port, target_.serverName);
    }
    ticker_.setInterval(kTickMs);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { Tick(); });
}

void AdminSession::JournalAsPartOf(const BulkContext& context) {
    journal_->BelongTo(std::to_string(context.id), context.backupPath);
}

bool AdminSession::JournalFallingBehind() const {
    return journal_->FallingBehind();
}

void AdminSession::JournalReason(std::string reason) {
    journal_->GiveReason(std::move(reason));
}

void AdminSession::JournalNotSent(std::string_view command, const std::vector<std::string>& logins,
                                  const std::string& why) {
    journal_->RequestsNotSent(command, logins, why);
}

// Whatever was journaled is on disk before the program ends.
AdminSession::~AdminSession() {
    ticker_.stop();
    journal_->Flush();
    ShowJournalNotices();
    journal_.reset();
    session_.reset();
}

void AdminSession::Tick() {
    session_->Tick();
    journal_->Tick(JournalNow());
    ShowJournalNotices();
}

// Said once, on standard error: the command goes on without its journal.
void AdminSession::ShowJournalNotices() {
    for (const std::string& notice : journal_->TakeNotices()) {
        Fail("journal: " + notice);
    }
}

void AdminSession::RequestSent(const SentRequest& request) {
    if (journal_) {
        journal_->RequestSent(request);
    }
}

void AdminSession::KeepReconnecting() {
    keepReconnecting_ = true;
    session_->SetAutoReconnect(target_.schedule.reconnectOn);
}

int AdminSession::Open() {
    ticker_.start();
    RenewDeadline();
    session_->SetCredentials(target_.login, target_.password.value_or(std::string()));
    if (!session_->Connect(target_.host, target_.port)) {
        Fail("cannot connect to " + target_.host + ":" + std::to_string(target_.port) + ": " +
             Link().LastErrorText());
        return ExitStatus::NoConnection;
    }
    return Await([this]() -> std::optional<int> {
        if (session_->LoginRefused()) {
            Fail("the server refused the login of " + target_.login);
            return ExitStatus::NotAdministrator;
        }
        if (notAdministrator_) {
            Fail("the login " + target_.login + " has no administrator rights on this server");
            return ExitStatus::NotAdministrator;
        }
        if (session_->ListComplete()) {
            return ExitStatus::Done;
        }
        return std::nullopt;
    });
}

void AdminSession::RenewDeadline() {
    deadline_.setRemainingTime(std::chrono::duration_cast<std::chrono::milliseconds>(timeout_));
}

int AdminSession::Await(const std::function<std::optional<int>()>& done) {
    for (;;) {
        if (const std::optional<int> status = done()) {
            return *status;
        }
        if (ended_ && !keepReconnecting_) {
            // A lookup failure is reported from the event loop, just after the end.
            QCoreApplication::processEvents();
            if (const std::optional<int> status = done()) {
                return *status;
            }
            Fail("no connection to " + target_.host + ":" + std::to_string(target_.port) + ": " +
                 EndReason());
            DescribeRefusedCertificate();
            return ExitStatus::NoConnection;
        }
        if (deadline_.hasExpired()) {
            Fail("no answer from the server within " + std::to_string(timeout_.count()) + " seconds");
            return ExitStatus::TimedOut;
        }
        ProcessEvents();
    }
}

void AdminSession::RunUntil(const std::function<bool()>& stop) {
    while (!stop()) {
        ProcessEvents();
    }
}

bool AdminSession::WillReconnect() const {
    const TkvSCReconnect& schedule = Link().Reconnect();
    return (schedule.Armed() && schedule.Enabled()) || schedule.ForcedAttempts() > 0;
}

void AdminSession::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // Lines are handed on as soon as they are read, not at the next beat of the timer; a tick
    // also reads what the link held back while its queue was full.
    do {
        Tick();
        QCoreApplication::processEvents();
    } while (Link().QueuedEventCount() > 0);
}

void AdminSession::Close() {
    if (!ended_) {
        journal_->Disconnecting("krvadmin closed the connection, its command done");
        session_->Disconnect();
    }
    // The bytes already handed to the socket still go out before it is gone.
    QDeadlineTimer limit(kCloseLimitMs);
    session_->Tick();
    const auto socketsClosed = [this] {
        // No event loop runs at this level, so sockets given to deleteLater are still there.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return socket_->AllClosed();
    };
    while (!socketsClosed() && !limit.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    ticker_.stop();
}

void AdminSession::EventArrived(const LinkEvent& event, const ConnectionEffect& control) {
    if (journal_) {
        journal_->EventArrived(event, control);
    }
    if (event.kind == LinkEventKind::Error) {
        lastError_ = event.text;
    }
}

void AdminSession::MembersChanged(const RowsEffect& /*effect*/, const ServerLineView* report) {
    if (report == nullptr || !onReport_) {
        return;
    }
    if (const std::optional<MemberReport> about = MemberReportOf(*report)) {
        onReport_(*about);
    }
}

void AdminSession::NotAdministrator() {
    notAdministrator_ = true;
    if (journal_) {
        journal_->NotAdministrator();
    }
}

void AdminSession::StateChanged(LinkEventKind kind) {
    if (journal_) {
        journal_->StateChanged(kind);
    }
    if (kind == LinkEventKind::Lookup) {
        ended_ = false;
    } else if (kind == LinkEventKind::Login) {
        RenewDeadline();
        if (session_->LoggedInAsAdministrator() && onConnection_) {
            onConnection_(true, {});
        }
    } else if (kind == LinkEventKind::Disconnect) {
        const bool wasUp = !ended_;
        ended_ = true;
        if (wasUp && onConnection_ && !notAdministrator_) {
            onConnection_(false, EndReason());
        }
        lastError_.clear();
    }
}

void AdminSession::ConnectionOrdered(const ConnectionEffect& order) {
    if (journal_) {
        journal_->ConnectionOrdered(order);
    }
    lastError_ = order.order == ConnectionOrder::Close ? "the server asked this connection to close"
                                                       : "the server asked this connection to reconnect";
}

void AdminSession::RequestSettled(const SettledRequest& request) {
    if (journal_) {
        journal_->RequestSettled(request);
    }
    if (onRequest_) {
        onRequest_(request);
    }
}

// What the administrator needs to decide on a certificate, and the pin to give if it is right.
void AdminSession::DescribeRefusedCertificate() const {
    const std::optional<PeerCertificate> refused = socket_->RefusedCertificate();
    if (!refused) {
        return;
    }
    std::fprintf(stderr,
                 "krvadmin: the certificate of %s:%d\n  subject: %s\n  issuer: %s\n  valid from %s until %s\n"
                 "SHA256 Fingerprint=%s\n",
                 refused->host.c_str(), static_cast<int>(refused->port), refused->subject.c_str(),
                 refused->issuer.c_str(), refused->validFrom.c_str(), refused->validUntil.c_str(),
                 ColonFingerprint(refused->sha256).c_str());
}

std::string AdminSession::EndReason() const {
    if (!lookupFailure_.empty()) {
        return lookupFailure_;
    }
    if (!lastError_.empty()) {
        return lastError_;
    }
    return "the server closed the connection";
}

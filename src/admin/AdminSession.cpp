#include "admin/AdminSession.hpp"

#include <cstdio>

#include <QCoreApplication>
#include <QTcpSocket>

#include "admin/ExitStatus.hpp"
#include "net/QtClientSocket.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "protocol/ServerReports.hpp"

namespace {

// The link's own timing (heartbeat, reconnect schedule) needs no finer steps; lines are handed
// on as soon as the socket has read them.
constexpr int kTickMs = 50;
constexpr int kCloseLimitMs = 3000;
constexpr std::string_view kAdministratorProtocol = "administrator";
constexpr std::string_view kListMemberPrefix = "ARLM:";

void PrintError(const std::string& message) {
    std::fprintf(stderr, "krvadmin: %s\n", message.c_str());
}

}  // namespace

AdminSession::AdminSession(ConnectionTarget target, std::chrono::seconds timeout)
    : target_(std::move(target)), timeout_(timeout) {
    auto socket = std::make_unique<QtClientSocket>(
        [this](const std::string& message) { lookupFailure_ = message; }, timeout_);
    socket_ = socket.get();
    link_ =
        std::make_unique<TkvClient>([this](const LinkEvent& event) { OnEvent(event); }, std::move(socket));
    const StoredSettings& schedule = target_.schedule;
    link_->SetReconnectDelay(schedule.reconnectDelay);
    link_->SetReconnectAttempts(schedule.reconnectAttempts);
    link_->SetReconnectPause(schedule.reconnectPause);
    link_->SetReconnectCycles(schedule.reconnectCycles);
    link_->SetAutoReconnect(false);
    ticker_.setInterval(kTickMs);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { link_->Tick(); });
}

AdminSession::~AdminSession() {
    ticker_.stop();
    link_.reset();
}

void AdminSession::KeepReconnecting() {
    keepReconnecting_ = true;
    link_->SetAutoReconnect(target_.schedule.reconnectOn);
}

int AdminSession::Open() {
    link_->SetLogin(target_.login);
    link_->SetPassword(target_.password.value_or(std::string()));
    ticker_.start();
    RenewDeadline();
    if (!link_->Connect(target_.host, target_.port)) {
        Fail("cannot connect to " + target_.host + ":" + std::to_string(target_.port) + ": " +
             link_->LastErrorText());
        return ExitStatus::NoConnection;
    }
    return Await([this]() -> std::optional<int> {
        if (loginRefused_) {
            Fail("the server refused the login of " + target_.login);
            return ExitStatus::NotAdministrator;
        }
        if (notAdministrator_) {
            Fail("the login " + target_.login + " has no administrator rights on this server");
            return ExitStatus::NotAdministrator;
        }
        if (listComplete_) {
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
    const TkvSCReconnect& schedule = link_->Reconnect();
    return (schedule.Armed() && schedule.Enabled()) || schedule.ForcedAttempts() > 0;
}

void AdminSession::ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // Lines are handed on as soon as they are read, not at the next beat of the timer; a tick
    // also reads what the link held back while its queue was full.
    do {
        link_->Tick();
        QCoreApplication::processEvents();
    } while (link_->QueuedEventCount() > 0);
}

bool AdminSession::SocketsClosed() const {
    // No event loop runs at this level, so sockets given to deleteLater are still listed.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QTcpSocket* tcp : socket_->findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly)) {
        if (tcp->state() != QAbstractSocket::UnconnectedState) {
            return false;
        }
    }
    return true;
}

void AdminSession::Close() {
    if (!ended_) {
        link_->Disconnect();
    }
    // The bytes already handed to the socket still go out before it is gone.
    QDeadlineTimer limit(kCloseLimitMs);
    link_->Tick();
    while (!SocketsClosed() && !limit.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    ticker_.stop();
}

void AdminSession::OnEvent(const LinkEvent& event) {
    const std::string& text = event.text;
    if (event.kind == LinkEventKind::Read) {
        OnRead(event.state, text);
    } else if (event.kind == LinkEventKind::Lookup) {
        members_.Clear();
        listComplete_ = false;
        ended_ = false;
    } else if (event.kind == LinkEventKind::Error) {
        lastError_ = text;
    } else if (event.kind == LinkEventKind::Login) {
        RenewDeadline();
        if (!link_->HasGrantedProtocol(kAdministratorProtocol)) {
            notAdministrator_ = true;
            link_->Disconnect();
        } else if (onConnection_) {
            onConnection_(true, {});
        }
    } else if (event.kind == LinkEventKind::Disconnect) {
        const bool wasUp = !ended_;
        ended_ = true;
        if (wasUp && onConnection_ && !notAdministrator_) {
            onConnection_(false, EndReason());
        }
        lastError_.clear();
    }
}

void AdminSession::OnRead(LineState state, const std::string& text) {
    if (!MayBeObeyed(state)) {
        return;
    }
    // The lines of a list are by far the most; ApplyReport cuts them, and no one else needs them.
    if (state == LineState::LoggedIn && !onReport_ && text.starts_with(kListMemberPrefix)) {
        ServerReports(members_).ApplyReport(text);
        return;
    }
    const ServerLine line = CutServerLine(text);
    if (line.code == ControlCode::Reconnect || line.code == ControlCode::Close) {
        const ConnectionEffect effect = ServerReports::ConnectionControlOf(text);
        if (effect.order == ConnectionOrder::Close) {
            lastError_ = "the server asked this connection to close";
            link_->Disconnect();
        } else if (effect.order == ConnectionOrder::Reconnect) {
            lastError_ = "the server asked this connection to reconnect";
            const ServerReconnectOrder& order = effect.reconnect;
            if (order.login.empty()) {
                link_->ServerReconnect(order.delaySeconds, order.port, order.host);
            } else {
                link_->ServerReconnectAs(order.delaySeconds, order.port, order.host, order.login,
                                         order.password);
            }
        }
        return;
    }
    if (state == LineState::LoggedOut) {
        // The demo server's words; any server ends the connection after refusing a login.
        if (text == "login refused") {
            loginRefused_ = true;
        }
        return;
    }
    ServerReports(members_).ApplyReport(text);
    if (line.code == ReportCode::ListComplete) {
        listComplete_ = true;
        RenewDeadline();
    }
    if (onReport_) {
        onReport_(line);
    }
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

void AdminSession::Fail(const std::string& message) {
    PrintError(message);
}

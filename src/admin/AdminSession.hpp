#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QDeadlineTimer>
#include <QTimer>

#include "admin/ConnectionTarget.hpp"
#include "net/QtClientSocket.hpp"
#include "session/BulkOperation.hpp"
#include "session/MemberReport.hpp"
#include "session/ServerSession.hpp"
#include "session/SessionJournal.hpp"
#include "session/SessionListener.hpp"

// One administrator's session for the command line: the session with the server over a TCP
// socket, driven by Qt's event loop, with every wait bounded by a timeout. The session is ticked
// from a timer; every wait runs the event loop until its condition holds, the connection ends,
// or the time is up.
class AdminSession final : private SessionListener {
public:
    // What a report read after the login says of a member, after the member list has taken it.
    using ReportListener = std::function<void(const MemberReport& report)>;
    // Why the connection ended (or that it came back), for watch.
    using ConnectionListener = std::function<void(bool up, const std::string& reason)>;
    // A request sent through the session is settled.
    using RequestListener = std::function<void(const SettledRequest& request)>;

    AdminSession(ConnectionTarget target, std::chrono::seconds timeout);
    ~AdminSession();
    AdminSession(const AdminSession&) = delete;
    AdminSession& operator=(const AdminSession&) = delete;

    // Reconnects after a drop under the settings' schedule (watch); otherwise a drop ends it.
    void KeepReconnecting();

    // Connects, logs in, checks the administrator right and waits for the whole member list.
    // ExitStatus::Done, or the status to end with after the message has been printed.
    int Open();

    // Runs the event loop until done() gives a status, the connection ends (NoConnection) or
    // the timeout passes without the deadline being renewed (TimedOut).
    int Await(const std::function<std::optional<int>()>& done);
    // Starts the timeout afresh, when a long wait makes progress.
    void RenewDeadline();

    // Runs the event loop until stop() holds; the connection may drop and come back meanwhile.
    void RunUntil(const std::function<bool()>& stop);

    // Closes the connection and lets its end be handled before returning.
    void Close();

    // Every request goes through the session's rules.
    ServerSession& Session() { return *session_; }
    const TkvClient& Link() const { return session_->Link(); }
    const TkvCLDataCollection& Members() const { return session_->Members(); }
    bool ListComplete() const { return session_->ListComplete(); }
    bool Connected() const { return session_->Link().LoggedIn() && !ended_; }
    bool Ended() const { return ended_; }
    // Whether the link will try again by itself: after a drop under the schedule, after "SRE" as
    // ordered; not after "SRC", nor once the schedule has given up.
    bool WillReconnect() const;

    // The requests sent from now on belong to this bulk operation and its backup, in the journal.
    // See Journal::FallingBehind.
    bool JournalFallingBehind() const;
    void JournalAsPartOf(const BulkContext& context);
    // The requests sent from now on carry this reason in the journal.
    void JournalReason(std::string reason);
    // The targets of the bulk operation given up before they were sent, for the journal.
    void JournalNotSent(std::string_view command, const std::vector<std::string>& logins,
                        const std::string& why);
    void SetReportListener(ReportListener listener) { onReport_ = std::move(listener); }
    void SetConnectionListener(ConnectionListener listener) { onConnection_ = std::move(listener); }
    void SetRequestListener(RequestListener listener) { onRequest_ = std::move(listener); }

private:
    void EventArrived(const LinkEvent& event, const ConnectionEffect& control) override;
    void MembersChanged(const RowsEffect& effect, const ServerLineView* report) override;
    void StateChanged(LinkEventKind kind) override;
    void NotAdministrator() override;
    void ConnectionOrdered(const ConnectionEffect& order) override;
    void RequestSent(const SentRequest& request) override;
    void RequestSettled(const SettledRequest& request) override;
    void Tick();
    void ShowJournalNotices();

    std::string EndReason() const;
    void DescribeRefusedCertificate() const;
    void ProcessEvents();

    ConnectionTarget target_;
    std::chrono::seconds timeout_;
    QtClientSocket* socket_ = nullptr;  // owned by the session's link
    std::unique_ptr<ServerSession> session_;
    std::unique_ptr<SessionJournal> journal_;
    QTimer ticker_;
    QDeadlineTimer deadline_;
    ReportListener onReport_;
    ConnectionListener onConnection_;
    RequestListener onRequest_;
    bool keepReconnecting_ = false;
    bool ended_ = false;
    bool notAdministrator_ = false;
    std::string lastError_;
    std::string lookupFailure_;
};

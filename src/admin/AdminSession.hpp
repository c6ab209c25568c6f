#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <QDeadlineTimer>
#include <QTimer>

#include "admin/ConnectionTarget.hpp"
#include "link/TkvClient.hpp"
#include "members/TkvCLDataCollection.hpp"
#include "net/QtClientSocket.hpp"
#include "protocol/ServerLine.hpp"

// One administrator's connection for the command line: the link over a TCP socket, the member
// list the server keeps current, and waits bounded by a timeout. The link is ticked from a
// timer; every wait runs the event loop until its condition holds, the connection ends, or
// the time is up.
class AdminSession {
public:
    // A report read after the login, after the member list has taken it.
    using ReportListener = std::function<void(const ServerLine& line)>;
    // Why the connection ended (or that it came back), for watch.
    using ConnectionListener = std::function<void(bool up, const std::string& reason)>;

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

    void SendLine(std::string_view line) { link_->SendLine(line); }
    const TkvClient& Link() const { return *link_; }
    const TkvCLDataCollection& Members() const { return members_; }
    bool ListComplete() const { return listComplete_; }
    bool Connected() const { return link_->LoggedIn() && !ended_; }
    bool Ended() const { return ended_; }
    // Whether the link will try again by itself: after a drop under the schedule, after "SRE" as
    // ordered; not after "SRC", nor once the schedule has given up.
    bool WillReconnect() const;

    void SetReportListener(ReportListener listener) { onReport_ = std::move(listener); }
    void SetConnectionListener(ConnectionListener listener) { onConnection_ = std::move(listener); }

private:
    void OnEvent(const LinkEvent& event);
    void OnRead(LineState state, const std::string& text);
    std::string EndReason() const;
    void Fail(const std::string& message);
    void ProcessEvents();
    bool SocketsClosed() const;

    ConnectionTarget target_;
    std::chrono::seconds timeout_;
    QtClientSocket* socket_ = nullptr;  // owned by the link
    std::unique_ptr<TkvClient> link_;
    TkvCLDataCollection members_;
    QTimer ticker_;
    QDeadlineTimer deadline_;
    ReportListener onReport_;
    ConnectionListener onConnection_;
    bool keepReconnecting_ = false;
    bool listComplete_ = false;
    bool ended_ = false;
    bool loginRefused_ = false;
    bool notAdministrator_ = false;
    std::string lastError_;
    std::string lookupFailure_;
};

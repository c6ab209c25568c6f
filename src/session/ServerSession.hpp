#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/ClientSocket.hpp"
#include "link/Clock.hpp"
#include "link/LinkEvent.hpp"
#include "link/TkvClient.hpp"
#include "members/TkvCLDataCollection.hpp"
#include "protocol/AdminRequest.hpp"
#include "protocol/ServerReports.hpp"
#include "session/RequestFollower.hpp"
#include "session/SessionListener.hpp"
#include "settings/StoredSettings.hpp"

// When and how often the link tries again after it lost the connection.
struct ReconnectSchedule {
    bool on = true;
    int32_t delay = 10;
    int32_t attempts = 6;
    int32_t pause = 60;
    int32_t cycles = -1;

    static ReconnectSchedule From(const StoredSettings& stored) {
        return {stored.reconnectOn, stored.reconnectDelay, stored.reconnectAttempts, stored.reconnectPause,
                stored.reconnectCycles};
    }
    bool operator==(const ReconnectSchedule&) const = default;
};

// Where and as whom the link connects.
struct ServerAccount {
    std::string host;
    int32_t port = 0;
    std::string login;
    std::string password;

    bool operator==(const ServerAccount&) const = default;
};

// Why a command sent nothing.
enum class RequestRefusal {
    None,              // sent
    LoginExists,       // an account of that login is listed already
    EmptyLogin,        // a request about no one would reach everyone, or no one
    Unsendable,        // a field the line cannot carry; the detail names it
    NotOnline,         // the member is not online
    OwnAdministrator,  // the account of this session would lose the administrator right
    NobodyToReach,     // not logged in, or nobody but this login is listed
};

struct RequestResult {
    RequestRefusal refusal = RequestRefusal::None;
    std::string detail;                 // Unsendable, OwnAdministrator: the reason in words
    std::optional<RequestId> followed;  // sent and followed until the server answers

    bool Sent() const { return refusal == RequestRefusal::None; }
};

// One administrator's session with one server, whatever front end drives it: the link, the
// member list the server's reports keep current, the connection control the server orders, the
// administrator check after the login, and the rules of every request. A front end hears what
// changed through its SessionListener and reads the rest through the const views.
class ServerSession {
public:
    ServerSession(SessionListener& listener, std::unique_ptr<ClientSocket> socket,
                  const Clock& clock = SteadyClock::Instance());
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    const TkvClient& Link() const { return *link_; }
    const TkvCLDataCollection& Members() const { return members_; }
    // Grows with every report applied and every clearing of the list: while it stands, the list
    // is as it was.
    uint64_t ListChanges() const { return listChanges_; }
    // Whoever reads the member records in place hears before one changes or goes.
    void WatchMembers(TkvCLDataWatcher* watcher) { members_.Watch(watcher); }

    // Where and as whom the next connect goes, without connecting.
    void SetServer(std::string_view host, int32_t port);
    void SetCredentials(std::string_view login, std::string_view password);
    void ApplySchedule(const ReconnectSchedule& schedule);
    ReconnectSchedule Schedule() const;
    void SetAutoReconnect(bool on);
    // See ServerReports::SetSingleRowChanges; off, every change asks for a rebuild.
    void SetSingleRowChanges(bool on) { reports_.SetSingleRowChanges(on); }
    void SetRequestWait(std::chrono::milliseconds wait) { follower_.SetWait(wait); }

    // The administrator's own connect, with the credentials set: whatever a server's order
    // redirected is forgotten.
    bool Connect(std::string_view host, int32_t port);
    // The link's server once more, a redirect's included, which stays a redirect: for the attempt
    // the administrator repeats after accepting a certificate.
    bool TryAgain();
    // Closes the link; the schedule may connect again.
    void Disconnect() { link_->Disconnect(); }
    // Closes the link and calls off a reconnection the server ordered: disconnected means so.
    void StayDisconnected();

    void Tick();
    bool HasPendingWork() const { return link_->HasPendingWork(); }
    std::optional<std::chrono::milliseconds> TimeUntilDue() const;
    void SetOnEventQueued(std::function<void()> onQueued) { link_->SetOnEventQueued(std::move(onQueued)); }

    // The connection as the administrator set it: a server's redirect lasts for this run only.
    ServerAccount AccountToKeep() const;
    bool LoggedInAsAdministrator() const;
    // The server refused the login (its words before the login completed).
    bool LoginRefused() const { return loginRefused_; }
    // The whole member list has come since the latest attempt began.
    bool ListComplete() const { return listComplete_; }
    // See ServerReports; the front end says when it rebuilt every row.
    bool ListArriving() const { return reports_.ListArriving(); }
    void RowsRebuilt() { reports_.RowsRebuilt(); }
    size_t RequestsPending() const { return follower_.Pending(); }

    bool IsOnline(std::string_view login) const;
    // Logged in, and with butMe someone other than this login is listed.
    bool CanReachEveryone(bool butMe) const;
    // The account of this session holds the administrator right, which no request may take away.
    bool KeepsAdministrator(const TkvCLData& account) const;

    RequestResult AddAccount(const AccountFields& fields);
    RequestResult EditAccount(const AccountFields& fields);
    // An online member is expelled too, so that no one stays logged in on a deleted account.
    RequestResult DeleteAccount(std::string_view login);
    RequestResult Expel(std::string_view login);
    RequestResult AskToLogOff(std::string_view login);
    RequestResult AskToReconnect(std::string_view login);
    // No report confirms these: they are sent and not followed.
    RequestResult AskEveryoneToLogOff(bool butMe);
    RequestResult AskEveryoneToReconnect(bool butMe);
    // A line outside the administration requests, such as the demo server's orders for the
    // benchmarks; no rule guards it, so no front end offers it.
    void SendUnguardedLine(std::string_view line) { link_->SendLine(line); }

private:
    void OnLinkEvent(const LinkEvent& event);
    void OnRead(const LinkEvent& event);
    void ClearMembers();
    void CheckAdministrator();
    void Obey(const ConnectionEffect& control);
    void SettleAll(std::vector<SettledRequest> settled);
    RequestResult RequestAboutOnlineMember(std::string_view code, std::string_view login,
                                           std::string_view arguments = {});
    RequestResult Send(const std::string& line, std::string_view confirmingCode, SentRequest sent);
    std::string ReconnectArguments() const;

    SessionListener& listener_;
    const Clock& clock_;
    TkvCLDataCollection members_;
    uint64_t listChanges_ = 0;
    ServerReports reports_{members_};
    RequestFollower follower_;
    std::optional<ServerAccount> beforeRedirect_;
    bool loginRefused_ = false;
    bool listComplete_ = false;
    // Declared last, destroyed first: nothing it does while closing finds the list gone.
    std::unique_ptr<TkvClient> link_;
};

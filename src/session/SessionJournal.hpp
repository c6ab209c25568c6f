#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/Journal.hpp"
#include "link/LinkEvent.hpp"
#include "protocol/ServerReports.hpp"
#include "session/PendingTickets.hpp"
#include "session/RequestFollower.hpp"
#include "session/SentRequest.hpp"
#include "settings/StoredSettings.hpp"

class ServerSession;

// What a front end's session did and what happened to it, kept in the journal: the requests sent
// and their outcomes, the connection's story and the member counts over time. The window and
// krvadmin hand it what their SessionListener hears and call Tick now and then; nothing here
// waits for the file. A journal that cannot be written changes nothing else: its notices are
// handed out by TakeNotices for the front end to show once.
class SessionJournal {
public:
    // How often the member counts are taken while logged in.
    static constexpr std::chrono::seconds kSampleInterval{60};

    // options: unset keeps nothing. session is read for the server, the login and the counts.
    SessionJournal(const ServerSession& session, std::optional<JournalOptions> options);
    ~SessionJournal();
    SessionJournal(const SessionJournal&) = delete;
    SessionJournal& operator=(const SessionJournal&) = delete;

    // This user's journal file (path empty) with the settings' limits on its age and size;
    // unset when the settings turn the journal off.
    static std::optional<JournalOptions> OptionsFrom(const StoredSettings& settings,
                                                     const std::string& path = {});

    // Entries of the server at host:port carry this saved server's name, until another is named.
    void NameServer(std::string host, int32_t port, std::string name);

    // The requests sent from now on belong to this bulk operation and its backup file; empty
    // strings when they belong to none.
    void BelongTo(std::string bulkId, std::string backupFile);
    // The requests sent from now on carry the reason the administrator typed for them; empty
    // for none.
    void GiveReason(std::string reason);

    void RequestSent(const SentRequest& request);
    void RequestSettled(const SettledRequest& request);
    // The requests of a bulk operation given up before they were sent: kept as cancelled, with
    // why, so that the operation's every target is accounted for.
    void RequestsNotSent(std::string_view command, std::vector<std::string> logins, const std::string& why);
    // Before the session acts on the event.
    void EventArrived(const LinkEvent& event, const ConnectionEffect& control);
    void StateChanged(LinkEventKind kind);
    void NotAdministrator();
    void ConnectionOrdered(const ConnectionEffect& order);
    // The front end closes the connection itself; why, for the loss that follows.
    void Disconnecting(std::string why);
    // Takes the member counts when they are due; now is the wall clock's.
    void Tick(JournalTime now);

    // What the journal said of itself since the last call, worded for the administrator.
    std::vector<std::string> TakeNotices();
    // Writes what is queued; for tests and for a program about to end.
    void Flush();
    Journal* File() { return journal_.get(); }
    // See Journal::FallingBehind.
    bool FallingBehind() const;

private:
    JournalServer Server() const;
    // What a request with this command shares with its neighbours: the server as it is now, the
    // login, the operation and the reason given last. Made anew only when one of them changed.
    std::shared_ptr<const RequestContext> ContextFor(std::string_view command);
    void Sample(JournalTime now);
    void RecordConnection(ConnectionEventKind kind, std::string text, std::string redirectKind = {},
                          std::string redirectServer = {});
    void Notice(const JournalNotice& notice);

    const ServerSession& session_;
    JournalServer named_;  // the saved server named last
    std::string bulkId_;
    std::string backupFile_;
    std::string reason_;
    std::mutex noticesMutex_;  // the journal's writer thread adds
    std::vector<std::string> notices_;
    std::unique_ptr<Journal> journal_;               // after what its notices reach
    std::shared_ptr<const RequestContext> context_;  // unset once anything in it may be out of date
    PendingTickets pending_;
    std::optional<JournalTime> lastSample_;
    bool sampleDue_ = false;  // the connection changed: the next tick takes the counts
    bool attemptUp_ = false;  // a connection of this attempt was made
    bool counted_ = false;    // the counts were taken on this connection
    std::string lastError_;   // why the connection is about to end, as far as known
};

// The notice, worded for the connection log and the status bar.
std::string JournalNoticeText(const JournalNotice& notice);

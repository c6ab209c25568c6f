#include "session/SessionJournal.hpp"

#include <utility>

#include "session/ServerSession.hpp"
#include "util/untCalc1.hpp"

namespace {

constexpr std::string_view kLoginRefused = "login refused";

std::string HostPort(const std::string& host, int32_t port) {
    return host + ":" + std::to_string(port);
}

}  // namespace

std::string JournalNoticeText(const JournalNotice& notice) {
    switch (notice.kind) {
        case JournalNoticeKind::CannotWrite:
            return notice.text + "; administration goes on without it";
        case JournalNoticeKind::WritingAgain:
            return "the journal is written again";
        case JournalNoticeKind::DamagedSetAside:
            return "the journal was damaged; it was moved to " + notice.path + " and a new one started";
    }
    return notice.text;
}

std::optional<JournalOptions> SessionJournal::OptionsFrom(const StoredSettings& settings,
                                                          const std::string& path) {
    if (!settings.journalOn) {
        return std::nullopt;
    }
    JournalOptions options;
    options.path = path;
    // A crash loses at most the last second; longer batches rewrite the indexes' pages less often.
    options.commitInterval = std::chrono::seconds(1);
    options.maxAge = std::chrono::hours(24) * settings.journalMaxAgeDays;
    options.maxBytes = int64_t{settings.journalMaxMegabytes} * 1024 * 1024;
    return options;
}

SessionJournal::SessionJournal(const ServerSession& session, std::optional<JournalOptions> options)
    : session_(session) {
    if (options) {
        journal_ = std::make_unique<Journal>(std::move(*options),
                                             [this](const JournalNotice& notice) { Notice(notice); });
    }
}

// The requests still waiting will never hear their answer from this program.
SessionJournal::~SessionJournal() {
    if (!journal_) {
        return;
    }
    if (session_.Link().Connected()) {
        if (counted_) {
            Sample(JournalNow());
        }
        RecordConnection(ConnectionEventKind::Loss, "the program ended");
    }
    for (const PendingTickets::Pending& pending : pending_.Waiting()) {
        OutcomeUpdate outcome;
        outcome.outcome = JournalOutcome::Unconfirmed;
        outcome.text = "the program ended before the server answered";
        journal_->Settle(pending.ticket, std::move(outcome));
    }
    journal_.reset();
}

void SessionJournal::Notice(const JournalNotice& notice) {
    const std::lock_guard lock(noticesMutex_);
    notices_.push_back(JournalNoticeText(notice));
}

std::vector<std::string> SessionJournal::TakeNotices() {
    const std::lock_guard lock(noticesMutex_);
    return std::exchange(notices_, {});
}

void SessionJournal::Flush() {
    if (journal_) {
        journal_->Flush();
    }
}

bool SessionJournal::FallingBehind() const {
    return journal_ != nullptr && journal_->FallingBehind();
}

void SessionJournal::BelongTo(std::string bulkId, std::string backupFile) {
    bulkId_ = std::move(bulkId);
    backupFile_ = std::move(backupFile);
    context_.reset();
}

void SessionJournal::GiveReason(std::string reason) {
    reason_ = std::move(reason);
    context_.reset();
}

void SessionJournal::NameServer(std::string host, int32_t port, std::string name) {
    named_ = {std::move(host), port, std::move(name)};
    context_.reset();
}

// A redirect ("SRE") leaves the named server: entries from there on name none.
JournalServer SessionJournal::Server() const {
    const std::string& host = session_.Link().Host();
    const int32_t port = session_.Link().Port();
    const bool named = port == named_.port && SameTextAscii(host, named_.host);
    return {host, port, named ? named_.name : std::string()};
}

// The link's server and login change only between connections, and the command between
// commands: a bulk's requests all share one context.
std::shared_ptr<const RequestContext> SessionJournal::ContextFor(std::string_view command) {
    const TkvClient& link = session_.Link();
    if (!context_ || context_->command != command || context_->server.port != link.Port() ||
        context_->server.host != link.Host() || context_->administrator != link.Login()) {
        context_ = std::make_shared<const RequestContext>(
            RequestContext{Server(), link.Login(), std::string(command), bulkId_, backupFile_, reason_});
    }
    return context_;
}

void SessionJournal::RequestSent(const SentRequest& request) {
    if (!journal_) {
        return;
    }
    std::vector<ChangedField> fields;
    fields.reserve(request.fields.size());
    for (const auto& [name, value] : request.fields) {
        fields.push_back({name, value});
    }
    // Built where Record takes it: a bulk's every request goes through here.
    const JournalTicket ticket = journal_->Record(JournalRequest{
        {}, ContextFor(request.command), request.login, std::move(fields), request.passwordChanged});
    if (request.followed) {
        pending_.Add(*request.followed, ticket, request.confirmingCode);
        return;
    }
    // A request to everyone is answered by no report of its own.
    OutcomeUpdate outcome;
    outcome.outcome = JournalOutcome::Unconfirmed;
    outcome.text = "no report confirms a request to everyone";
    journal_->Settle(ticket, std::move(outcome));
}

void SessionJournal::RequestsNotSent(std::string_view command, std::vector<std::string> logins,
                                     const std::string& why) {
    if (!journal_) {
        return;
    }
    OutcomeUpdate outcome;
    outcome.outcome = JournalOutcome::Cancelled;
    outcome.text = why;
    journal_->RecordUnsent(ContextFor(command), std::move(logins), std::move(outcome));
}

void SessionJournal::RequestSettled(const SettledRequest& request) {
    if (!journal_) {
        return;
    }
    std::optional<PendingTickets::Pending> found = pending_.Take(request.id);
    if (!found) {
        return;
    }
    OutcomeUpdate outcome;
    switch (request.outcome) {
        case RequestOutcome::Confirmed:
            outcome.outcome = JournalOutcome::Confirmed;
            outcome.report = found->confirmingCode;
            break;
        case RequestOutcome::Refused:
            outcome.outcome = JournalOutcome::Refused;
            outcome.text = request.reason;
            break;
        case RequestOutcome::Unconfirmed:
            outcome.outcome = JournalOutcome::Unconfirmed;
            outcome.text = request.reason;
            break;
    }
    journal_->Settle(found->ticket, std::move(outcome));
}

void SessionJournal::RecordConnection(ConnectionEventKind kind, std::string text, std::string redirectKind,
                                      std::string redirectServer) {
    ConnectionEntry entry;
    entry.server = Server();
    entry.administrator = session_.Link().Login();
    entry.kind = kind;
    entry.text = std::move(text);
    entry.redirectKind = std::move(redirectKind);
    entry.redirectServer = std::move(redirectServer);
    journal_->Record(std::move(entry));
}

void SessionJournal::EventArrived(const LinkEvent& event, const ConnectionEffect& /*control*/) {
    if (!journal_) {
        return;
    }
    switch (event.kind) {
        case LinkEventKind::Lookup:
            attemptUp_ = false;
            lastError_.clear();
            break;
        case LinkEventKind::Connect:
            attemptUp_ = true;
            RecordConnection(ConnectionEventKind::Connect,
                             HostPort(session_.Link().Host(), session_.Link().Port()));
            break;
        case LinkEventKind::Error:
            lastError_ = event.text;
            break;
        case LinkEventKind::Read:
            if (event.state == LineState::LoggedOut && event.text == kLoginRefused) {
                RecordConnection(ConnectionEventKind::Refusal, event.text);
            }
            break;
        case LinkEventKind::Disconnect:
            // The counts as they were, before the session empties the list.
            if (counted_) {
                Sample(JournalNow());
                counted_ = false;
            }
            RecordConnection(ConnectionEventKind::Loss, !lastError_.empty() ? lastError_
                                                        : attemptUp_ ? "the server closed the connection"
                                                                     : "no connection could be made");
            attemptUp_ = false;
            lastError_.clear();
            break;
        default:
            break;
    }
}

void SessionJournal::StateChanged(LinkEventKind kind) {
    if (journal_ && kind == LinkEventKind::Login && session_.LoggedInAsAdministrator()) {
        RecordConnection(ConnectionEventKind::Login, "logged in as " + session_.Link().Login());
        sampleDue_ = true;
    }
}

void SessionJournal::NotAdministrator() {
    if (journal_) {
        RecordConnection(ConnectionEventKind::Refusal,
                         "the login " + session_.Link().Login() + " has no administrator rights");
    }
}

void SessionJournal::ConnectionOrdered(const ConnectionEffect& order) {
    if (!journal_) {
        return;
    }
    if (order.order == ConnectionOrder::Close) {
        lastError_ = "the server ordered the connection closed";
        return;
    }
    const ServerReconnectOrder& to = order.reconnect;
    const std::string host = to.host.empty() ? session_.Link().Host() : to.host;
    const int32_t port = to.port == 0 ? session_.Link().Port() : to.port;
    RecordConnection(ConnectionEventKind::Redirect, "in " + std::to_string(to.delaySeconds) + " s",
                     to.login.empty() ? "SRE" : "SRE as " + to.login, HostPort(host, port));
    lastError_ = "the server ordered a reconnection";
}

void SessionJournal::Disconnecting(std::string why) {
    if (session_.Link().Connected()) {
        lastError_ = std::move(why);
    }
}

void SessionJournal::Tick(JournalTime now) {
    if (!journal_ || !session_.LoggedInAsAdministrator() || !session_.ListComplete()) {
        return;
    }
    if (sampleDue_ || !lastSample_ || now - *lastSample_ >= kSampleInterval || now < *lastSample_) {
        Sample(now);
    }
}

void SessionJournal::Sample(JournalTime now) {
    const TkvCLDataCollection& members = session_.Members();
    MemberCountEntry entry;
    entry.time = now;
    entry.server = Server();
    entry.total = members.Count();
    for (int32_t i = 0; i < members.Count(); ++i) {
        entry.online += members.Items(i)->Online() ? 1 : 0;
    }
    journal_->Record(std::move(entry));
    lastSample_ = now;
    sampleDue_ = false;
    counted_ = true;
}

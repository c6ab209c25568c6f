#include "session/ServerSession.hpp"

#include <algorithm>
#include <utility>

#include "protocol/ProtocolCodes.hpp"
#include "session/AccountRules.hpp"
#include "util/untCalc1.hpp"

namespace {

// What a server says before closing a login it refuses.
constexpr std::string_view kLoginRefused = "login refused";

RequestResult Refusal(RequestRefusal why, std::string detail = {}) {
    return {why, std::move(detail), std::nullopt};
}

// The logoff and reconnect requests for everyone are the one-member requests without a login,
// so a nameless member would turn a request for it into a request for all; an expel or a
// delete without a login names no member at all.
std::optional<RequestResult> UnsendableMemberLogin(std::string_view login) {
    if (login.empty()) {
        return Refusal(RequestRefusal::EmptyLogin);
    }
    if (std::string problem = UnsendableLogin(login); !problem.empty()) {
        return Refusal(RequestRefusal::Unsendable, std::move(problem));
    }
    return std::nullopt;
}

SentRequest Described(std::string_view command, std::string_view login) {
    SentRequest sent;
    sent.command = std::string(command);
    sent.login = std::string(login);
    return sent;
}

// What an add sets, or what an edit changes of the listed account (everything when it is not
// listed); the password is told only as changed.
SentRequest AccountRequest(std::string_view command, const AccountFields& fields, const TkvCLData* before) {
    SentRequest sent = Described(command, fields.login);
    sent.passwordChanged =
        before == nullptr ? !fields.password.empty() : before->PasswordView() != fields.password;
    if (before == nullptr ? !fields.protocols.empty() : before->GetProtocolsText() != fields.protocols) {
        sent.fields.emplace_back("protocols", fields.protocols);
    }
    if (before == nullptr ? !fields.userBots.empty() : before->GetUserBotsText() != fields.userBots) {
        sent.fields.emplace_back("bots", fields.userBots);
    }
    return sent;
}

// The command's word for the requests to one member, by the line's code.
std::string_view CommandWord(std::string_view code) {
    if (code == RequestCode::Expel) {
        return "expel";
    }
    if (code == RequestCode::Logoff) {
        return "logoff";
    }
    return "reconnect";
}

}  // namespace

ServerSession::ServerSession(SessionListener& listener, std::unique_ptr<ClientSocket> socket,
                             const Clock& clock)
    : listener_(listener), clock_(clock) {
    link_ = std::make_unique<TkvClient>([this](const LinkEvent& event) { OnLinkEvent(event); },
                                        std::move(socket), clock);
}

ServerSession::~ServerSession() {
    link_.reset();
}

void ServerSession::SetServer(std::string_view host, int32_t port) {
    link_->SetHost(host);
    link_->SetPort(port);
}

void ServerSession::SetCredentials(std::string_view login, std::string_view password) {
    link_->SetLogin(login);
    link_->SetPassword(password);
}

void ServerSession::ApplySchedule(const ReconnectSchedule& schedule) {
    link_->SetAutoReconnect(schedule.on);
    link_->SetReconnectDelay(schedule.delay);
    link_->SetReconnectAttempts(schedule.attempts);
    link_->SetReconnectPause(schedule.pause);
    link_->SetReconnectCycles(schedule.cycles);
}

ReconnectSchedule ServerSession::Schedule() const {
    return {link_->AutoReconnect(), link_->ReconnectDelay(), link_->ReconnectAttempts(),
            link_->ReconnectPause(), link_->ReconnectCycles()};
}

void ServerSession::SetAutoReconnect(bool on) {
    link_->SetAutoReconnect(on);
}

bool ServerSession::Connect(std::string_view host, int32_t port) {
    beforeRedirect_.reset();
    return link_->Connect(host, port);
}

bool ServerSession::TryAgain() {
    return link_->Connect(link_->Host(), link_->Port());
}

void ServerSession::StayDisconnected() {
    link_->Disconnect();
    link_->Reconnect().SetForcedAttempts(0);
}

void ServerSession::Tick() {
    link_->Tick();
    listener_.ReportsDelivered();
    SettleAll(follower_.Expire(clock_.Now()));
}

std::optional<std::chrono::milliseconds> ServerSession::TimeUntilDue() const {
    std::optional<std::chrono::milliseconds> due = link_->TimeUntilDue();
    if (const std::optional<MonotonicTime> deadline = follower_.NextDeadline()) {
        const auto untilDeadline =
            std::max(std::chrono::milliseconds(0),
                     std::chrono::ceil<std::chrono::milliseconds>(*deadline - clock_.Now()));
        due = due ? std::min(*due, untilDeadline) : untilDeadline;
    }
    return due;
}

ServerAccount ServerSession::AccountToKeep() const {
    if (beforeRedirect_) {
        return *beforeRedirect_;
    }
    return {link_->Host(), link_->Port(), link_->Login(), link_->Password()};
}

// A session that has already ended has lost its granted protocols: it is no administrator then.
bool ServerSession::LoggedInAsAdministrator() const {
    return link_->LoggedIn() && link_->HasGrantedProtocol(kAdministratorProtocol);
}

void ServerSession::OnLinkEvent(const LinkEvent& event) {
    if (event.kind == LinkEventKind::Read) {
        OnRead(event);
        return;
    }
    listener_.EventArrived(event, {});
    if (event.kind == LinkEventKind::Lookup) {
        loginRefused_ = false;
        listComplete_ = false;
        ClearMembers();
    } else if (event.kind == LinkEventKind::Disconnect) {
        ClearMembers();
        SettleAll(follower_.Abandon("the connection ended"));
    }
    listener_.StateChanged(event.kind);
    if (event.kind == LinkEventKind::Login) {
        CheckAdministrator();
    }
}

// Each line is cut once; the cut serves the listener, the report and the connection control.
void ServerSession::OnRead(const LinkEvent& event) {
    const ServerLineView line = CutServerLineView(event.text);
    const ConnectionEffect control = ServerReports::ConnectionControlOf(line);
    listener_.EventArrived(event, control);
    // Reports count only once the login has completed.
    if (event.state == LineState::LoggedIn) {
        const RowsEffect effect = reports_.ApplyReport(line);
        ++listChanges_;
        if (line.code == ReportCode::ListComplete) {
            listComplete_ = true;
        }
        listener_.MembersChanged(effect, &line);
        if (std::optional<SettledRequest> settled = follower_.Answer(line)) {
            listener_.RequestSettled(*settled);
        }
    } else if (event.state == LineState::LoggedOut && event.text == kLoginRefused) {
        loginRefused_ = true;
    }
    // Connection control is obeyed even before the login has completed, but never from a line
    // the connection's end cut off or from a connection already replaced.
    if (MayBeObeyed(event.state)) {
        Obey(control);
    }
}

// Whoever reads the records in place lets go of them first.
void ServerSession::ClearMembers() {
    listener_.MembersClearing();
    members_.Clear();
    ++listChanges_;
    listener_.MembersChanged({RowsChange::RebuildAll, {}}, nullptr);
}

// Only administrators may stay; anyone else is sent away without a word.
void ServerSession::CheckAdministrator() {
    if (link_->LoggedIn() && !LoggedInAsAdministrator()) {
        listener_.NotAdministrator();
        link_->Disconnect();
    }
}

void ServerSession::Obey(const ConnectionEffect& control) {
    if (control.order == ConnectionOrder::None) {
        return;
    }
    listener_.ConnectionOrdered(control);
    if (control.order == ConnectionOrder::Close) {
        link_->Disconnect();
        return;
    }
    // The order redirects this run only; what the administrator set is kept for the next.
    if (!beforeRedirect_) {
        beforeRedirect_ = AccountToKeep();
    }
    const ServerReconnectOrder& order = control.reconnect;
    if (order.login.empty()) {
        link_->ServerReconnect(order.delaySeconds, order.port, order.host);
    } else {
        link_->ServerReconnectAs(order.delaySeconds, order.port, order.host, order.login, order.password);
    }
}

void ServerSession::SettleAll(std::vector<SettledRequest> settled) {
    for (const SettledRequest& request : settled) {
        listener_.RequestSettled(request);
    }
}

bool ServerSession::IsOnline(std::string_view login) const {
    const TkvCLData* record = members_.RecordOf(login);
    return record != nullptr && record->Online();
}

bool ServerSession::CanReachEveryone(bool butMe) const {
    return link_->LoggedIn() && (!butMe || members_.Count() > 1);
}

bool ServerSession::KeepsAdministrator(const TkvCLData& account) const {
    return SameTextAscii(account.Login(), link_->Login()) && account.HasProtocol(kAdministratorProtocol);
}

RequestResult ServerSession::AddAccount(const AccountFields& fields) {
    if (members_.Exists(fields.login)) {
        return Refusal(RequestRefusal::LoginExists);
    }
    if (std::string problem = UnsendableAccountFields(fields); !problem.empty()) {
        return Refusal(RequestRefusal::Unsendable, std::move(problem));
    }
    return Send(AccountRequestLine(RequestCode::AddAccount, fields), ReportCode::AccountAdded,
                AccountRequest("add", fields, nullptr));
}

RequestResult ServerSession::EditAccount(const AccountFields& fields) {
    if (std::string problem = UnsendableAccountFields(fields); !problem.empty()) {
        return Refusal(RequestRefusal::Unsendable, std::move(problem));
    }
    const TkvCLData* account = members_.RecordOf(fields.login);
    if (account != nullptr) {
        if (std::string problem = LockedProtocolsProblem(*account, link_->Login(), fields.protocols);
            !problem.empty()) {
            return Refusal(RequestRefusal::OwnAdministrator, std::move(problem));
        }
    }
    return Send(AccountRequestLine(RequestCode::EditAccount, fields), ReportCode::AccountModified,
                AccountRequest("edit", fields, account));
}

RequestResult ServerSession::DeleteAccount(std::string_view login) {
    if (std::optional<RequestResult> refused = UnsendableMemberLogin(login)) {
        return *refused;
    }
    const bool online = IsOnline(login);
    RequestResult sent = Send(LoginRequestLine(RequestCode::DeleteAccount, login), ReportCode::AccountDeleted,
                              Described("delete", login));
    if (online) {
        link_->SendLine(LoginRequestLine(RequestCode::Expel, login));
    }
    return sent;
}

RequestResult ServerSession::Expel(std::string_view login) {
    return RequestAboutOnlineMember(RequestCode::Expel, login);
}

RequestResult ServerSession::AskToLogOff(std::string_view login) {
    return RequestAboutOnlineMember(RequestCode::Logoff, login);
}

RequestResult ServerSession::AskToReconnect(std::string_view login) {
    return RequestAboutOnlineMember(RequestCode::Reconnect, login, ReconnectArguments());
}

RequestResult ServerSession::AskEveryoneToLogOff(bool butMe) {
    if (!CanReachEveryone(butMe)) {
        return Refusal(RequestRefusal::NobodyToReach);
    }
    link_->SendLine(LoginRequestLine(butMe ? RequestCode::LogoffAllButRequester : RequestCode::Logoff, ""));
    listener_.RequestSent(Described(butMe ? "logoff-all-but-me" : "logoff-all", ""));
    return {};
}

RequestResult ServerSession::AskEveryoneToReconnect(bool butMe) {
    if (!CanReachEveryone(butMe)) {
        return Refusal(RequestRefusal::NobodyToReach);
    }
    link_->SendLine(LoginRequestLine(butMe ? RequestCode::ReconnectAllButRequester : RequestCode::Reconnect,
                                     "", ReconnectArguments()));
    listener_.RequestSent(Described(butMe ? "reconnect-all-but-me" : "reconnect-all", ""));
    return {};
}

RequestResult ServerSession::RequestAboutOnlineMember(std::string_view code, std::string_view login,
                                                      std::string_view arguments) {
    if (std::optional<RequestResult> refused = UnsendableMemberLogin(login)) {
        return *refused;
    }
    if (!IsOnline(login)) {
        return Refusal(RequestRefusal::NotOnline);
    }
    // The member's session ends, which the server reports as a logoff.
    return Send(LoginRequestLine(code, login, arguments), ReportCode::MemberLoggedOut,
                Described(CommandWord(code), login));
}

RequestResult ServerSession::Send(const std::string& line, std::string_view confirmingCode,
                                  SentRequest sent) {
    link_->SendLine(line);
    sent.followed = follower_.Follow(confirmingCode, sent.login, clock_.Now());
    sent.confirmingCode = std::string(confirmingCode);
    listener_.RequestSent(sent);
    return {RequestRefusal::None, {}, sent.followed};
}

std::string ServerSession::ReconnectArguments() const {
    return ReconnectRequestArguments(link_->Port(), link_->Host());
}

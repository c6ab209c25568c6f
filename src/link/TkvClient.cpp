#include "link/TkvClient.hpp"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "link/TkvClientLogin.hpp"

namespace {

constexpr int32_t kServerOrderedAttempts = 30;
constexpr int32_t kDefaultReconnectDelaySeconds = 10;

}  // namespace

TkvClient::TkvClient(TkvClientEventHandler onEvent, std::unique_ptr<ClientSocket> socket, const Clock& clock)
    : socket_(std::move(socket)),
      onEvent_(std::move(onEvent)),
      clock_(clock),
      protocol_(std::make_unique<TkvClientLogin>(login_, password_)),
      reconnect_(std::make_unique<TkvSCReconnect>(clock)) {
    if (!socket_) {
        throw std::invalid_argument("TkvClient needs a socket");
    }
    socket_->SetHandler(this);
    reconnect_->SetDelay(kDefaultReconnectDelaySeconds);
}

TkvClient::~TkvClient() {
    // The close runs the disconnect handling, whose events are dropped with the rest.
    try {
        if (socket_->Active()) {
            socket_->Close();
        }
    } catch (...) {
        // Nothing may leave a destructor; the socket is released below all the same.
    }
    socket_->SetHandler(nullptr);
    events_.Clear();
}

void TkvClient::SetHost(std::string_view host) {
    host_ = Trim(host);
}

void TkvClient::SetLogin(std::string_view login) {
    login_ = login;
    if (auto* handler = dynamic_cast<TkvClientLogin*>(protocol_.get())) {
        handler->Login = login_;
    }
}

void TkvClient::SetPassword(std::string_view password) {
    password_ = password;
    if (auto* handler = dynamic_cast<TkvClientLogin*>(protocol_.get())) {
        handler->Password = password_;
    }
}

void TkvClient::SetHeartbeatSeconds(int32_t seconds) {
    heartbeatInterval_ = std::chrono::seconds(seconds);
}

void TkvClient::SetAutoReconnect(bool on) {
    if (!on && reconnect_->Enabled()) {
        reconnect_->SetArmed(false);
    }
    reconnect_->SetEnabled(on);
}

bool TkvClient::AutoReconnect() const {
    return reconnect_->Enabled();
}
void TkvClient::SetReconnectDelay(int32_t seconds) {
    reconnect_->SetDelay(seconds);
}
int32_t TkvClient::ReconnectDelay() const {
    return reconnect_->DelaySeconds();
}
void TkvClient::SetReconnectPause(int32_t seconds) {
    reconnect_->SetPause(seconds);
}
int32_t TkvClient::ReconnectPause() const {
    return reconnect_->PauseSeconds();
}
void TkvClient::SetReconnectAttempts(int32_t count) {
    reconnect_->SetAttemptsBeforePause(count);
}
int32_t TkvClient::ReconnectAttempts() const {
    return reconnect_->AttemptsBeforePause();
}
void TkvClient::SetReconnectCycles(int32_t count) {
    reconnect_->SetCycles(count);
}
int32_t TkvClient::ReconnectCycles() const {
    return reconnect_->Cycles();
}

bool TkvClient::SocketActive() const {
    return socket_->Active();
}

bool TkvClient::Connect(std::string_view host, int32_t port) {
    lastErrorText_.clear();
    loggedIn_ = false;
    std::string trimmedHost = Trim(host);
    if (!trimmedHost.empty()) {
        host_ = std::move(trimmedHost);
    }
    if (port > 0) {
        port_ = port;
    }
    try {
        socket_->Close();
    } catch (...) {
        // A connection that cannot be closed cleanly is replaced all the same.
    }
    PushHeartbeatBack();
    socket_->SetHandler(this);
    try {
        if (IsDottedIPv4(host_)) {
            socket_->Open(host_, {}, port_);
        } else {
            socket_->Open({}, host_, port_);
        }
    } catch (const std::exception& failure) {
        lastErrorText_ = failure.what();
        if (lastErrorText_.empty()) {
            lastErrorText_ = "The connection could not be opened";
        }
        return false;
    }
    return lastErrorText_.empty();
}

void TkvClient::Disconnect() {
    reconnect_->SetArmed(false);
    PushHeartbeatBack();
    socket_->Close();
}

void TkvClient::SendLine(std::string_view line) {
    if (!socket_->Active()) {
        return;
    }
    outLines_.emplace_back(line);
    socket_->RequestWriteNotification();
}

void TkvClient::Tick() {
    const auto now = clock_.Now();
    bool caughtUp = DeliverEvents(now);
    // The socket is read in small batches, each handed on before the next is read, while the
    // slice lasts: a long list then passes through the cache once instead of going out to
    // memory and back. Only while the owner caused nothing; what it causes waits for the next
    // tick.
    while (caughtUp && events_.Empty() && readDeferred_ && clock_.Now() - now < kDeliverySlice) {
        ReadReceived(false);
        caughtUp = DeliverEvents(now);
    }
    if (socket_->Active()) {
        if (now > nextHeartbeat_) {
            SendHeartbeat(now);
        }
    } else if (caughtUp && CanReconnect()) {
        // Only once the owner has heard everything the ended connection said: an order among it
        // may change where, and whether, the attempt goes.
        reconnect_->ScheduleNext();
        Connect(host_, port_);
    }
    if (readDeferred_ && events_.Bytes() < kQueueHighWater) {
        ReadReceived(false);
    }
}

std::optional<std::chrono::milliseconds> TkvClient::TimeUntilDue() const {
    using std::chrono::milliseconds;
    if (HasPendingWork()) {
        return milliseconds(0);
    }
    const auto now = clock_.Now();
    // Both fall due once the clock has passed them, so the wait ends a millisecond after.
    auto waitFor = [now](MonotonicTime due) {
        return due < now ? milliseconds(0) : std::chrono::ceil<milliseconds>(due - now) + milliseconds(1);
    };
    if (socket_->Active()) {
        return waitFor(nextHeartbeat_);
    }
    const bool wanted = (reconnect_->Armed() && reconnect_->Enabled()) || reconnect_->ForcedAttempts() > 0;
    if (wanted && port_ > 0 && !host_.empty() && !login_.empty()) {
        return waitFor(reconnect_->NextAttempt());
    }
    return std::nullopt;
}

void TkvClient::SendHeartbeat(MonotonicTime now) {
    nextHeartbeat_ = now + heartbeatInterval_;
    heartbeatPending_ = true;
    outLines_.emplace_back();
    socket_->RequestWriteNotification();
}

bool TkvClient::CanReconnect() const {
    return !attemptPending_ && reconnect_->IsDue() && port_ > 0 && !host_.empty() && !login_.empty();
}

bool TkvClient::HasGrantedProtocol(std::string_view names) const {
    for (const auto& wanted : ReadCommaList(names)) {
        for (const auto& granted : serverProtocols_) {
            if (SameTextAscii(wanted, granted)) {
                return true;
            }
        }
    }
    return false;
}

void TkvClient::ServerReconnect(int32_t delaySeconds, int32_t port, std::string_view host) {
    if (connected_) {
        Disconnect();
    }
    if (delaySeconds > 0) {
        reconnect_->SetFirstDelay(delaySeconds);
    }
    if (port > 0) {
        port_ = port;
    }
    // A blank host would leave the link without one, and no attempt would ever be made.
    if (!Trim(host).empty()) {
        SetHost(host);
    }
    reconnect_->ResetCounters();
    reconnect_->SetForcedAttempts(kServerOrderedAttempts);
    reconnect_->ScheduleNext();
}

void TkvClient::ServerReconnectAs(int32_t delaySeconds, int32_t port, std::string_view host,
                                  std::string_view login, std::string_view password) {
    ServerReconnect(delaySeconds, port, host);
    if (!login.empty()) {
        SetLogin(login);
    }
    SetPassword(password);
}

void TkvClient::LoginDone() {
    loggedIn_ = true;
    reconnect_->SetArmed(true);
    QueueEvent(LinkEventKind::Login);
}

void TkvClient::QueueEvent(LinkEventKind kind, std::string_view text) {
    Enqueue(kind, loggedIn_ ? LineState::LoggedIn : LineState::LoggedOut, text);
}

void TkvClient::QueueEventLoggedOut(LinkEventKind kind, std::string_view text) {
    Enqueue(kind, LineState::LoggedOut, text);
}

void TkvClient::Enqueue(LinkEventKind kind, LineState state, std::string_view text) {
    const bool wasEmpty = events_.Empty();
    events_.Push(kind, state, text);
    if (wasEmpty && onEventQueued_) {
        onEventQueued_();
    }
}

// Only what was queued before this call is delivered now: what the owner causes from its
// callback waits for the next tick. A long queue stops once the slice that began at started is
// over and goes on from there; false then, as the owner has not caught up.
bool TkvClient::DeliverEvents(MonotonicTime started) {
    for (std::size_t due = events_.Count(); due > 0 && !events_.Empty(); --due) {
        LinkEvent event{LinkEventKind::Read, LineState::LoggedOut, std::move(deliveredText_)};
        events_.PopInto(event);
        if (endedConnectionEvents_ > 0) {
            --endedConnectionEvents_;
            if (event.kind == LinkEventKind::Read && MayBeObeyed(event.state)) {
                event.state = LineState::FromEndedConnection;
            }
        }
        if (onEvent_) {
            onEvent_(event);
        }
        deliveredText_ = std::move(event.text);
        if (due > 1 && clock_.Now() - started >= kDeliverySlice) {
            return false;
        }
    }
    return true;
}

void TkvClient::PushHeartbeatBack() {
    nextHeartbeat_ = clock_.Now() + heartbeatInterval_;
}

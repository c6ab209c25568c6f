#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/ClientSocket.hpp"
#include "link/Clock.hpp"
#include "link/EventQueue.hpp"
#include "link/LineFramer.hpp"
#include "link/LinkEvent.hpp"
#include "link/TkvClientProtocol.hpp"
#include "link/TkvSCReconnect.hpp"
#include "util/untCalc1.hpp"

// The one connection to the administration server: line framing, heartbeat, the login
// dialogue, automatic reconnection, and an event queue that reaches the owner only from Tick,
// never from inside a socket notification.
class TkvClient final : private ClientSocketHandler {
public:
    TkvClient(TkvClientEventHandler onEvent, std::unique_ptr<ClientSocket> socket,
              const Clock& clock = SteadyClock::Instance());
    ~TkvClient();
    TkvClient(const TkvClient&) = delete;
    TkvClient& operator=(const TkvClient&) = delete;

    void SetHost(std::string_view host);
    void SetPort(int32_t port) { port_ = port; }
    void SetLogin(std::string_view login);
    void SetPassword(std::string_view password);
    void SetHeartbeatSeconds(int32_t seconds);

    void SetAutoReconnect(bool on);
    bool AutoReconnect() const;
    void SetReconnectDelay(int32_t seconds);
    int32_t ReconnectDelay() const;
    void SetReconnectPause(int32_t seconds);
    int32_t ReconnectPause() const;
    void SetReconnectAttempts(int32_t count);
    int32_t ReconnectAttempts() const;
    void SetReconnectCycles(int32_t count);
    int32_t ReconnectCycles() const;

    bool Connect(std::string_view host, int32_t port);
    void Disconnect();
    void SendLine(std::string_view line);
    void Tick();

    // A burst is handed to the owner in slices of about this long; the rest follows at the next
    // tick, in order, so that the window answers its user in between.
    static constexpr std::chrono::milliseconds kDeliverySlice{50};
    // No more is read from the socket while the queued events hold this many bytes; what the
    // network brings meanwhile waits in the socket and, beyond that, at the server. Small, so
    // that lines are handed on while their bytes are still in the cache; a tick reads again as
    // its slice allows.
    static constexpr std::size_t kQueueHighWater = std::size_t{256} << 10;
    static constexpr std::size_t kReadChunk = std::size_t{64} << 10;

    // Called when an event is queued while none was waiting, from inside the socket's
    // notifications: the owner may only schedule a tick from it.
    void SetOnEventQueued(std::function<void()> onQueued) { onEventQueued_ = std::move(onQueued); }
    // True while queued events or received bytes wait for a tick.
    bool HasPendingWork() const { return !events_.Empty() || readDeferred_; }
    // How long the owner may wait before Tick has something to do: zero while work is pending,
    // else until the heartbeat or the next reconnection attempt falls due; nothing when neither
    // is planned (a later event wakes the owner through SetOnEventQueued).
    std::optional<std::chrono::milliseconds> TimeUntilDue() const;

    bool HasGrantedProtocol(std::string_view names) const;
    void ServerReconnect(int32_t delaySeconds, int32_t port, std::string_view host);
    void ServerReconnectAs(int32_t delaySeconds, int32_t port, std::string_view host, std::string_view login,
                           std::string_view password);

    // Used by the login handler.
    void LoginDone();
    void SetServerProtocols(TextList protocols) { serverProtocols_ = std::move(protocols); }

    bool Connected() const { return connected_; }
    bool LoggedIn() const { return loggedIn_; }
    bool SocketActive() const;
    const std::string& Host() const { return host_; }
    int32_t Port() const { return port_; }
    const std::string& Login() const { return login_; }
    const std::string& Password() const { return password_; }
    const TextList& ServerProtocols() const { return serverProtocols_; }
    const std::string& LastErrorText() const { return lastErrorText_; }
    int32_t LastErrorCode() const { return lastErrorCode_; }
    const std::string& LastErrorKind() const { return lastErrorKind_; }
    TkvSCReconnect& Reconnect() { return *reconnect_; }
    const TkvSCReconnect& Reconnect() const { return *reconnect_; }
    size_t QueuedEventCount() const { return events_.Count(); }

private:
    void SocketLookup() override;
    void SocketConnecting() override;
    void SocketConnect() override;
    void SocketDisconnect() override;
    void SocketRead() override;
    void SocketWrite() override;
    void SocketError(TSocketErrorKind kind, int32_t& code) override;

    void ReadReceived(bool drain);
    void HandleLine(std::string_view line);
    void DeliverHeldTail();
    void ReportDroppedLines(std::size_t dropped);
    void HandleConnectError(int32_t code);
    void SendHeartbeat(MonotonicTime now);
    bool CanReconnect() const;
    void EndAttempt() { attemptPending_ = false; }
    void QueueEvent(LinkEventKind kind, std::string_view text = {});
    void QueueEventLoggedOut(LinkEventKind kind, std::string_view text = {});
    void Enqueue(LinkEventKind kind, LineState state, std::string_view text);
    bool DeliverEvents(MonotonicTime started);
    void PushHeartbeatBack();

    std::unique_ptr<ClientSocket> socket_;
    TkvClientEventHandler onEvent_;
    const Clock& clock_;
    std::string lastErrorText_;
    int32_t lastErrorCode_ = 0;
    std::string lastErrorKind_;
    bool connected_ = false;
    bool loggedIn_ = false;
    std::deque<std::string> outLines_;
    LineFramer framer_;
    std::chrono::milliseconds heartbeatInterval_{std::chrono::seconds(60)};
    MonotonicTime nextHeartbeat_{};
    bool heartbeatPending_ = false;
    std::string host_;
    int32_t port_ = 0;
    std::string login_;
    std::string password_;
    std::unique_ptr<TkvClientProtocol> protocol_;
    TextList serverProtocols_;
    bool dataReceived_ = false;
    // From the lookup notification until the attempt connects, fails or is closed; the
    // schedule's next attempt waits for it rather than replacing it.
    bool attemptPending_ = false;
    std::unique_ptr<TkvSCReconnect> reconnect_;
    EventQueue events_;
    // The room of the text of the event last delivered, used again for the next.
    std::string deliveredText_;
    // How many events at the front of events_ were queued before the latest attempt began.
    std::size_t endedConnectionEvents_ = 0;
    bool readDeferred_ = false;  // bytes may wait in the socket because the queue was full
    std::function<void()> onEventQueued_;
};

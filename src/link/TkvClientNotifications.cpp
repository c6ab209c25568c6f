#include "link/TkvClient.hpp"

#include <utility>

#include "link/ErrorEventWording.hpp"
#include "link/LinkProtection.hpp"
#include "link/SocketErrorNumbers.hpp"

// The socket's notifications: they update the link's state and queue events, and never call
// the owner.

namespace {

// Every line goes out ended by a carriage return alone.
std::string Framed(const std::string& line) {
    std::string framed;
    framed.reserve(line.size() + 1);
    framed.append(line);
    framed.push_back('\r');
    return framed;
}

bool IsBlank(std::string_view line) {
    for (const char c : line) {
        if (static_cast<unsigned char>(c) > 32) {
            return false;
        }
    }
    return true;
}

}  // namespace

void TkvClient::SocketLookup() {
    DeliverHeldTail();
    loggedIn_ = false;
    PushHeartbeatBack();
    outLines_.clear();
    attemptPending_ = true;
    endedConnectionEvents_ = events_.Count();
    QueueEventLoggedOut(LinkEventKind::Lookup);
}

void TkvClient::SocketConnecting() {
    PushHeartbeatBack();
    loggedIn_ = false;
    QueueEventLoggedOut(LinkEventKind::Connecting);
}

void TkvClient::SocketConnect() {
    PushHeartbeatBack();
    reconnect_->SetArmed(false);
    EndAttempt();
    dataReceived_ = false;
    connected_ = true;
    QueueEventLoggedOut(LinkEventKind::Connect);
}

void TkvClient::SocketDisconnect() {
    if (readDeferred_) {
        // The last bytes the peer sent come before its close, however full the queue is.
        ReadReceived(true);
    }
    DeliverHeldTail();
    PushHeartbeatBack();
    EndAttempt();
    connected_ = false;
    if (loggedIn_) {
        reconnect_->ResetCounters();
    }
    loggedIn_ = false;
    if (!dataReceived_ && reconnect_->ForcedAttempts() == 0) {
        reconnect_->SetArmed(true);
    }
    reconnect_->ScheduleNext();
    serverProtocols_.clear();
    QueueEventLoggedOut(LinkEventKind::Disconnect);
}

void TkvClient::SocketRead() {
    dataReceived_ = true;
    PushHeartbeatBack();
    ReadReceived(false);
}

// Reads while the queue has room (drain: whatever it holds). Before the login every chunk is
// read whole, since its unterminated end is a line of its own there.
void TkvClient::ReadReceived(bool drain) {
    readDeferred_ = false;
    while (drain || events_.Bytes() < kQueueHighWater) {
        std::string chunk = loggedIn_ ? socket_->ReceiveTextUpTo(kReadChunk) : socket_->ReceiveText();
        if (chunk.empty()) {
            return;
        }
        if (chunk.size() >= kReadChunk && chunk.back() == '\r') {
            // A CR LF that this read would cut in two must not become two line ends.
            chunk += socket_->ReceiveTextUpTo(1);
        }
        const std::size_t dropped =
            framer_.CutEach(chunk, [this](std::string_view line) { HandleLine(line); });
        ReportDroppedLines(dropped);
        // Once logged in, an unterminated rest is most likely a report cut by the network and is
        // held for the next chunk; before that it may be a prompt that waits for its answer.
        if (!loggedIn_ && framer_.Holding()) {
            HandleLine(framer_.TakeHeld());
        }
    }
    readDeferred_ = true;
}

void TkvClient::SocketWrite() {
    PushHeartbeatBack();
    while (!outLines_.empty() && socket_->Active()) {
        std::string line = std::move(outLines_.front());
        outLines_.pop_front();
        if (line.empty() && heartbeatPending_) {
            heartbeatPending_ = false;
            line.assign(1, ' ');  // the heartbeat line is a single space
        }
        socket_->SendText(Framed(line));
        QueueEvent(LinkEventKind::Write, std::move(line));
    }
}

void TkvClient::SocketError(TSocketErrorKind kind, int32_t& code) {
    lastErrorCode_ = code;
    lastErrorText_ = FormatSocketError(socket_->ErrorMessage(code), code);
    lastErrorKind_ = SocketErrorKindName(kind);
    std::string text = lastErrorKind_ + " - " + lastErrorText_;
    if (kind == TSocketErrorKind::Connect) {
        EndAttempt();
        HandleConnectError(code);
    }
    QueueEventLoggedOut(LinkEventKind::Error, std::move(text));
    code = 0;
}

void TkvClient::HandleConnectError(int32_t code) {
    if (IsLinkRefusal(code)) {
        // The same certificate, or the same missing TLS, would meet every attempt: the
        // administrator decides, not the schedule, and a server's order is no exception. The
        // endpoint's close arms the schedule as for a refused connection; it is disarmed after.
        socket_->CloseEndpoint();
        reconnect_->SetArmed(false);
        reconnect_->SetForcedAttempts(0);
        return;
    }
    if (code == Winsock::AddressNotAvailable || code == Winsock::NoBufferSpace) {
        reconnect_->SetArmed(false);
    } else if (code == Winsock::ConnectionRefused) {
        reconnect_->SetArmed(true);
        socket_->CloseEndpoint();
    }
    reconnect_->ScheduleNext();
}

// The "Read" goes first, before anything the dialogue queues in answer.
void TkvClient::HandleLine(std::string_view line) {
    QueueEvent(LinkEventKind::Read, line);
    if (!IsBlank(line)) {
        protocol_->Process(*this, line);
    }
}

// An overlong line leaves no "Read" behind; a "Dropped" event says that it came, so that the
// owner's log does not pass over it in silence.
void TkvClient::ReportDroppedLines(std::size_t dropped) {
    if (dropped == 0) {
        return;
    }
    const std::string bound = std::to_string(LineFramer::kMaxHeldBytes);
    QueueEvent(LinkEventKind::Dropped,
               dropped == 1 ? "a line longer than " + bound + " bytes, unread"
                            : std::to_string(dropped) + " lines longer than " + bound + " bytes, unread");
}

// A tail is held only once logged in; the connection's end cut it, so it goes to the owner
// marked as cut, never as a whole report line.
void TkvClient::DeliverHeldTail() {
    if (framer_.Holding()) {
        Enqueue(LinkEventKind::Read, LineState::Cut, framer_.TakeHeld());
    }
}

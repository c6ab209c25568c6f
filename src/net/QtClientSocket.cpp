#include "net/QtClientSocket.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include <QNetworkProxy>

#ifdef __linux__
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include "net/PlatformErrorDescription.hpp"
#include "net/QtSocketErrorMapping.hpp"
#include "util/untCalc1.hpp"

namespace {

// How long a closed connection may take to hand its last queued bytes to the peer.
constexpr std::chrono::seconds kDrainLimit{30};
// Received bytes Qt holds for the link at most; the network keeps the rest.
constexpr qint64 kReadBufferBytes = qint64{4} << 20;

// The address the link has already judged dotted, read the same way it judged it.
QHostAddress DottedAddress(const std::string& address) {
    quint32 value = 0;
    std::string field;
    std::string rest = address;
    for (int i = 0; i < 4; ++i) {
        SplitFirst(rest, ".", false, field, rest);
        const int32_t byte = StrToIntDef(field, -1);
        if (byte < 0 || byte > 255) {
            throw std::runtime_error("Invalid address: " + address);
        }
        value = value << 8 | static_cast<quint32>(byte);
    }
    if (!rest.empty()) {
        throw std::runtime_error("Invalid address: " + address);
    }
    return QHostAddress(value);
}

// IPv4 first, as the server is addressed by its IPv4 address wherever one is given.
QHostAddress PreferredAddress(const QList<QHostAddress>& addresses) {
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            return address;
        }
    }
    return addresses.isEmpty() ? QHostAddress() : addresses.first();
}

std::string FailureText(const std::string& message, int32_t code, const char* api) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "Windows socket error: %s (%d), on API '%s'", message.c_str(),
                  static_cast<int>(code), api);
    return buffer;
}

// The heartbeat goes out after a minute of silence; without these, a peer that vanished without
// a close would be noticed only when TCP's retransmissions give up, a quarter of an hour later.
void DetectDeadPeer(QTcpSocket& tcp, std::chrono::seconds limit) {
    tcp.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef __linux__
    const auto fd = static_cast<int>(tcp.socketDescriptor());
    constexpr int kProbes = 6;
    const int idle = static_cast<int>(limit.count()) / 2;
    const int interval = idle / kProbes;
    const unsigned int unacknowledged = static_cast<unsigned int>(limit.count()) * 1000u;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kProbes, sizeof kProbes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledged, sizeof unacknowledged);
#endif
}

}  // namespace

QtClientSocket::QtClientSocket(FailureReporter reportFailure, std::chrono::milliseconds connectTimeout)
    : reportFailure_(std::move(reportFailure)), connectTimeout_(connectTimeout) {
    connectTimer_.setSingleShot(true);
    connect(&connectTimer_, &QTimer::timeout, this, &QtClientSocket::ConnectTimedOut);
}

// Ends every connection at once and quietly: none of the sockets may signal into a handler or
// an object that is going away.
QtClientSocket::~QtClientSocket() {
    handler_ = nullptr;
    AbandonLookup();
    const bool insideASignal = notificationDepth_ > 0;
    for (QTcpSocket* tcp : findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly)) {
        tcp->disconnect(this);
        tcp->flush();
        tcp->abort();
        if (insideASignal) {
            // Qt may still be inside one of this socket's signals further up the stack.
            tcp->setParent(nullptr);
            tcp->deleteLater();
        }
    }
}

// Returns false when the handler destroyed this object; the caller must then stop at once.
template <typename Notification>
bool QtClientSocket::Notify(Notification notification) {
    QPointer<QtClientSocket> self(this);
    ++notificationDepth_;
    if (handler_ != nullptr) {
        notification(*handler_);
    }
    if (self == nullptr) {
        return false;
    }
    --notificationDepth_;
    return true;
}

void QtClientSocket::SetHandler(ClientSocketHandler* handler) {
    handler_ = handler;
}

void QtClientSocket::Open(const std::string& address, const std::string& host, int32_t port) {
    if (address.empty() && host.empty()) {
        throw std::runtime_error("No address or host name to connect to");
    }
    const QHostAddress dotted = address.empty() ? QHostAddress() : DottedAddress(address);

    QPointer<QtClientSocket> self(this);
    if (phase_ == Phase::Connected) {
        Close();
        if (self == nullptr) {
            return;
        }
    }
    EndAttempt(false);

    const uint64_t attempt = ++attempt_;
    phase_ = Phase::LookingUp;
    if (!Notify([](ClientSocketHandler& h) { h.SocketLookup(); }) || attempt != attempt_) {
        return;
    }
    if (port < 1 || port > 65535) {
        EndAttempt(false);
        RaiseError(TSocketErrorKind::Connect, Winsock::AddressNotAvailable, "connect");
        return;
    }
    port_ = static_cast<quint16>(port);
    if (address.empty()) {
        BeginLookup(host);
    } else {
        BeginConnect(dotted);
    }
}

bool QtClientSocket::Active() const {
    return phase_ == Phase::Connected;
}

void QtClientSocket::Close() {
    if (phase_ != Phase::Connected) {
        return;
    }
    EndAttempt(true);
    Notify([](ClientSocketHandler& h) { h.SocketDisconnect(); });
}

void QtClientSocket::CloseEndpoint() {
    EndAttempt(phase_ == Phase::Connected);
    Notify([](ClientSocketHandler& h) { h.SocketDisconnect(); });
}

std::string QtClientSocket::ReceiveText() {
    if (tcp_ == nullptr) {
        return std::exchange(unreadAtClose_, {}).toStdString();
    }
    return tcp_->readAll().toStdString();
}

std::string QtClientSocket::ReceiveTextUpTo(std::size_t maxBytes) {
    if (tcp_ == nullptr) {
        const QByteArray piece = unreadAtClose_.left(static_cast<qsizetype>(maxBytes));
        unreadAtClose_.remove(0, piece.size());
        return piece.toStdString();
    }
    // Read straight into the string: every byte of a million members passes here, and a
    // QByteArray in between would allocate a chunk and copy it once more.
    const qint64 wanted = std::min(tcp_->bytesAvailable(), static_cast<qint64>(maxBytes));
    if (wanted <= 0) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(wanted), '\0');
    const qint64 got = tcp_->read(bytes.data(), wanted);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

void QtClientSocket::SendText(const std::string& bytes) {
    if (phase_ != Phase::Connected || bytes.empty()) {
        return;
    }
    if (tcp_->bytesToWrite() + static_cast<qint64>(bytes.size()) > kMaxUnsentBytes) {
        FailSend(Winsock::NoBufferSpace);
        return;
    }
    // QTcpSocket keeps whatever the network cannot take now and sends it from the event loop.
    tcp_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void QtClientSocket::RequestWriteNotification() {
    Notify([](ClientSocketHandler& h) { h.SocketWrite(); });
}

std::string QtClientSocket::ErrorMessage(int32_t code) const {
    return WinsockErrorText(code);
}

void QtClientSocket::BeginLookup(const std::string& host) {
    const uint64_t attempt = attempt_;
    connectTimer_.start(connectTimeout_);
    lookupId_ =
        QHostInfo::lookupHost(QString::fromStdString(host), this,
                              [this, attempt](const QHostInfo& info) { HostLookedUp(attempt, info); });
}

void QtClientSocket::HostLookedUp(uint64_t attempt, const QHostInfo& info) {
    if (attempt != attempt_ || phase_ != Phase::LookingUp) {
        return;
    }
    lookupId_ = -1;
    const QHostAddress address = PreferredAddress(info.addresses());
    if (info.error() == QHostInfo::HostNotFound || (info.error() == QHostInfo::NoError && address.isNull())) {
        FailLookup(Winsock::HostNotFound);
    } else if (info.error() != QHostInfo::NoError) {
        FailLookup(Winsock::TryAgain);
    } else {
        BeginConnect(address);
    }
}

// The lookup failure is no socket error: the socket closes, and the failure goes to the
// application's error handler once the notification is over.
void QtClientSocket::FailLookup(int32_t code) {
    EndAttempt(false);
    if (Notify([](ClientSocketHandler& h) { h.SocketDisconnect(); })) {
        ReportLater(code, "ASync Lookup");
    }
}

void QtClientSocket::BeginConnect(const QHostAddress& address) {
    const uint64_t attempt = attempt_;
    phase_ = Phase::Connecting;
    if (!Notify([](ClientSocketHandler& h) { h.SocketConnecting(); }) || attempt != attempt_) {
        return;
    }
    connectTimer_.start(connectTimeout_);
    tcp_ = NewTcpSocket();
    tcp_->connectToHost(address, port_);
}

// A resolver that never answers would otherwise hold the attempt, and with it the schedule,
// for good.
void QtClientSocket::ConnectTimedOut() {
    if (phase_ == Phase::LookingUp) {
        FailLookup(Winsock::TryAgain);
    } else if (phase_ == Phase::Connecting) {
        EndAttempt(false);
        RaiseError(TSocketErrorKind::Connect, Winsock::TimedOut, "connect");
    }
}

// As a hard send failure: the error, then the socket's own close, dropping what was not sent.
void QtClientSocket::FailSend(int32_t code) {
    QPointer<QtClientSocket> self(this);
    const uint64_t attempt = attempt_;
    RaiseError(TSocketErrorKind::Send, code, "send");
    if (self == nullptr || attempt != attempt_ || phase_ != Phase::Connected) {
        return;
    }
    EndAttempt(false);
    Notify([](ClientSocketHandler& h) { h.SocketDisconnect(); });
}

void QtClientSocket::TcpConnected() {
    if (phase_ != Phase::Connecting) {
        return;
    }
    connectTimer_.stop();
    phase_ = Phase::Connected;
    DetectDeadPeer(*tcp_, kDeadPeerLimit);
    Notify([](ClientSocketHandler& h) { h.SocketConnect(); });
}

void QtClientSocket::TcpReadyRead() {
    if (phase_ == Phase::Connected) {
        Notify([](ClientSocketHandler& h) { h.SocketRead(); });
    }
}

// The peer's close: whatever it sent before closing is read first, and the close is no error.
void QtClientSocket::TcpDisconnected() {
    if (phase_ != Phase::Connected) {
        return;
    }
    const uint64_t attempt = attempt_;
    if (tcp_->bytesAvailable() > 0) {
        if (!Notify([](ClientSocketHandler& h) { h.SocketRead(); }) || attempt != attempt_) {
            return;
        }
    }
    // A handler that reads in bounded pieces may have left some; it reads them while it handles
    // the close.
    unreadAtClose_ = tcp_->readAll();
    EndAttempt(false);
    if (Notify([](ClientSocketHandler& h) { h.SocketDisconnect(); })) {
        unreadAtClose_.clear();
    }
}

void QtClientSocket::TcpErrorOccurred(QAbstractSocket::SocketError error) {
    if (tcp_ == nullptr) {
        return;
    }
    const int32_t code = WinsockCodeOf(error, tcp_->errorString());
    if (phase_ == Phase::Connecting) {
        // A failed connect leaves the socket inactive without a disconnect notification.
        EndAttempt(false);
        RaiseError(TSocketErrorKind::Connect, code, "connect");
    } else if (phase_ == Phase::Connected && error != QAbstractSocket::RemoteHostClosedError) {
        // When Qt gives the connection up after this, its disconnected signal follows.
        const bool sending = tcp_->bytesToWrite() > 0;
        RaiseError(sending ? TSocketErrorKind::Send : TSocketErrorKind::Receive, code,
                   sending ? "send" : "recv");
    }
}

void QtClientSocket::EndAttempt(bool flushFirst) {
    ++attempt_;
    phase_ = Phase::Idle;
    connectTimer_.stop();
    AbandonLookup();
    RetireTcpSocket(flushFirst);
}

void QtClientSocket::AbandonLookup() {
    if (lookupId_ != -1) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
}

// A connection closed by this side still delivers the bytes already handed to it; anything else
// is dropped at once.
void QtClientSocket::RetireTcpSocket(bool flushFirst) {
    QTcpSocket* tcp = tcp_;
    tcp_ = nullptr;
    if (tcp == nullptr) {
        return;
    }
    tcp->disconnect(this);
    if (flushFirst && tcp->state() == QAbstractSocket::ConnectedState) {
        tcp->flush();
        tcp->disconnectFromHost();
    } else {
        tcp->abort();
    }
    if (tcp->state() == QAbstractSocket::UnconnectedState) {
        tcp->deleteLater();
        return;
    }
    connect(tcp, &QAbstractSocket::disconnected, tcp, &QObject::deleteLater);
    QTimer::singleShot(kDrainLimit, tcp, &QAbstractSocket::abort);
}

QTcpSocket* QtClientSocket::NewTcpSocket() {
    auto* tcp = new QTcpSocket(this);
    // The program reads no proxy settings from its environment.
    tcp->setProxy(QNetworkProxy::NoProxy);
    // Bounded, so that bytes the link is not ready for stay in the network and slow the server
    // down, instead of piling up here.
    tcp->setReadBufferSize(kReadBufferBytes);
    connect(tcp, &QAbstractSocket::connected, this, &QtClientSocket::TcpConnected);
    connect(tcp, &QIODevice::readyRead, this, &QtClientSocket::TcpReadyRead);
    connect(tcp, &QAbstractSocket::disconnected, this, &QtClientSocket::TcpDisconnected);
    connect(tcp, &QAbstractSocket::errorOccurred, this, &QtClientSocket::TcpErrorOccurred);
    return tcp;
}

// A handler that leaves the code set has not dealt with the error; the application's error
// handler gets it then, as it gets a failed lookup.
void QtClientSocket::RaiseError(TSocketErrorKind kind, int32_t code, const char* api) {
    int32_t unhandled = code;
    if (Notify([kind, &unhandled](ClientSocketHandler& h) { h.SocketError(kind, unhandled); }) &&
        unhandled != 0) {
        ReportLater(code, api);
    }
}

void QtClientSocket::ReportLater(int32_t code, const char* api) {
    if (!reportFailure_) {
        return;
    }
    const std::string text = FailureText(ErrorMessage(code), code, api);
    QTimer::singleShot(0, this, [this, text] { reportFailure_(text); });
}

bool QtClientSocket::AllClosed() const {
    for (const QTcpSocket* tcp : findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly)) {
        if (tcp->state() != QAbstractSocket::UnconnectedState) {
            return false;
        }
    }
    return true;
}

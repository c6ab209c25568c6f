#include "net/QtClientSocket.hpp"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include <QCryptographicHash>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

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
// How long a tunnel outlives a connection closed by this side, for its last bytes.
constexpr std::chrono::seconds kTunnelDrain{1};
// Received bytes Qt holds for the link at most; the network keeps the rest. A quarter of a MiB
// keeps the link fed (it reads 64 KiB at a time); with 4 MiB, the chunks Qt reads into took
// about 10 MB of fresh memory over a million-member login.
constexpr qint64 kReadBufferBytes = qint64{256} << 10;

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

std::string Sha256Of(const QSslCertificate& certificate) {
    return certificate.digest(QCryptographicHash::Sha256).toHex().toUpper().toStdString();
}

std::string NameText(const QSslCertificate& certificate, bool issuer) {
    const QString text = issuer ? certificate.issuerDisplayName() : certificate.subjectDisplayName();
    return text.toStdString();
}

PeerCertificate FactsOf(const QSslCertificate& certificate, const std::string& host, int32_t port) {
    PeerCertificate facts;
    facts.host = host;
    facts.port = port;
    facts.subject = NameText(certificate, false);
    facts.issuer = NameText(certificate, true);
    facts.validFrom = certificate.effectiveDate().toUTC().toString(Qt::ISODate).toStdString();
    facts.validUntil = certificate.expiryDate().toUTC().toString(Qt::ISODate).toStdString();
    facts.sha256 = Sha256Of(certificate);
    return facts;
}

std::string ProtocolName(QSsl::SslProtocol protocol) {
    switch (protocol) {
        case QSsl::TlsV1_2:
            return "TLS 1.2";
        case QSsl::TlsV1_3:
            return "TLS 1.3";
        default:
            return "TLS";
    }
}

// The system's authorities and the policy's file; a file that holds none is an error of its
// own, since it would silently trust less than the administrator meant.
bool TrustedAuthorities(const std::string& caFile, QList<QSslCertificate>& authorities, std::string& error) {
    authorities = QSslConfiguration::systemCaCertificates();
    if (caFile.empty()) {
        return true;
    }
    const QList<QSslCertificate> added = QSslCertificate::fromPath(QString::fromStdString(caFile));
    if (added.isEmpty()) {
        error = "The authority file " + caFile + " holds no PEM certificate, or cannot be read";
        return false;
    }
    authorities += added;
    return true;
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
    peerName_ = address.empty() ? host : address;
    protection_.clear();
    refused_.reset();
    refusal_ = 0;
    if (!ssh_.target.empty()) {
        BeginTunnel(peerName_);
    } else if (address.empty()) {
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
    if (IsLinkRefusal(code)) {
        return refusalText_;
    }
    return WinsockErrorText(code);
}

// The host is looked up by the SSH host, not here: it may have a name only that side knows.
void QtClientSocket::BeginTunnel(const std::string& host) {
    const uint64_t attempt = attempt_;
    tunnel_ = new SshTunnel(ssh_, host, port_, this);
    connect(tunnel_, &SshTunnel::Up, this, [this, attempt] {
        if (attempt == attempt_ && phase_ == Phase::LookingUp) {
            BeginConnect(QHostAddress(QHostAddress::LocalHost), tunnel_->LocalPort());
        }
    });
    connect(tunnel_, &SshTunnel::Failed, this,
            [this, attempt](const QString& words) { TunnelFailed(attempt, words); });
    std::string error;
    if (!tunnel_->Start(error)) {
        TunnelFailed(attempt, QString::fromStdString(error));
    }
}

void QtClientSocket::TunnelFailed(uint64_t attempt, const QString& words) {
    if (attempt != attempt_ || phase_ != Phase::LookingUp) {
        return;
    }
    refusalText_ = "No SSH tunnel through " + ssh_.target + ": " + words.toStdString();
    EndAttempt(false);
    RaiseError(TSocketErrorKind::Connect, LinkRefusal::TunnelFailed, "connect");
}

// A connection that still drains its last bytes keeps its tunnel until it is gone.
void QtClientSocket::RetireTunnel(QTcpSocket* drainingThrough) {
    SshTunnel* tunnel = tunnel_;
    tunnel_ = nullptr;
    if (tunnel == nullptr) {
        return;
    }
    tunnel->disconnect(this);
    if (drainingThrough != nullptr) {
        // The bytes already handed over still pass through ssh; a peer that never closes its
        // side must not keep the tunnel for the whole drain limit.
        const auto end = [tunnel] {
            tunnel->Stop();
            tunnel->deleteLater();
        };
        connect(drainingThrough, &QObject::destroyed, tunnel, end);
        QTimer::singleShot(kTunnelDrain, tunnel, end);
        return;
    }
    // Possibly inside one of the tunnel's own signals: ssh is told to end now, the object goes later.
    tunnel->Stop();
    tunnel->deleteLater();
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

void QtClientSocket::BeginConnect(const QHostAddress& address, quint16 port) {
    const uint64_t attempt = attempt_;
    phase_ = Phase::Connecting;
    if (!Notify([](ClientSocketHandler& h) { h.SocketConnecting(); }) || attempt != attempt_) {
        return;
    }
    connectTimer_.start(connectTimeout_);
    tcp_ = NewTcpSocket();
    if (!tls_.on) {
        tcp_->connectToHost(address, port);
        return;
    }
    QList<QSslCertificate> authorities;
    std::string error;
    if (!TrustedAuthorities(tls_.caFile, authorities, error)) {
        refusalText_ = error;
        EndAttempt(false);
        RaiseError(TSocketErrorKind::Connect, LinkRefusal::TlsFailed, "connect");
        return;
    }
    auto* ssl = static_cast<QSslSocket*>(tcp_.data());
    QSslConfiguration configuration = ssl->sslConfiguration();
    configuration.setCaCertificates(authorities);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    ssl->setSslConfiguration(configuration);
    // Connected by the address already looked up; the certificate is checked against the name.
    ssl->connectToHostEncrypted(address.toString(), port, QString::fromStdString(peerName_));
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
    if (tunnel_ != nullptr) {
        std::string through = tunnel_->Description();
        if (!protection_.empty()) {
            through.append("; ").append(protection_);
        }
        protection_ = std::move(through);
    }
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
    int32_t code = WinsockCodeOf(error, tcp_->errorString());
    if (tls_.on && phase_ == Phase::Connecting) {
        if (refusal_ != 0) {
            code = refusal_;
        } else if (error == QAbstractSocket::SslHandshakeFailedError ||
                   error == QAbstractSocket::SslInternalError ||
                   error == QAbstractSocket::SslInvalidUserDataError ||
                   error == QAbstractSocket::RemoteHostClosedError) {
            // Connected, then cut or answered in something other than TLS: never read as plain.
            refusalText_ = "No TLS connection could be made: " + tcp_->errorString().toStdString();
            code = LinkRefusal::TlsFailed;
        }
    }
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

void QtClientSocket::TlsEncrypted() {
    if (phase_ != Phase::Connecting || tcp_ == nullptr) {
        return;
    }
    auto* ssl = static_cast<QSslSocket*>(tcp_.data());
    const QSslCertificate certificate = ssl->peerCertificate();
    const auto pin = tls_.pins.find(EndpointKey(peerName_, port_));
    const bool pinned = pin != tls_.pins.end();
    if (pinned && pin->second != Sha256Of(certificate)) {
        // Verified or not: a pin means that certificate and no other.
        PeerCertificate facts = FactsOf(certificate, peerName_, port_);
        facts.reasons = "It is not the certificate accepted for this server.";
        NoteRefusal(LinkRefusal::CertificateChanged, std::move(facts));
        EndAttempt(false);
        RaiseError(TSocketErrorKind::Connect, LinkRefusal::CertificateChanged, "connect");
        return;
    }
    const QSslCipher cipher = ssl->sessionCipher();
    protection_ = ProtocolName(ssl->sessionProtocol()) + ", " + cipher.name().toStdString() +
                  (pinned ? ", certificate pinned (SHA-256 " + ColonFingerprint(pin->second) + ")"
                          : ", certificate verified for " + peerName_);
    TcpConnected();
}

// Qt reports every reason the certificate failed; the pin alone may set them aside.
void QtClientSocket::TlsErrors(const QList<QSslError>& errors) {
    if (phase_ != Phase::Connecting || tcp_ == nullptr) {
        return;
    }
    auto* ssl = static_cast<QSslSocket*>(tcp_.data());
    const QSslCertificate certificate = ssl->peerCertificate();
    const auto pin = tls_.pins.find(EndpointKey(peerName_, port_));
    if (!certificate.isNull() && pin != tls_.pins.end() && pin->second == Sha256Of(certificate)) {
        ssl->ignoreSslErrors(errors);
        return;
    }
    PeerCertificate facts = FactsOf(certificate, peerName_, port_);
    for (const QSslError& error : errors) {
        if (!facts.reasons.empty()) {
            facts.reasons.push_back('\n');
        }
        facts.reasons.append(error.errorString().toStdString());
    }
    // The errors are not ignored, so the handshake fails next, and its error carries this refusal.
    NoteRefusal(pin == tls_.pins.end() ? LinkRefusal::CertificateUnverified : LinkRefusal::CertificateChanged,
                std::move(facts));
}

void QtClientSocket::NoteRefusal(int32_t code, PeerCertificate certificate) {
    refusalText_ = code == LinkRefusal::CertificateChanged
                       ? "The server's certificate is not the one accepted for " +
                             EndpointKey(certificate.host, certificate.port) + " (now SHA-256 " +
                             ColonFingerprint(certificate.sha256) + "); refused"
                       : "The server's certificate is not trusted: " + certificate.reasons;
    refused_ = std::move(certificate);
    refusal_ = code;
}

void QtClientSocket::EndAttempt(bool flushFirst) {
    ++attempt_;
    phase_ = Phase::Idle;
    connectTimer_.stop();
    AbandonLookup();
    QTcpSocket* retired = tcp_;
    RetireTcpSocket(flushFirst);
    RetireTunnel(flushFirst ? retired : nullptr);
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
    QTcpSocket* tcp = nullptr;
    if (tls_.on) {
        auto* ssl = new QSslSocket(this);
        connect(ssl, &QSslSocket::encrypted, this, &QtClientSocket::TlsEncrypted);
        connect(ssl, &QSslSocket::sslErrors, this, &QtClientSocket::TlsErrors);
        tcp = ssl;
    } else {
        tcp = new QTcpSocket(this);
        connect(tcp, &QAbstractSocket::connected, this, &QtClientSocket::TcpConnected);
    }
    // The program reads no proxy settings from its environment.
    tcp->setProxy(QNetworkProxy::NoProxy);
    // Bounded, so that bytes the link is not ready for stay in the network and slow the server
    // down, instead of piling up here.
    tcp->setReadBufferSize(kReadBufferBytes);
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
    for (const SshTunnel* tunnel : findChildren<SshTunnel*>(Qt::FindDirectChildrenOnly)) {
        if (tunnel->Running()) {
            return false;
        }
    }
    for (const QTcpSocket* tcp : findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly)) {
        if (tcp->state() != QAbstractSocket::UnconnectedState) {
            return false;
        }
    }
    return true;
}

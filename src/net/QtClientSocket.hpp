#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <QByteArray>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QPointer>
#include <QSslError>
#include <QTcpSocket>
#include <QTimer>

#include "link/ClientSocket.hpp"
#include "net/SshTunnel.hpp"

// The link's socket over QTcpSocket. Qt's socket errors become the Windows Sockets numbers the
// link expects; a failed host-name lookup closes the socket and is reported through
// reportFailure (the application's error handler) from the event loop, after the disconnect
// notification, never as an exception.
//
// An attempt that neither connects nor fails ends after connectTimeout, in its lookup as in its
// connect. Unsent bytes are bounded by kMaxUnsentBytes: a peer that stops reading has the
// connection closed with a send error rather than the program's memory fill up. A connected
// socket notices a vanished peer within about two minutes of the first unanswered byte.
//
// With TLS on, the attempt's socket is a QSslSocket: the connect notification waits for the
// handshake, and a certificate that neither verifies nor matches its pin ends the attempt with
// one of LinkRefusal's numbers.
//
// With SSH on, every attempt first starts a tunnel of its own (SshTunnel) to the host and port as
// entered and connects to its loopback end; the tunnel ends with the attempt. A tunnel that
// fails ends the attempt with LinkRefusal::TunnelFailed and ssh's words.
//
// Every attempt gets a QTcpSocket of its own. Ending an attempt detaches its socket from this
// object at once, so nothing Qt still does with it (a graceful close that drains the bytes
// not yet sent, signals still being emitted) can reach the handler again.
class QtClientSocket final : public QObject, public ClientSocket {
    Q_OBJECT

public:
    using FailureReporter = std::function<void(const std::string& message)>;

    static constexpr qint64 kMaxUnsentBytes = qint64{16} << 20;
    // How long sent bytes may go unacknowledged, and an idle connection unprobed, before the
    // peer counts as gone.
    static constexpr std::chrono::seconds kDeadPeerLimit{120};

    explicit QtClientSocket(FailureReporter reportFailure = {},
                            std::chrono::milliseconds connectTimeout = std::chrono::seconds(30));
    ~QtClientSocket() override;

    // The reporter usually needs the window that owns this socket, which exists only later.
    void SetFailureReporter(FailureReporter reportFailure) { reportFailure_ = std::move(reportFailure); }

    void SetHandler(ClientSocketHandler* handler) override;
    void Open(const std::string& address, const std::string& host, int32_t port) override;
    bool Active() const override;
    void Close() override;
    void CloseEndpoint() override;
    std::string ReceiveText() override;
    std::string ReceiveTextUpTo(std::size_t maxBytes) override;
    void SendText(const std::string& bytes) override;
    void RequestWriteNotification() override;
    std::string ErrorMessage(int32_t code) const override;
    void SetTls(const TlsPolicy& policy) override { tls_ = policy; }
    void SetSsh(const SshPolicy& policy) override { ssh_ = policy; }
    std::string Protection() const override { return protection_; }
    std::optional<PeerCertificate> RefusedCertificate() const override { return refused_; }

    // Every attempt's socket has closed, those still draining their last bytes included.
    bool AllClosed() const;

private:
    enum class Phase { Idle, LookingUp, Connecting, Connected };

    void BeginTunnel(const std::string& host);
    void TunnelFailed(uint64_t attempt, const QString& words);
    void RetireTunnel(QTcpSocket* drainingThrough);
    void BeginLookup(const std::string& host);
    void HostLookedUp(uint64_t attempt, const QHostInfo& info);
    void FailLookup(int32_t code);
    void BeginConnect(const QHostAddress& address) { BeginConnect(address, port_); }
    void BeginConnect(const QHostAddress& address, quint16 port);
    void ConnectTimedOut();
    void FailSend(int32_t code);

    void TcpConnected();
    void TcpReadyRead();
    void TcpDisconnected();
    void TcpErrorOccurred(QAbstractSocket::SocketError error);
    void TlsEncrypted();
    void TlsErrors(const QList<QSslError>& errors);
    void NoteRefusal(int32_t code, PeerCertificate certificate);

    void EndAttempt(bool flushFirst);
    void AbandonLookup();
    void RetireTcpSocket(bool flushFirst);
    QTcpSocket* NewTcpSocket();

    void RaiseError(TSocketErrorKind kind, int32_t code, const char* api);
    void ReportLater(int32_t code, const char* api);
    template <typename Notification>
    bool Notify(Notification notification);

    ClientSocketHandler* handler_ = nullptr;
    FailureReporter reportFailure_;
    std::chrono::milliseconds connectTimeout_;
    Phase phase_ = Phase::Idle;
    // Counts attempts and their ends, so that a step resumed after a notification can tell
    // whether the handler has started or ended an attempt in the meantime.
    uint64_t attempt_ = 0;
    quint16 port_ = 0;
    int lookupId_ = -1;
    QPointer<QTcpSocket> tcp_;
    QTimer connectTimer_;
    int notificationDepth_ = 0;
    // What the peer sent before it closed and the handler had not read yet; readable until the
    // disconnect notification has been handled.
    QByteArray unreadAtClose_;

    TlsPolicy tls_;
    SshPolicy ssh_;
    QPointer<SshTunnel> tunnel_;
    // The name the certificate must carry: the host as entered, or the dotted address.
    std::string peerName_;
    std::string protection_;
    std::optional<PeerCertificate> refused_;
    int32_t refusal_ = 0;
    std::string refusalText_;
};

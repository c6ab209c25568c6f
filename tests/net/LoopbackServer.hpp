#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// The test's own peer on 127.0.0.1 at a port the system picks; it keeps every byte each
// accepted connection sends, and whether that connection has been closed by the client.
class LoopbackServer {
public:
    LoopbackServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] { AcceptAll(); });
    }
    // The accepted connections die with the server and signal while they do.
    ~LoopbackServer() {
        for (QTcpSocket* peer : server_.findChildren<QTcpSocket*>()) {
            peer->disconnect();
        }
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Listening() const { return server_.isListening(); }
    quint16 Port() const { return server_.serverPort(); }
    int Accepted() const { return accepted_; }
    QTcpSocket* Peer() const { return peer_; }
    const QByteArray& Received() const { return received_; }
    bool PeerClosed() const { return peerClosed_; }

    // A port on which nothing listens (a just-closed listening port).
    static quint16 ClosedPort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }

private:
    void AcceptAll() {
        while (QTcpSocket* peer = server_.nextPendingConnection()) {
            ++accepted_;
            peer_ = peer;
            received_.clear();
            peerClosed_ = false;
            QObject::connect(peer, &QIODevice::readyRead, [this, peer] {
                if (peer == peer_) {
                    received_ += peer->readAll();
                }
            });
            QObject::connect(peer, &QAbstractSocket::disconnected, [this, peer] {
                if (peer == peer_ && peer->isReadable()) {
                    received_ += peer->readAll();
                }
                if (peer == peer_) {
                    peerClosed_ = true;
                }
            });
        }
    }

    QTcpServer server_;
    QPointer<QTcpSocket> peer_;
    QByteArray received_;
    bool peerClosed_ = false;
    int accepted_ = 0;
};

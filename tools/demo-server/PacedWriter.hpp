#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>

class QTcpSocket;

// Writes to one socket, either at once or, to test a client's reassembly of lines cut by the
// network, in random pieces with short pauses between them. Order is kept in both modes.
class PacedWriter final : public QObject {
    Q_OBJECT

public:
    PacedWriter(QTcpSocket& socket, bool splitWrites, uint32_t seed, QObject* parent = nullptr);

    // splittable: whether these bytes may be cut into pieces (when splitting is on).
    void Write(const std::string& bytes, bool splittable);

    // Bytes accepted but not yet handed to the network by this writer or by the socket.
    int64_t PendingBytes() const;

    // Runs once everything accepted so far has been handed to the socket, or the socket is gone.
    void WhenDrained(std::function<void()> action);

private:
    void WriteNextPiece();
    void Drained();
    bool SocketConnected() const;

    QTcpSocket& socket_;
    bool splitWrites_;
    std::mt19937 draw_;
    std::deque<std::string> pieces_;
    int64_t queuedBytes_ = 0;
    QTimer pause_;
    std::function<void()> whenDrained_;
};

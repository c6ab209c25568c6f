#include "PacedWriter.hpp"

#include <algorithm>
#include <utility>

#include <QTcpSocket>

PacedWriter::PacedWriter(QTcpSocket& socket, bool splitWrites, uint32_t seed, QObject* parent)
    : QObject(parent), socket_(socket), splitWrites_(splitWrites), draw_(seed) {
    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &PacedWriter::WriteNextPiece);
    if (splitWrites_) {
        // Without this the kernel would merge the pieces again before they reach the client.
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
}

void PacedWriter::Write(const std::string& bytes, bool splittable) {
    if (!splitWrites_) {
        socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return;
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t remaining = bytes.size() - start;
        const std::size_t length =
            splittable ? 1 + draw_() % std::min<std::size_t>(remaining, 40) : remaining;
        pieces_.push_back(bytes.substr(start, length));
        queuedBytes_ += static_cast<int64_t>(length);
        start += length;
    }
    if (!pause_.isActive()) {
        pause_.start(0);
    }
}

int64_t PacedWriter::PendingBytes() const {
    return queuedBytes_ + socket_.bytesToWrite();
}

void PacedWriter::WhenDrained(std::function<void()> action) {
    whenDrained_ = std::move(action);
    if (pieces_.empty() || !SocketConnected()) {
        Drained();
    }
}

void PacedWriter::WriteNextPiece() {
    if (!SocketConnected()) {
        pieces_.clear();
        queuedBytes_ = 0;
        Drained();
        return;
    }
    const std::string piece = std::move(pieces_.front());
    pieces_.pop_front();
    queuedBytes_ -= static_cast<int64_t>(piece.size());
    socket_.write(piece.data(), static_cast<qint64>(piece.size()));
    socket_.flush();
    if (pieces_.empty()) {
        Drained();
        return;
    }
    // Mostly back to the event loop only; now and then a real pause so that pieces arrive apart.
    pause_.start(draw_() % 8 == 0 ? 1 : 0);
}

void PacedWriter::Drained() {
    if (whenDrained_) {
        std::exchange(whenDrained_, nullptr)();
    }
}

bool PacedWriter::SocketConnected() const {
    return socket_.state() == QAbstractSocket::ConnectedState;
}

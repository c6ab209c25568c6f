#include "Session.hpp"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#include "util/untCalc1.hpp"

namespace {

constexpr std::size_t kMaxLineBytes = 1024 * 1024;
// A client that reads nothing while reports pile up is dropped rather than allowed to grow the
// server's memory without limit.
constexpr int64_t kMaxPendingOutputBytes = 64 * 1024 * 1024;
constexpr int kCloseGraceMs = 5000;

}  // namespace

Session::Session(SessionId id, QTcpSocket* socket, const MemberStore& store, SessionOwner& owner,
                 const SessionConfig& config, QObject* parent)
    : QObject(parent),
      id_(id),
      socket_(socket),
      owner_(owner),
      config_(config),
      input_(kMaxLineBytes),
      dialogue_(store),
      writer_(new PacedWriter(*socket, config.splitWrites, config.seed + static_cast<uint32_t>(id), this)) {
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::readyRead, this, &Session::ReadLines);
    connect(socket_, &QTcpSocket::disconnected, this, &Session::SocketGone);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            SocketGone();
        }
    });
    Log(QStringLiteral("connected from %1").arg(QString::fromStdString(PeerText())));
    Write(LoginDialogue::Greeting(), false);
}

std::string Session::PeerText() const {
    return socket_->peerAddress().toString().toStdString() + ":" + std::to_string(socket_->peerPort());
}

void Session::SendLine(const std::string& line) {
    if (closed_) {
        return;
    }
    Write(line, true);
    ++reportLines_;
    if (writer_->PendingBytes() > kMaxPendingOutputBytes) {
        Log(QStringLiteral("dropped: the client does not read"));
        Close();
    } else if (config_.dropAfterLines > 0 && reportLines_ >= config_.dropAfterLines) {
        Log(QStringLiteral("dropped after %1 report lines").arg(reportLines_));
        Close();
    }
}

void Session::Close(bool reportLogout) {
    if (closed_) {
        return;
    }
    closed_ = true;
    owner_.SessionEnded(*this, reportLogout);
    writer_->WhenDrained([this] {
        socket_->disconnectFromHost();
        // A peer that never takes the last bytes must not keep the connection forever.
        QTimer::singleShot(kCloseGraceMs, socket_, [this] { socket_->abort(); });
    });
}

void Session::SendLines(const std::vector<std::string>& lines) {
    if (config_.verbose || config_.splitWrites || config_.dropAfterLines > 0) {
        for (const std::string& line : lines) {
            SendLine(line);
        }
        return;
    }
    // One write for the lot: a million-member list otherwise costs as many socket calls.
    std::string block;
    std::size_t size = 0;
    for (const std::string& line : lines) {
        size += line.size() + 2;
    }
    block.reserve(size);
    for (const std::string& line : lines) {
        block.append(line).append("\r\n");
    }
    if (closed_ || lines.empty()) {
        return;
    }
    writer_->Write(block, true);
    // Handed to the system now, not when the event loop next runs: a caller that sends a long
    // list in parts wants each part on its way while it makes the next.
    socket_->flush();
    reportLines_ += static_cast<int>(lines.size());
    if (writer_->PendingBytes() > kMaxPendingOutputBytes) {
        Log(QStringLiteral("dropped: the client does not read"));
        Close();
    }
}

void Session::Log(const QString& text) const {
    if (config_.verbose) {
        QTextStream(stderr) << "[" << id_ << "] " << text << Qt::endl;
    }
}

void Session::ReadLines() {
    input_.Append(socket_->readAll().toStdString());
    while (!closed_) {
        std::optional<std::string> line = input_.NextLine();
        if (!line) {
            break;
        }
        HandleLine(*line);
    }
    if (!closed_ && input_.Overflowed()) {
        Log(QStringLiteral("dropped: line longer than %1 bytes").arg(kMaxLineBytes));
        Close();
    }
}

void Session::HandleLine(const std::string& line) {
    Log(QStringLiteral("<- %1").arg(QString::fromStdString(line)));
    // The heartbeat is blank; an empty line, in contrast, may be a login dialogue's answer.
    const bool blank = Trim(line).empty();
    if (loggedIn_) {
        if (!blank) {
            owner_.SessionRequest(*this, line);
        }
        return;
    }
    if (!blank || line.empty()) {
        AnswerDialogue(line);
    }
}

void Session::AnswerDialogue(const std::string& line) {
    const LoginDialogue::Reply reply = dialogue_.Take(line);
    for (const std::string& answer : reply.lines) {
        Write(answer, false);
    }
    if (reply.outcome == LoginDialogue::Outcome::Refused) {
        Close();
    } else if (reply.outcome == LoginDialogue::Outcome::Granted) {
        loggedIn_ = true;
        owner_.SessionLoggedIn(*this);
    }
}

void Session::Write(const std::string& line, bool splittable) {
    // A million-member list would spend most of its time building log texts nobody reads.
    if (config_.verbose) {
        Log(QStringLiteral("-> %1").arg(QString::fromStdString(line)));
    }
    std::string framed;
    framed.reserve(line.size() + 2);
    framed.append(line).append("\r\n");
    writer_->Write(framed, splittable);
}

void Session::SocketGone() {
    Close();
    Log(QStringLiteral("disconnected"));
    deleteLater();
}

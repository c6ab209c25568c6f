#include "RawClient.hpp"

#include <QHostAddress>
#include <QTest>

RawClient::RawClient(uint16_t port) {
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { ReadLines(); });
    socket_.connectToHost(QHostAddress::LocalHost, port);
}

void RawClient::SendBytes(const std::string& bytes) {
    socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket_.flush();
}

bool RawClient::WaitForLine(const std::function<bool(const std::string&)>& match, int timeoutMs) {
    return QTest::qWaitFor(
        [&] {
            for (; nextUnmatched_ < lines_.size(); ++nextUnmatched_) {
                if (match(lines_[nextUnmatched_])) {
                    ++nextUnmatched_;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool RawClient::WaitForLine(const std::string& exact, int timeoutMs) {
    return WaitForLine([&](const std::string& line) { return line == exact; }, timeoutMs);
}

bool RawClient::LogIn(const std::string& login, const std::string& password) {
    if (!WaitForLine("send login:")) {
        return false;
    }
    Send(login);
    if (!WaitForLine("send password:")) {
        return false;
    }
    Send(password);
    return WaitForLine(":)");
}

bool RawClient::WaitClosed(int timeoutMs) {
    return QTest::qWaitFor([&] { return socket_.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

bool RawClient::ReadMemberList(std::vector<std::string>& memberTexts) {
    if (!WaitForLine("ARLS") || !WaitForLine("ARLC", 60000)) {
        return false;
    }
    memberTexts.clear();
    bool inList = false;
    for (const std::string& line : lines_) {
        if (line == "ARLS") {
            inList = true;
        } else if (line == "ARLC") {
            break;
        } else if (inList && line.rfind("ARLM:", 0) == 0) {
            memberTexts.push_back(line.substr(5));
        }
    }
    return true;
}

void RawClient::ReadLines() {
    const QByteArray bytes = socket_.readAll();
    input_.Append(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    while (auto line = input_.NextLine()) {
        lines_.push_back(std::move(*line));
    }
}

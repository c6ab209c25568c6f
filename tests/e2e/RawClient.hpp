#pragma once

#include <QByteArray>
#include <QTcpSocket>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "LineBuffer.hpp"

// A plain line client for the demo server: plays a second member next to the window, or an
// administrator who reads the server's own view of the accounts.
class RawClient {
public:
    explicit RawClient(uint16_t port);

    // One line, ended with CR as the client ends its lines.
    void Send(const std::string& line) { SendBytes(line + "\r"); }
    void SendBytes(const std::string& bytes);
    // Waits for a line, received since the last line this call matched, that satisfies match.
    bool WaitForLine(const std::function<bool(const std::string&)>& match, int timeoutMs = 20000);
    bool WaitForLine(const std::string& exact, int timeoutMs = 20000);
    bool LogIn(const std::string& login, const std::string& password);
    bool WaitClosed(int timeoutMs = 20000);
    bool Closed() const { return socket_.state() == QAbstractSocket::UnconnectedState; }
    void Close() { socket_.abort(); }

    // After an administrator's login: the member texts between "ARLS" and "ARLC".
    bool ReadMemberList(std::vector<std::string>& memberTexts);

private:
    void ReadLines();

    QTcpSocket socket_;
    LineBuffer input_{1024 * 1024};
    std::vector<std::string> lines_;
    size_t nextUnmatched_ = 0;
};

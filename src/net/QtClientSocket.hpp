#pragma once

#include <QObject>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

#include "link/ClientSocket.hpp"

// The link's socket over QTcpSocket. Qt's socket errors become the Windows Sockets numbers the
// link expects; a failed host-name lookup closes the socket and is reported through
// reportFailure (the application's error handler) from the event loop, after the disconnect
// notification, never as an exception.
class QtClientSocket final : public QObject, public ClientSocket {
    Q_OBJECT

public:
    using FailureReporter = std::function<void(const std::string& message)>;

    explicit QtClientSocket(FailureReporter reportFailure = {},
                            std::chrono::milliseconds connectTimeout = std::chrono::seconds(30));
    ~QtClientSocket() override;

    void SetHandler(ClientSocketHandler* handler) override;
    void Open(const std::string& address, const std::string& host, int32_t port) override;
    bool Active() const override;
    void Close() override;
    void CloseEndpoint() override;
    std::string ReceiveText() override;
    void SendText(const std::string& bytes) override;
    void RequestWriteNotification() override;
    std::string ErrorMessage(int32_t code) const override;
};

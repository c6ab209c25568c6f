#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <cstdint>

// The real demo server as a child process on 127.0.0.1. Start learns the port from the
// server's first line; the destructor kills a server still running.
class DemoServerProcess {
public:
    DemoServerProcess() = default;
    ~DemoServerProcess();
    DemoServerProcess(const DemoServerProcess&) = delete;
    DemoServerProcess& operator=(const DemoServerProcess&) = delete;

    // arguments come after "--port 0" unless they name a port themselves. False when the server
    // did not report that it listens.
    bool Start(const QStringList& arguments);
    void Kill();

    uint16_t Port() const { return port_; }
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    // What the server wrote to stderr so far (its log with --verbose).
    QByteArray Log();

private:
    QProcess process_;
    uint16_t port_ = 0;
    QByteArray log_;
};

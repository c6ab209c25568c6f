#pragma once

#include <cstdint>
#include <string>

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "link/LinkProtection.hpp"

// One "ssh -N -L" forward from a free port of 127.0.0.1 to host:port as the SSH host sees it.
// Up is signalled once ssh says the forward listens and the port does; Failed with ssh's own words when it
// ends before that. The ssh process ends with this object, and with the program even when the program is
// killed.
class SshTunnel final : public QObject {
    Q_OBJECT

public:
    SshTunnel(const SshPolicy& policy, const std::string& host, int32_t port, QObject* parent);
    ~SshTunnel() override;

    // False with the reason when no free port or no ssh command was found.
    bool Start(std::string& error);
    // Asks ssh to end; the object may go later.
    void Stop();
    quint16 LocalPort() const { return localPort_; }
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    std::string Description() const;
    // The ssh command line, for the log.
    QStringList Arguments() const { return arguments_; }

signals:
    void Up();
    void Failed(const QString& words);

private:
    void ReadDiagnostics();
    void Finished();
    void CheckListening();

    SshPolicy policy_;
    std::string host_;
    int32_t port_ = 0;
    quint16 localPort_ = 0;
    QProcess process_;
    QStringList arguments_;
    QByteArray diagnostics_;
    bool up_ = false;
    QTimer listenPoll_;
};

// "[USER@]HOST[:PORT]" as ssh's destination and "-p PORT"; the port only where it is a number.
QStringList SshDestination(const std::string& target);

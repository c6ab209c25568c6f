#pragma once

// A real sshd of the test's own on a free port of 127.0.0.1: a throwaway host key, a throwaway
// user key authorised in a file of its own, a known_hosts of its own, and the ssh command that
// uses exactly those (no user or system configuration).

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

class TestSshServer {
public:
    ~TestSshServer() { Stop(); }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    quint16 Port() const { return port_; }
    static QString User() {
        return QString::fromLocal8Bit(qgetenv("USER").isEmpty() ? "root" : qgetenv("USER"));
    }
    QString Target() const { return User() + "@127.0.0.1:" + QString::number(port_); }

    // keyPassphrase: the user key's passphrase (empty: none).
    bool Start(const QByteArray& keyPassphrase = {}) {
        // sshd wants its privilege separation directory; CI's container may lack it.
        QDir().mkpath(QStringLiteral("/run/sshd"));
        if (!Keygen("host_key", {}) || !Keygen("user_key", keyPassphrase) || !Keygen("other_key", {})) {
            return false;
        }
        QFile::copy(Path("user_key.pub"), Path("authorized_keys"));
        port_ = FreePort();
        const QByteArray hostKey = Read(Path("host_key.pub"));
        Write(Path("known_hosts"), "[127.0.0.1]:" + QByteArray::number(port_) + " " + hostKey);
        Write(Path("empty_known_hosts"), "");
        Write(Path("sshd_config"),
              QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile %3\n"
                             "AuthorizedKeysFile %4\nStrictModes no\nUsePAM no\n"
                             "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                             "PermitRootLogin prohibit-password\nAllowTcpForwarding yes\n"
                             "LogLevel ERROR\n")
                  .arg(port_)
                  .arg(Path("host_key"), Path("sshd.pid"), Path("authorized_keys"))
                  .toUtf8());
        sshd_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sshd_.start(QStringLiteral("/usr/sbin/sshd"), {"-D", "-e", "-f", Path("sshd_config")});
        if (!sshd_.waitForStarted()) {
            return false;
        }
        return QTest::qWaitFor(
                   [this] {
                       QTcpSocket probe;
                       probe.connectToHost(QHostAddress::LocalHost, port_);
                       return probe.waitForConnected(200) || sshd_.state() == QProcess::NotRunning;
                   },
                   20000) &&
               sshd_.state() == QProcess::Running;
    }

    void Stop() {
        if (sshd_.state() != QProcess::NotRunning) {
            sshd_.terminate();
            sshd_.waitForFinished(5000);
        }
    }

    // The ssh command with the test's own key and known_hosts.
    // strict: "yes" refuses an unknown host key, "ask" asks to confirm it.
    QString Command(const QString& key = QStringLiteral("user_key"),
                    const QString& knownHosts = QStringLiteral("known_hosts"),
                    const QString& strict = QStringLiteral("yes")) const {
        return QStringLiteral(
                   "ssh -F /dev/null -o UserKnownHostsFile=%1 -o GlobalKnownHostsFile=/dev/null "
                   "-o IdentityFile=%2 -o IdentitiesOnly=yes -o StrictHostKeyChecking=%3 "
                   "-o ConnectTimeout=20")
            .arg(Path(knownHosts), Path(key), strict);
    }

private:
    bool Keygen(const QString& name, const QByteArray& passphrase) {
        QProcess keygen;
        keygen.start(
            QStringLiteral("ssh-keygen"),
            {"-q", "-t", "ed25519", "-N", QString::fromUtf8(passphrase), "-f", Path(name), "-C", name});
        return keygen.waitForFinished(30000) && keygen.exitCode() == 0;
    }

    static quint16 FreePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void Write(const QString& path, const QByteArray& text) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(text);
        }
    }

    QTemporaryDir dir_;
    QProcess sshd_;
    quint16 port_ = 0;
};

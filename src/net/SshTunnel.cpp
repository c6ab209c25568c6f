#include "net/SshTunnel.hpp"

#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QProcessEnvironment>
#include <QTcpServer>

namespace {

// ssh says this (with -v) once the local end of the forward accepts connections.
constexpr char kListening[] = "Local forwarding listening on";
constexpr int kStopWaitMs = 2000;
constexpr int kListenPollMs = 5;

quint16 FreeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    return probe.serverPort();
}

// ssh's own words without its debugging chatter.
QString Words(const QByteArray& diagnostics) {
    QStringList kept;
    for (const QByteArray& line : diagnostics.split('\n')) {
        const QString text = QString::fromLocal8Bit(line).trimmed();
        // -v adds its chatter and the version; neither is what went wrong.
        if (!text.isEmpty() && !text.startsWith(QLatin1String("debug")) &&
            !text.startsWith(QLatin1String("OpenSSH_"))) {
            kept << text;
        }
    }
    return kept.isEmpty() ? QStringLiteral("ssh ended before the tunnel was up") : kept.join('\n');
}

// ssh says the forward listens a moment before it does; the kernel's table of listening sockets
// says when it really does, without a connection that the server would see come and go.
bool LoopbackPortListens(quint16 port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) {
        return true;  // nothing to ask: a connect refused is then reported as such
    }
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // sl, local_address, rem_address, st: 0A is LISTEN.
        if (fields.size() > 3 && fields[1] == local && fields[3] == "0A") {
            return true;
        }
    }
    return false;
}

}  // namespace

QStringList SshDestination(const std::string& target) {
    const QString text = QString::fromStdString(target).trimmed();
    const qsizetype colon = text.lastIndexOf(':');
    bool numeric = false;
    if (colon > 0) {
        text.mid(colon + 1).toUShort(&numeric);
    }
    if (!numeric) {
        return {text};
    }
    return {text.left(colon), QStringLiteral("-p"), text.mid(colon + 1)};
}

SshTunnel::SshTunnel(const SshPolicy& policy, const std::string& host, int32_t port, QObject* parent)
    : QObject(parent), policy_(policy), host_(host), port_(port) {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setStandardOutputFile(QProcess::nullDevice());
    // Killed with the program, however it ends: a tunnel must not outlive its client.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    connect(&process_, &QProcess::readyReadStandardError, this, &SshTunnel::ReadDiagnostics);
    listenPoll_.setInterval(kListenPollMs);
    connect(&listenPoll_, &QTimer::timeout, this, &SshTunnel::CheckListening);
    connect(&process_, &QProcess::finished, this, &SshTunnel::Finished);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && !up_) {
            emit Failed(QStringLiteral("%1 could not be started: %2")
                            .arg(process_.program(), process_.errorString()));
        }
    });
}

SshTunnel::~SshTunnel() {
    process_.disconnect(this);
    if (process_.state() == QProcess::NotRunning) {
        return;
    }
    process_.terminate();
    if (!process_.waitForFinished(kStopWaitMs)) {
        process_.kill();
        process_.waitForFinished(kStopWaitMs);
    }
}

bool SshTunnel::Start(std::string& error) {
    QStringList command = QString::fromStdString(policy_.command).split(' ', Qt::SkipEmptyParts);
    if (command.isEmpty()) {
        command << QStringLiteral("ssh");
    }
    localPort_ = FreeLoopbackPort();
    if (localPort_ == 0) {
        error = "no free port on 127.0.0.1 for the tunnel";
        return false;
    }
    const QString program = command.takeFirst();
    QStringList destination = SshDestination(policy_.target);
    arguments_ = command;
    arguments_
        << QStringLiteral("-v") << QStringLiteral("-N") << QStringLiteral("-L")
        << QStringLiteral("127.0.0.1:%1:%2:%3").arg(localPort_).arg(QString::fromStdString(host_)).arg(port_)
        << QStringLiteral("-o") << QStringLiteral("ExitOnForwardFailure=yes");
    if (policy_.batchMode) {
        arguments_ << QStringLiteral("-o") << QStringLiteral("BatchMode=yes");
    }
    if (destination.size() == 3) {
        arguments_ << destination[1] << destination[2];
    }
    // A destination that starts with "-" is no option.
    arguments_ << QStringLiteral("--") << destination[0];
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!policy_.askpassProgram.empty() && !policy_.batchMode) {
        environment.insert(QStringLiteral("SSH_ASKPASS"), QString::fromStdString(policy_.askpassProgram));
        environment.insert(QStringLiteral("SSH_ASKPASS_REQUIRE"), QStringLiteral("force"));
        environment.insert(QStringLiteral("KRV_ASKPASS"), QStringLiteral("1"));
    }
    process_.setProcessEnvironment(environment);
    process_.start(program, arguments_);
    return true;
}

void SshTunnel::Stop() {
    listenPoll_.stop();
    up_ = true;  // an end asked for is no failure to report
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
    }
}

std::string SshTunnel::Description() const {
    return "SSH tunnel through " + policy_.target + " (127.0.0.1:" + std::to_string(localPort_) + " to " +
           host_ + ":" + std::to_string(port_) + ")";
}

void SshTunnel::ReadDiagnostics() {
    diagnostics_ += process_.readAllStandardError();
    if (!up_ && !listenPoll_.isActive() && diagnostics_.contains(kListening)) {
        listenPoll_.start();
        CheckListening();
    }
    // Only what a failure needs to quote is kept.
    constexpr qsizetype kKeep = 64 * 1024;
    if (diagnostics_.size() > kKeep) {
        diagnostics_ = diagnostics_.right(kKeep);
    }
}

void SshTunnel::CheckListening() {
    if (up_ || !LoopbackPortListens(localPort_)) {
        return;
    }
    listenPoll_.stop();
    up_ = true;
    emit Up();
}

void SshTunnel::Finished() {
    listenPoll_.stop();
    diagnostics_ += process_.readAllStandardError();
    if (!up_) {
        emit Failed(Words(diagnostics_));
    }
}

#include "DemoServerProcess.hpp"

#include <QDeadlineTimer>

namespace {
constexpr int kStartTimeoutMs = 30000;
}

DemoServerProcess::~DemoServerProcess() {
    Kill();
}

bool DemoServerProcess::Start(const QStringList& arguments) {
    QStringList all = arguments;
    if (!all.contains(QStringLiteral("--port"))) {
        all = QStringList{QStringLiteral("--port"), QStringLiteral("0")} + all;
    }
    process_.start(QStringLiteral(KRV_DEMO_SERVER), all);
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        return false;
    }
    const QByteArray prefix = "listening on 127.0.0.1:";
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!process_.canReadLine()) {
        if (deadline.hasExpired() || !process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    const QByteArray line = process_.readLine().trimmed();
    if (!line.startsWith(prefix)) {
        return false;
    }
    bool ok = false;
    port_ = static_cast<uint16_t>(line.mid(prefix.size()).toUShort(&ok));
    return ok && port_ != 0;
}

void DemoServerProcess::Kill() {
    if (process_.state() == QProcess::NotRunning) {
        return;
    }
    process_.kill();
    process_.waitForFinished(kStartTimeoutMs);
}

QByteArray DemoServerProcess::Log() {
    log_ += process_.readAllStandardError();
    return log_;
}

#pragma once

// krvadmin run as a process by a test: how it ended and what it printed.

#include <QByteArray>
#include <QProcess>
#include <QTest>

struct Outcome {
    int status = -1;  // -1: killed after the wait; -2: it crashed
    QByteArray out;
    QByteArray err;
};

// Waits for the program's end while the test's own event loop keeps running; kills it after
// timeoutMs.
inline Outcome Finish(QProcess& process, int timeoutMs = 120000) {
    Outcome outcome;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return outcome;
    }
    outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

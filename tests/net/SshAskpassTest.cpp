// ssh asks through the client's own dialog (the client's askpass mode) on a real X server of the
// test's own (Xvfb): a host key to confirm, then the key's passphrase, typed with xdotool; the
// tunnel then comes up. A real sshd of the test's own answers on 127.0.0.1.

#include <functional>

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "net/SshTunnel.hpp"
#include "support/TestSshServer.hpp"

namespace {

constexpr int kWaitMs = 60000;

QByteArray Xdotool(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    xdotool.waitForFinished(10000);
    return xdotool.readAllStandardOutput().trimmed();
}

// Waits for a window of the client's dialogs to be shown, focuses it and types into it. False
// when none is shown, or when given up (the tunnel failed first).
bool TypeIntoDialog(
    const QStringList& keys, const std::function<bool()>& givenUp = [] { return false; }) {
    QByteArray window;
    if (!QTest::qWaitFor(
            [&] {
                window = Xdotool({"search", "--onlyvisible", "--name", "^SSH$"}).split('\n').value(0);
                return !window.isEmpty() || givenUp();
            },
            kWaitMs) ||
        window.isEmpty()) {
        return false;
    }
    Xdotool({"windowfocus", "--sync", QString::fromLatin1(window)});
    for (const QString& key : keys) {
        Xdotool(key.startsWith("type:") ? QStringList{"type", key.mid(5)} : QStringList{"key", key});
    }
    return QTest::qWaitFor(
        [&] {
            return Xdotool({"search", "--onlyvisible", "--name", "^SSH$"}) != window;
        },
        kWaitMs);
}

}  // namespace

class SshAskpassTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void aHostKeyConfirmedAndAPassphraseTypedBringTheTunnelUp();

private:
    QProcess xvfb_;
};

void SshAskpassTest::initTestCase() {
    xvfb_.start(QStringLiteral("Xvfb"),
                {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    QVERIFY(xvfb_.waitForStarted());
    QVERIFY(QTest::qWaitFor([this] { return xvfb_.canReadLine(); }, kWaitMs));
    const QByteArray display = ":" + xvfb_.readLine().trimmed();
    // For ssh and the dialogs it starts: the real X server, not the tests' offscreen platform.
    qputenv("DISPLAY", display);
    qputenv("QT_QPA_PLATFORM", "xcb");
}

void SshAskpassTest::cleanupTestCase() {
    xvfb_.terminate();
    xvfb_.waitForFinished();
}

void SshAskpassTest::aHostKeyConfirmedAndAPassphraseTypedBringTheTunnelUp() {
    TestSshServer ssh;
    QVERIFY2(ssh.Start("open sesame"), "sshd did not start");
    // Under the whole suite's load, sshd has now and then closed a connection before its greeting
    // ("kex_exchange_identification: Connection closed by remote host"; its cause is not known),
    // so that a question never came. Such an attempt is made again, each with a known_hosts of its
    // own so that the host key is asked every time: the questions and the tunnel they bring up
    // are what this test is about.
    QString lastFailure = QStringLiteral("no attempt made");
    bool tunnelUp = false;
    for (int attempt = 0; attempt < 3 && !tunnelUp; ++attempt) {
        const QString knownHosts = QStringLiteral("known_hosts_%1").arg(attempt);
        QFile empty(ssh.Path(knownHosts));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        SshPolicy policy;
        policy.target = ssh.Target().toStdString();
        policy.command = ssh.Command("user_key", knownHosts, "ask").toStdString();
        policy.askpassProgram = KRV_CLIENT;
        SshTunnel tunnel(policy, "127.0.0.1", ssh.Port(), nullptr);
        QSignalSpy up(&tunnel, &SshTunnel::Up);
        QSignalSpy failed(&tunnel, &SshTunnel::Failed);
        std::string error;
        QVERIFY(tunnel.Start(error));
        const auto gaveUp = [&] { return !failed.isEmpty(); };
        if (!TypeIntoDialog({"alt+y"}, gaveUp)) {
            lastFailure = QStringLiteral("no host key question");
            continue;
        }
        if (!TypeIntoDialog({"type:open sesame", "Return"}, gaveUp)) {
            lastFailure = QStringLiteral("no passphrase question");
            continue;
        }
        if (!QTest::qWaitFor([&] { return !up.isEmpty() || !failed.isEmpty(); }, kWaitMs) || up.isEmpty()) {
            lastFailure = failed.isEmpty() ? QStringLiteral("the tunnel never came up")
                                           : failed.first().first().toString();
            continue;
        }
        QFile known(ssh.Path(knownHosts));
        QVERIFY(known.open(QIODevice::ReadOnly));
        QVERIFY(known.readAll().contains("[127.0.0.1]:" + QByteArray::number(ssh.Port())));
        tunnelUp = true;
    }
    QVERIFY2(tunnelUp, qPrintable(lastFailure));
}

QTEST_GUILESS_MAIN(SshAskpassTest)
#include "SshAskpassTest.moc"

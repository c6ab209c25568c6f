// krvadmin through an SSH tunnel: a real sshd of the test's own on 127.0.0.1, the system's ssh
// with the test's own key and known_hosts, and the demo server behind it.

#include <signal.h>

#include <QDir>
#include <QProcess>
#include <QTest>

#include "DemoServerProcess.hpp"
#include "support/AdminProcess.hpp"
#include "support/TestSshServer.hpp"

namespace {

constexpr int kRunTimeoutMs = 120000;

QStringList Connection(uint16_t port, const TestSshServer& ssh, const QString& command) {
    return {"--host",    "127.0.0.1", "--port", QString::number(port), "--login",       "admin",
            "--timeout", "60",        "--ssh",  ssh.Target(),          "--ssh-command", command};
}

void Start(QProcess& process, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QStringLiteral("admin"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(KRV_ADMIN), arguments);
}

Outcome Run(const QStringList& arguments) {
    QProcess process;
    Start(process, arguments);
    return Finish(process, kRunTimeoutMs);
}

// The ssh clients whose command line names this test's folder (its known_hosts), by pid.
QList<qint64> TunnelsOf(const TestSshServer& ssh) {
    QList<qint64> found;
    const QByteArray mark = ssh.Path("known_hosts").toUtf8();
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        QFile commandLine("/proc/" + entry + "/cmdline");
        if (!numeric || !commandLine.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QList<QByteArray> words = commandLine.readAll().split('\0');
        if (!words.isEmpty() && (words.first() == "ssh" || words.first().endsWith("/ssh")) &&
            words.contains("UserKnownHostsFile=" + mark)) {
            found << pid;
        }
    }
    return found;
}

}  // namespace

class AdminSshTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void theListComesThroughTheTunnelWhichEndsWithTheProgram();
    void sshsOwnWordsWhenItCannotConnect_data();
    void sshsOwnWordsWhenItCannotConnect();
    void aServersRedirectGoesThroughANewTunnel();
    void aKilledProgramTakesItsTunnelAlong();

private:
    TestSshServer ssh_;
    DemoServerProcess server_;
};

void AdminSshTest::initTestCase() {
    QVERIFY2(ssh_.Start(), "sshd did not start");
    QVERIFY(server_.Start({"--members", "20"}));
}

void AdminSshTest::theListComesThroughTheTunnelWhichEndsWithTheProgram() {
    const Outcome listed =
        Run(Connection(server_.Port(), ssh_, ssh_.Command()) + QStringList{"list", "--format", "csv"});
    QCOMPARE(listed.status, 0);
    QCOMPARE(listed.out.count('\n'), 22);
    QTRY_VERIFY(TunnelsOf(ssh_).isEmpty());
}

void AdminSshTest::sshsOwnWordsWhenItCannotConnect_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("knownHosts");
    QTest::addColumn<QByteArray>("words");
    QTest::newRow("a key the server does not know") << "other_key"
                                                    << "known_hosts" << QByteArray("Permission denied");
    QTest::newRow("a host key nobody confirmed")
        << "user_key"
        << "empty_known_hosts" << QByteArray("Host key verification failed");
}

void AdminSshTest::sshsOwnWordsWhenItCannotConnect() {
    QFETCH(QString, key);
    QFETCH(QString, knownHosts);
    QFETCH(QByteArray, words);
    const Outcome refused =
        Run(Connection(server_.Port(), ssh_, ssh_.Command(key, knownHosts)) + QStringList{"list"});
    QCOMPARE(refused.status, 2);
    QVERIFY2(refused.err.contains("No SSH tunnel through " + ssh_.Target().toUtf8()),
             refused.err.constData());
    QVERIFY2(refused.err.contains(words), refused.err.constData());
    QVERIFY(!refused.err.contains("debug1"));
    QVERIFY(refused.out.isEmpty());
}

// "reconnect admin" makes the server order every connection of admin elsewhere ("SRE"); the
// watching one follows it through a tunnel of its own, the old one gone.
void AdminSshTest::aServersRedirectGoesThroughANewTunnel() {
    QProcess watch;
    Start(watch, Connection(server_.Port(), ssh_, ssh_.Command()) + QStringList{"watch"});
    QByteArray err;
    const auto stderrHas = [&](const QByteArray& text) {
        return QTest::qWaitFor(
            [&] {
                err += watch.readAllStandardError();
                return err.contains(text);
            },
            60000);
    };
    QVERIFY2(stderrHas("watching"), err.constData());
    const QList<qint64> first = TunnelsOf(ssh_);
    QCOMPARE(first.size(), 1);

    // The asking connection is one of admin's too, and is ordered away as well: its outcome says
    // nothing here.
    Run({"--host", "127.0.0.1", "--port", QString::number(server_.Port()), "--login", "admin", "reconnect",
         "admin"});
    QVERIFY2(stderrHas("connected again"), err.constData());
    QTRY_COMPARE(TunnelsOf(ssh_).size(), 1);
    QVERIFY(TunnelsOf(ssh_) != first);
    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    QVERIFY(watch.waitForFinished(30000));
    QTRY_VERIFY(TunnelsOf(ssh_).isEmpty());
}

void AdminSshTest::aKilledProgramTakesItsTunnelAlong() {
    QProcess watch;
    Start(watch, Connection(server_.Port(), ssh_, ssh_.Command()) + QStringList{"watch"});
    QByteArray err;
    QVERIFY(QTest::qWaitFor(
        [&] {
            err += watch.readAllStandardError();
            return err.contains("watching");
        },
        60000));
    QCOMPARE(TunnelsOf(ssh_).size(), 1);
    ::kill(static_cast<pid_t>(watch.processId()), SIGKILL);
    QVERIFY(watch.waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(TunnelsOf(ssh_).isEmpty(), 30000);
}

QTEST_GUILESS_MAIN(AdminSshTest)
#include "AdminSshTest.moc"

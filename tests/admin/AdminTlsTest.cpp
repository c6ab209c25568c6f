// krvadmin over TLS against the demo server serving certificates the test makes with openssl.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "DemoServerProcess.hpp"
#include "support/AdminProcess.hpp"
#include "support/TestCertificates.hpp"

namespace {

constexpr int kRunTimeoutMs = 300000;

// By name, so that the certificate's name is what is checked.
QStringList Connection(uint16_t port) {
    return {"--host", "localhost", "--port", QString::number(port), "--login", "admin", "--timeout", "60"};
}

Outcome Run(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QStringLiteral("admin"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KRV_ADMIN), arguments);
    return Finish(process, kRunTimeoutMs);
}

// The fingerprint line krvadmin prints for a refused certificate, after the "=".
QString PrintedFingerprint(const QByteArray& err) {
    const qsizetype at = err.indexOf("SHA256 Fingerprint=");
    if (at < 0) {
        return {};
    }
    const QByteArray rest = err.mid(at + 19);
    return QString::fromLatin1(rest.left(rest.indexOf('\n')));
}

}  // namespace

class AdminTlsTest : public QObject {
    Q_OBJECT

private slots:
    void aCertificateOfTheGivenAuthorityIsTakenWithoutAPin();
    void aSelfSignedCertificateIsRefusedUntilPinnedAndAnotherAfter();
    void aSavedServersWayAndPinAreUsed();
    void aPlainServerReachedAsTlsIsRefused();
    void aMillionMembersThroughTls();
    void aServersRedirectStaysOnTls();
};

void AdminTlsTest::aCertificateOfTheGivenAuthorityIsTakenWithoutAPin() {
    TestCertificates certificates;
    QVERIFY(certificates.MakeAuthorityAndSigned("server"));
    DemoServerProcess server;
    QVERIFY(server.Start(QStringList{"--members", "20"} + certificates.ServerArguments("server")));

    const Outcome trusted = Run(Connection(server.Port()) + QStringList{"list", "--format", "csv", "--tls-ca",
                                                                        certificates.Path("ca.pem")});
    QCOMPARE(trusted.status, 0);
    QCOMPARE(trusted.out.count('\n'), 22);

    // Without the authority nothing vouches for it; the address is not the name it carries.
    const Outcome unknown = Run(Connection(server.Port()) + QStringList{"list", "--tls"});
    QCOMPARE(unknown.status, 2);
    QVERIFY2(unknown.err.contains("not trusted"), unknown.err.constData());
    QCOMPARE(PrintedFingerprint(unknown.err), certificates.Fingerprint("server").toUpper());
    QVERIFY(unknown.out.isEmpty());

    QStringList byAddress = Connection(server.Port());
    byAddress[1] = QStringLiteral("127.0.0.1");
    const Outcome wrongName = Run(byAddress + QStringList{"list", "--tls-ca", certificates.Path("ca.pem")});
    QCOMPARE(wrongName.status, 2);
    QVERIFY2(wrongName.err.contains("host name did not match"), wrongName.err.constData());
}

void AdminTlsTest::aSelfSignedCertificateIsRefusedUntilPinnedAndAnotherAfter() {
    TestCertificates certificates;
    QVERIFY(certificates.MakeSelfSigned("first"));
    QVERIFY(certificates.MakeSelfSigned("second"));
    QString pin;
    {
        DemoServerProcess server;
        QVERIFY(server.Start(QStringList{"--members", "5"} + certificates.ServerArguments("first")));
        const Outcome refused = Run(Connection(server.Port()) + QStringList{"list", "--tls"});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains("self-signed"), refused.err.constData());
        pin = PrintedFingerprint(refused.err);
        QCOMPARE(pin, certificates.Fingerprint("first").toUpper());

        // Written without colons in small letters, as some tools print it.
        const QString plainPin = pin.toLower().remove(':');
        const Outcome pinned = Run(Connection(server.Port()) +
                                   QStringList{"list", "--format", "csv", "--tls-fingerprint", plainPin});
        QCOMPARE(pinned.status, 0);
        QCOMPARE(pinned.out.count('\n'), 7);
    }
    DemoServerProcess replaced;
    QVERIFY(replaced.Start(QStringList{"--members", "5"} + certificates.ServerArguments("second")));
    const Outcome changed = Run(Connection(replaced.Port()) + QStringList{"list", "--tls-fingerprint", pin});
    QCOMPARE(changed.status, 2);
    QVERIFY2(changed.err.contains("not the one accepted"), changed.err.constData());
    QCOMPARE(PrintedFingerprint(changed.err), certificates.Fingerprint("second").toUpper());
    QVERIFY(changed.out.isEmpty());

    const Outcome malformed =
        Run(Connection(replaced.Port()) + QStringList{"list", "--tls-fingerprint", "AB:CD"});
    QCOMPARE(malformed.status, 64);
}

void AdminTlsTest::aSavedServersWayAndPinAreUsed() {
    TestCertificates certificates;
    QVERIFY(certificates.MakeSelfSigned("server"));
    DemoServerProcess server;
    QVERIFY(server.Start(QStringList{"--members", "3"} + certificates.ServerArguments("server")));
    const QString settings = certificates.Path("krvClientA.ini");
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString endpoint = "localhost:" + QString::number(server.Port());
    file.write(
        QStringLiteral("[Server: lab]\nHost=localhost\nPort=%1\nLogin=admin\nReach=tls\nTlsPins=%2=%3\n")
            .arg(server.Port())
            .arg(endpoint, certificates.Fingerprint("server"))
            .toUtf8());
    file.close();
    const Outcome saved = Run({"--settings", settings, "--server", "lab", "list", "--format", "csv"});
    QCOMPARE(saved.status, 0);
    QCOMPARE(saved.out.count('\n'), 5);
}

void AdminTlsTest::aPlainServerReachedAsTlsIsRefused() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    const Outcome refused = Run(Connection(server.Port()) + QStringList{"list", "--tls"});
    QCOMPARE(refused.status, 2);
    QVERIFY2(refused.err.contains("No TLS connection"), refused.err.constData());
    // Not one member line: nothing was read as plain text.
    QVERIFY(refused.out.isEmpty());
}

void AdminTlsTest::aMillionMembersThroughTls() {
    TestCertificates certificates;
    QVERIFY(certificates.MakeAuthorityAndSigned("server"));
    DemoServerProcess server;
    QVERIFY(server.Start(QStringList{"--members", "1000000"} + certificates.ServerArguments("server")));
    const Outcome listed = Run(Connection(server.Port()) + QStringList{"list", "--format", "csv", "--tls-ca",
                                                                       certificates.Path("ca.pem")});
    QCOMPARE(listed.status, 0);
    QCOMPARE(listed.out.count('\n'), 1000002);
}

// "reconnect admin" orders every connection of admin elsewhere ("SRE"); the watching one follows
// it over TLS again, its certificate checked against the pin once more.
void AdminTlsTest::aServersRedirectStaysOnTls() {
    TestCertificates certificates;
    QVERIFY(certificates.MakeSelfSigned("server"));
    DemoServerProcess server;
    QVERIFY(server.Start(QStringList{"--members", "3"} + certificates.ServerArguments("server")));
    QProcess watch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QStringLiteral("admin"));
    watch.setProcessEnvironment(environment);
    watch.start(QStringLiteral(KRV_ADMIN),
                Connection(server.Port()) +
                    QStringList{"--tls-fingerprint", certificates.Fingerprint("server"), "watch"});
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
    // The asking connection is ordered away too: its outcome says nothing here.
    Run(Connection(server.Port()) +
        QStringList{"--tls-fingerprint", certificates.Fingerprint("server"), "reconnect", "admin"});
    QVERIFY2(stderrHas("connected again"), err.constData());
    watch.terminate();
    QVERIFY(watch.waitForFinished(30000));
}

QTEST_GUILESS_MAIN(AdminTlsTest)
#include "AdminTlsTest.moc"

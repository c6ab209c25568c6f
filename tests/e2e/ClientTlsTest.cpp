// The window over TLS against the demo server, with certificates the test makes with openssl:
// what the administrator is shown, what is pinned, and what is refused.

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "DemoServerProcess.hpp"
#include "ModalDriver.hpp"
#include "session/ConnectionLog.hpp"
#include "support/TcpWindow.hpp"
#include "support/TestCertificates.hpp"

namespace {

QMessageBox* VisibleBox(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(name) && widget->isVisible()) {
            return qobject_cast<QMessageBox*>(widget);
        }
    }
    return nullptr;
}

bool LogHas(const TfrmKrvClientA& window, const std::string& name, const std::string& part) {
    for (const ConnectionLogEntry& entry : window.Log().Entries()) {
        if (entry.name == name && entry.text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

class ClientTlsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void aSelfSignedCertificateIsShownAcceptedAndPinned();
    void aCertificateOtherThanThePinnedOneIsRefusedAndNotRetried();
    void aCertificateOfTheFilesAuthorityNeedsNoQuestion();
    void aPlainServerIsNeverReadAsPlainText();

private:
    void WriteSettings(const QString& reachKeys);
    void StartServer(const QStringList& arguments);
    void Connect();
    QString Panel(int index) const;
    int Rows() const;
    QByteArray SettingsText() const;

    std::unique_ptr<TestCertificates> certificates_;
    std::unique_ptr<DemoServerProcess> server_;
    std::unique_ptr<TfrmKrvClientA> window_;
    ModalDriver modal_;
};

void ClientTlsTest::init() {
    certificates_ = std::make_unique<TestCertificates>();
    server_ = std::make_unique<DemoServerProcess>();
}

void ClientTlsTest::cleanup() {
    window_.reset();
    server_.reset();
    certificates_.reset();
}

void ClientTlsTest::StartServer(const QStringList& arguments) {
    QVERIFY2(server_->Start(QStringList{"--members", "5"} + arguments), "the demo server did not start");
}

// By name, as the certificates carry it.
void ClientTlsTest::WriteSettings(const QString& reachKeys) {
    QFile settings(certificates_->Path("krvClientA.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[Client]\nHost=localhost\nPort=%1\nLogin=admin\nPassword=?admin\n%2")
                       .arg(server_->Port())
                       .arg(reachKeys)
                       .toUtf8());
}

void ClientTlsTest::Connect() {
    window_ = OpenTcpWindow(certificates_->Path("krvClientA.ini"));
    window_->show();
    modal_.OnNextModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
    window_->findChild<QToolButton*>(QStringLiteral("btConnect"))->click();
    QTRY_VERIFY(modal_.Handled());
}

QString ClientTlsTest::Panel(int index) const {
    return window_->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(index))->text();
}

int ClientTlsTest::Rows() const {
    return window_->findChild<QAbstractItemView*>(QStringLiteral("ListView1"))->model()->rowCount();
}

QByteArray ClientTlsTest::SettingsText() const {
    QFile settings(certificates_->Path("krvClientA.ini"));
    return settings.open(QIODevice::ReadOnly) ? settings.readAll() : QByteArray();
}

void ClientTlsTest::aSelfSignedCertificateIsShownAcceptedAndPinned() {
    QVERIFY(certificates_->MakeSelfSigned("server"));
    StartServer(certificates_->ServerArguments("server"));
    WriteSettings(QStringLiteral("Reach=tls\n"));
    Connect();

    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = VisibleBox("certificateBox")) != nullptr);
    const QString fingerprint = certificates_->Fingerprint("server").toUpper();
    QVERIFY2(box->informativeText().contains(fingerprint), qPrintable(box->informativeText()));
    QVERIFY(box->informativeText().contains(QStringLiteral("Subject: localhost")));
    QCOMPARE(Rows(), 0);
    box->findChild<QPushButton*>(QStringLiteral("btAcceptCertificate"))->click();

    const QString loggedIn = QStringLiteral("localhost:%1 - logged in as admin").arg(server_->Port());
    QTRY_COMPARE(Panel(2), loggedIn);
    QTRY_COMPARE(Rows(), 6);
    QVERIFY(window_->findChild<QLabel*>(QStringLiteral("StatusPanel2"))
                ->toolTip()
                .startsWith("Encrypted: TLS 1."));
    QVERIFY(LogHas(*window_, "Protection", "certificate pinned"));
    const QByteArray pin = QByteArray("TlsPins=localhost:") + QByteArray::number(server_->Port()) + "=" +
                           fingerprint.toLatin1().replace(":", "");
    QVERIFY2(SettingsText().contains(pin), SettingsText().constData());

    // Accepted once: the next start connects without asking.
    window_.reset();
    Connect();
    QTRY_COMPARE(Panel(2), loggedIn);
    QVERIFY(VisibleBox("certificateBox") == nullptr);
}

void ClientTlsTest::aCertificateOtherThanThePinnedOneIsRefusedAndNotRetried() {
    QVERIFY(certificates_->MakeSelfSigned("accepted"));
    QVERIFY(certificates_->MakeSelfSigned("replacement"));
    StartServer(certificates_->ServerArguments("replacement"));
    WriteSettings(QStringLiteral("Reach=tls\nReconnectOn=1\nTlsPins=localhost:%1=%2\n")
                      .arg(server_->Port())
                      .arg(certificates_->Fingerprint("accepted")));
    Connect();

    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = VisibleBox("linkRefusalBox")) != nullptr);
    QVERIFY2(box->text().contains(QStringLiteral("not the one accepted")), qPrintable(box->text()));
    QVERIFY(box->informativeText().contains(certificates_->Fingerprint("replacement").toUpper()));
    QVERIFY(VisibleBox("certificateBox") == nullptr);
    QVERIFY(LogHas(*window_, "Error", "not the one accepted"));
    // Nothing planned: the schedule does not take it for a lost connection.
    QVERIFY(!window_->Session().Link().TimeUntilDue().has_value());
    QCOMPARE(Rows(), 0);
    box->close();
}

void ClientTlsTest::aCertificateOfTheFilesAuthorityNeedsNoQuestion() {
    QVERIFY(certificates_->MakeAuthorityAndSigned("server"));
    StartServer(certificates_->ServerArguments("server"));
    WriteSettings(QStringLiteral("Reach=tls\nTlsCaFile=%1\n").arg(certificates_->Path("ca.pem")));
    Connect();
    QTRY_COMPARE(Panel(2), QStringLiteral("localhost:%1 - logged in as admin").arg(server_->Port()));
    QTRY_COMPARE(Rows(), 6);
    QVERIFY(LogHas(*window_, "Protection", "certificate verified for localhost"));
    QVERIFY(VisibleBox("certificateBox") == nullptr);
}

void ClientTlsTest::aPlainServerIsNeverReadAsPlainText() {
    StartServer({});
    WriteSettings(QStringLiteral("Reach=tls\n"));
    Connect();
    QMessageBox* box = nullptr;
    QTRY_VERIFY((box = VisibleBox("linkRefusalBox")) != nullptr);
    QVERIFY2(box->text().contains(QStringLiteral("No TLS connection")), qPrintable(box->text()));
    QCOMPARE(Rows(), 0);
    QVERIFY(!LogHas(*window_, "Read", "login"));
    box->close();
}

QTEST_MAIN(ClientTlsTest)
#include "ClientTlsTest.moc"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <optional>

#include "DemoServerProcess.hpp"
#include "ModalDriver.hpp"
#include "keyring/QtKeychainKeyring.hpp"
#include "session/ConnectionLog.hpp"
#include "settings/IniStore.hpp"
#include "settings/SavedServers.hpp"
#include "settings/StoredSettings.hpp"
#include "support/TcpWindow.hpp"

// Against a real Secret Service: gnome-keyring-daemon on a private session bus, over a home
// folder of its own (tests/keyring/with-keyring.sh). The slots run in order; the last locks
// the keyring, which nothing can unlock without a display.
class KeyringTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void savedAndReadBack();
    void theSameLoginOnTwoHostsIsTwoEntries();
    void aScrambledPasswordMovesToTheKeyringAndTheClientStillLogsIn();
    void aNewRunReadsThePasswordFromTheKeyring();
    void krvadminServerReadsTheKeyring();
    void thePasswordIsInNoFileTheProgramsWrote();
    void aFileAskedToKeepThePasswordGetsItBackFromTheKeyring();
    void aLockedKeyringAsksAtConnectAndWritesNothing();

private:
    // Waits for the keyring's answer.
    static std::optional<PasswordKeyring::Answer> Read(const std::string& key);
    static bool Write(const std::string& key, const std::string& password);
    void WriteTodaysFile(const QString& path, const std::string& passwordValue) const;
    void ConnectAccepting(TfrmKrvClientA& window, const QString& expectedPassword, const QString& typed = {});
    void WaitLoggedIn(TfrmKrvClientA& window) const;
    static bool LogSays(const TfrmKrvClientA& window, const std::string& words);
    QString SettingsPath() const { return settingsDir_.filePath(QStringLiteral("krvClientA.ini")); }

    static constexpr const char* kPassword = "S3cr3t-kr";
    QTemporaryDir settingsDir_;
    DemoServerProcess server_;
    ModalDriver modal_;
};

std::optional<PasswordKeyring::Answer> KeyringTest::Read(const std::string& key) {
    QtKeychainKeyring keyring;
    std::optional<PasswordKeyring::Answer> answer;
    keyring.Read(key, [&](const PasswordKeyring::Answer& got) { answer = got; });
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return answer.has_value(); }, 20000);
    return answer;
}

bool KeyringTest::Write(const std::string& key, const std::string& password) {
    QtKeychainKeyring keyring;
    std::optional<PasswordKeyring::Answer> answer;
    keyring.Write(key, password, [&](const PasswordKeyring::Answer& got) { answer = got; });
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return answer.has_value(); }, 20000);
    return answer && answer->outcome == PasswordKeyring::Outcome::Done;
}

void KeyringTest::initTestCase() {
    // Never the keyring of a user of this machine.
    const QByteArray scratch = qgetenv("KRV_KEYRING_SCRATCH");
    QVERIFY2(!scratch.isEmpty(), "run through tests/keyring/with-keyring.sh under dbus-run-session");
    QVERIFY(qgetenv("HOME").startsWith(scratch));
    QVERIFY(qgetenv("XDG_DATA_HOME").startsWith(scratch));
    QVERIFY(QtKeychainKeyring().Present());
    QVERIFY(settingsDir_.isValid());
    QVERIFY2(server_.Start({"--members", "10", "--admin", QStringLiteral("admin:%1").arg(kPassword)}),
             "the demo server did not start");
}

void KeyringTest::cleanup() {
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void KeyringTest::savedAndReadBack() {
    // Bytes as the wire has them, not only UTF-8.
    const std::string password = "pa ss\xe9\x01word";
    QVERIFY(Write("admin@a.test:1", password));
    const auto answer = Read("admin@a.test:1");
    QVERIFY(answer.has_value());
    QCOMPARE(answer->outcome, PasswordKeyring::Outcome::Done);
    QCOMPARE(answer->password, password);
    QCOMPARE(Read("admin@a.test:2")->outcome, PasswordKeyring::Outcome::NotFound);

    QtKeychainKeyring keyring;
    std::optional<PasswordKeyring::Answer> erased;
    keyring.Erase("admin@a.test:1", [&](const PasswordKeyring::Answer& got) { erased = got; });
    QTRY_VERIFY(erased.has_value());
    QCOMPARE(erased->outcome, PasswordKeyring::Outcome::Done);
    QCOMPARE(Read("admin@a.test:1")->outcome, PasswordKeyring::Outcome::NotFound);
}

void KeyringTest::theSameLoginOnTwoHostsIsTwoEntries() {
    QVERIFY(Write(ConnectionKey("admin", "one.test", 7000), "first"));
    QVERIFY(Write(ConnectionKey("admin", "two.test", 7000), "second"));
    QCOMPARE(Read(ConnectionKey("admin", "one.test", 7000))->password, std::string("first"));
    QCOMPARE(Read(ConnectionKey("admin", "two.test", 7000))->password, std::string("second"));
}

void KeyringTest::WriteTodaysFile(const QString& path, const std::string& passwordValue) const {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("[Client]\nHost=127.0.0.1\nPort=%1\nLogin=admin\nPassword=")
                   .arg(server_.Port())
                   .toLatin1() +
               QByteArray::fromStdString(passwordValue) + "\n");
}

bool KeyringTest::LogSays(const TfrmKrvClientA& window, const std::string& words) {
    for (const ConnectionLogEntry& entry : window.Log().Entries()) {
        if (entry.text.find(words) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void KeyringTest::ConnectAccepting(TfrmKrvClientA& window, const QString& expectedPassword,
                                   const QString& typed) {
    QString shown = QStringLiteral("(not shown)");
    modal_.OnNextModal([&shown, typed](QWidget* dialog) {
        shown = ModalDriver::Field(dialog, "edPassword");
        if (!typed.isEmpty()) {
            ModalDriver::SetField(dialog, "edPassword", typed);
        }
        ModalDriver::ClickButton(dialog, "Button1");
    });
    window.findChild<QToolButton*>(QStringLiteral("btConnect"))->click();
    // The dialog opens from the keyring's answer, after the click has returned.
    QTRY_VERIFY_WITH_TIMEOUT(modal_.Handled(), 20000);
    QCOMPARE(shown, expectedPassword);
}

void KeyringTest::WaitLoggedIn(TfrmKrvClientA& window) const {
    const QString loggedIn = QStringLiteral("127.0.0.1:%1 - logged in as admin").arg(server_.Port());
    QTRY_COMPARE_WITH_TIMEOUT(window.findChild<QLabel*>(QStringLiteral("StatusPanel2"))->text(), loggedIn,
                              20000);
}

void KeyringTest::aScrambledPasswordMovesToTheKeyringAndTheClientStillLogsIn() {
    WriteTodaysFile(SettingsPath(), ScrambledPassword(kPassword));
    auto window = OpenTcpWindow(SettingsPath());
    window->show();
    window->UseKeyring(std::make_unique<QtKeychainKeyring>());
    QCOMPARE(window->KeyringStatus(), KeyringState::Usable);
    QTRY_VERIFY_WITH_TIMEOUT(LogSays(*window, "moved from the settings file to the keyring"), 20000);

    IniStore file(SettingsPath().toStdString());
    QVERIFY(file.Load());
    QCOMPARE(file.ReadString(kClientSection, "Password", "?"), std::string());
    const std::string key = ConnectionKey("admin", "127.0.0.1", server_.Port());
    QCOMPARE(Read(key)->password, std::string(kPassword));

    ConnectAccepting(*window, QString::fromLatin1(kPassword));
    WaitLoggedIn(*window);
    window->close();
    QVERIFY(file.Load());
    QCOMPARE(file.ReadString(kClientSection, "Password", "?"), std::string());
}

void KeyringTest::aNewRunReadsThePasswordFromTheKeyring() {
    auto window = OpenTcpWindow(SettingsPath());
    window->show();
    QCOMPARE(window->Session().Link().Password(), std::string());
    window->UseKeyring(std::make_unique<QtKeychainKeyring>());
    ConnectAccepting(*window, QString::fromLatin1(kPassword));
    WaitLoggedIn(*window);
    window->close();
}

void KeyringTest::krvadminServerReadsTheKeyring() {
    IniStore file(SettingsPath().toStdString());
    QVERIFY(file.Load());
    SavedServer demo = ServerFromSettings("Demo", ReadStoredSettings(file));
    QVERIFY(WriteSavedServer(file, demo));
    QVERIFY(file.Save());

    QProcess admin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("KRVADMIN_PASSWORD"));
    admin.setProcessEnvironment(environment);
    admin.setStandardInputFile(QProcess::nullDevice());
    admin.start(QStringLiteral(KRV_ADMIN), {"--settings", SettingsPath(), "--server", "demo", "list"});
    QVERIFY(admin.waitForFinished(60000));
    const QByteArray errors = admin.readAllStandardError();
    QVERIFY2(admin.exitStatus() == QProcess::NormalExit && admin.exitCode() == 0, errors.constData());
    QVERIFY(admin.readAllStandardOutput().contains("admin"));
}

void KeyringTest::thePasswordIsInNoFileTheProgramsWrote() {
    const QByteArray plain(kPassword);
    const QByteArray scrambled = QByteArray::fromStdString(ScrambledPassword(kPassword));
    QStringList searched;
    for (const QString& folder : {settingsDir_.path(), QString::fromLocal8Bit(qgetenv("HOME"))}) {
        QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY2(!bytes.contains(plain) && !bytes.contains(scrambled), qPrintable(file.fileName()));
            searched << file.fileName();
        }
    }
    QVERIFY(searched.contains(SettingsPath()));
}

// The documented way back: "PasswordInFile=1" in the "Client" section.
void KeyringTest::aFileAskedToKeepThePasswordGetsItBackFromTheKeyring() {
    const std::string password = "back-to-the-file";
    QVERIFY(Write(ConnectionKey("other", "127.0.0.1", server_.Port()), password));
    const QString path = settingsDir_.filePath(QStringLiteral("back.ini"));
    QFile today(path);
    QVERIFY(today.open(QIODevice::WriteOnly));
    today.write(
        QStringLiteral("[Client]\nHost=127.0.0.1\nPort=%1\nLogin=other\nPassword=\nPasswordInFile=1\n")
            .arg(server_.Port())
            .toLatin1());
    today.close();
    auto window = OpenTcpWindow(path);
    window->UseKeyring(std::make_unique<QtKeychainKeyring>());
    QTRY_COMPARE_WITH_TIMEOUT(window->Session().Link().Password(), password, 20000);
    IniStore file(path.toStdString());
    QTRY_VERIFY_WITH_TIMEOUT(file.Load() && ReadStoredSettings(file).password == password, 20000);
    QVERIFY(file.ReadString(kClientSection, "Password", "") == ScrambledPassword(password));
    // From then on the file alone keeps it: a password typed at connect replaces it there.
    window->Session().SetCredentials("other", "typed-later");
    window->close();
    QVERIFY(file.Load());
    QCOMPARE(ReadStoredSettings(file).password, std::string("typed-later"));
    QCOMPARE(Read(ConnectionKey("other", "127.0.0.1", server_.Port()))->password, password);
}

void KeyringTest::aLockedKeyringAsksAtConnectAndWritesNothing() {
    // Plain messages: an interface object would introspect the service for nothing.
    auto serviceCall = [](const QString& method) {
        return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
                                              QStringLiteral("/org/freedesktop/secrets"),
                                              QStringLiteral("org.freedesktop.Secret.Service"), method);
    };
    const QDBusReply<QDBusObjectPath> collection = QDBusConnection::sessionBus().call(
        serviceCall(QStringLiteral("ReadAlias")) << QStringLiteral("default"));
    QVERIFY2(collection.isValid(), qPrintable(collection.error().message()));
    const QDBusMessage locked = QDBusConnection::sessionBus().call(
        serviceCall(QStringLiteral("Lock"))
        << QVariant::fromValue(QList<QDBusObjectPath>{collection.value()}));
    QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));
    QCOMPARE(Read(ConnectionKey("admin", "127.0.0.1", server_.Port()))->outcome,
             PasswordKeyring::Outcome::Failed);

    // A scrambled password that cannot be moved stays where it was: nothing is lost.
    WriteTodaysFile(SettingsPath(), ScrambledPassword(kPassword));
    {
        auto window = OpenTcpWindow(SettingsPath());
        window->UseKeyring(std::make_unique<QtKeychainKeyring>());
        QTRY_COMPARE_WITH_TIMEOUT(window->KeyringStatus(), KeyringState::Unusable, 20000);
        window->close();
        IniStore file(SettingsPath().toStdString());
        QVERIFY(file.Load());
        QCOMPARE(ReadStoredSettings(file).password, std::string(kPassword));
    }

    WriteTodaysFile(SettingsPath(), "");
    auto window = OpenTcpWindow(SettingsPath());
    window->show();
    window->UseKeyring(std::make_unique<QtKeychainKeyring>());
    QTRY_COMPARE_WITH_TIMEOUT(window->KeyringStatus(), KeyringState::Unusable, 20000);
    QVERIFY(LogSays(*window, "the password is asked at connect"));
    ConnectAccepting(*window, QString(), QString::fromLatin1(kPassword));
    WaitLoggedIn(*window);
    window->close();
    QFile file(SettingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY(!written.contains(kPassword));
    QVERIFY(!written.contains(QByteArray::fromStdString(ScrambledPassword(kPassword))));
}

QTEST_MAIN(KeyringTest)
#include "KeyringTest.moc"

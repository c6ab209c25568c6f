#include <sys/stat.h>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"
#include "support/ModalResponder.hpp"
#include "util/EncryptIt.hpp"
#include "window/untKrvClientA.hpp"

// The settings file as the main window reads it at start, writes it straight back, and
// writes it again when it closes.
class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void withoutAFileEveryDefaultIsUsedAndWritten();
    void valuesAreReadCorrectedAndWrittenBack_data();
    void valuesAreReadCorrectedAndWrittenBack();
    void thePasswordIsWrittenScrambled_data();
    void thePasswordIsWrittenScrambled();
    void commentsAndUnknownKeysSurviveAndTheFileIsOwnerOnly();
    void bytesThatAreNotUtf8SurviveTheFile();
    void closingWritesTheValuesInForce();
    void aFileThatCannotBeWrittenIsReportedAndTheWindowWorks();

private:
    QString Path() const { return dir_.filePath("krvClientA.ini"); }
    void WriteFile(const QByteArray& text) {
        QFile file(Path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray ReadFile() const {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The value of a key in the file as written, the first line that starts with it.
    QByteArray Written(const QByteArray& key) const {
        for (const QByteArray& line : ReadFile().split('\n')) {
            if (line.startsWith(key + "=")) {
                return line.mid(key.size() + 1);
            }
        }
        return "<missing>";
    }
    std::unique_ptr<TfrmKrvClientA> OpenWindow(const QString& path) {
        return std::make_unique<TfrmKrvClientA>(std::make_unique<FakeClientSocket>(), path, clock_);
    }

    QTemporaryDir dir_;
    ManualClock clock_;
};

void SettingsWindowTest::cleanup() {
    QFile::remove(Path());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void SettingsWindowTest::withoutAFileEveryDefaultIsUsedAndWritten() {
    auto window = OpenWindow(Path());
    QCOMPARE(window->pos(), QPoint(0, 0));
    const TkvClient& link = window->Session().Link();
    QCOMPARE(link.Host(), std::string());
    QCOMPARE(link.Login(), std::string());
    QCOMPARE(link.Password(), std::string());
    QCOMPARE(link.Port(), 0);
    QVERIFY(link.AutoReconnect());
    QCOMPARE(link.ReconnectDelay(), 10);
    QCOMPARE(link.ReconnectAttempts(), 6);
    QCOMPARE(link.ReconnectPause(), 60);
    QCOMPARE(link.ReconnectCycles(), -1);
    QCOMPARE(window->TimerPeriod(), 10);
    const QRect outer = window->frameGeometry();
    const QByteArray expected =
        "[Parameters]\nwndMain=0,0," + QByteArray::number(outer.width()) + "," +
        QByteArray::number(outer.height()) +
        "\n\n[Client]\nHeartbeat=10\nLogin=\nPassword=\nHost=\nPort=0\nReconnectOn=1\n"
        "ReconnectDelay=10\nReconnectAttempts=6\nReconnectPause=60\nReconnectCycles=-1\n";
    QCOMPARE(ReadFile(), expected);
}

void SettingsWindowTest::valuesAreReadCorrectedAndWrittenBack_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("ReconnectOn=yes") << QByteArray("[Client]\nReconnectOn=yes\n") << QByteArray("ReconnectOn")
                                     << QByteArray("1");
    QTest::newRow("ReconnectOn=0") << QByteArray("[Client]\nReconnectOn=0\n") << QByteArray("ReconnectOn")
                                   << QByteArray("0");
    QTest::newRow("ReconnectOn=2") << QByteArray("[Client]\nReconnectOn=2\n") << QByteArray("ReconnectOn")
                                   << QByteArray("1");
    QTest::newRow("Port=0x50") << QByteArray("[Client]\nPort=0x50\n") << QByteArray("Port")
                               << QByteArray("80");
    QTest::newRow("ReconnectDelay=-5")
        << QByteArray("[Client]\nReconnectDelay=-5\n") << QByteArray("ReconnectDelay") << QByteArray("0");
    QTest::newRow("ReconnectAttempts=-3") << QByteArray("[Client]\nReconnectAttempts=-3\n")
                                          << QByteArray("ReconnectAttempts") << QByteArray("-3");
    QTest::newRow("Heartbeat=3") << QByteArray("[Client]\nHeartbeat=3\n") << QByteArray("Heartbeat")
                                 << QByteArray("10");
    QTest::newRow("Heartbeat=250") << QByteArray("[Client]\nHeartbeat=250\n") << QByteArray("Heartbeat")
                                   << QByteArray("250");
    QTest::newRow("other letter case")
        << QByteArray("[client]\nport=5000\nHOST= 192.0.2.7 \n") << QByteArray("port") << QByteArray("5000");
    QTest::newRow("host trimmed") << QByteArray("[client]\nHOST= 192.0.2.7 \n") << QByteArray("HOST")
                                  << QByteArray("192.0.2.7");
}

void SettingsWindowTest::valuesAreReadCorrectedAndWrittenBack() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, written);
    WriteFile(file);
    auto window = OpenWindow(Path());
    QCOMPARE(Written(key), written);
    // What was written is what the window and the link hold.
    const TkvClient& link = window->Session().Link();
    if (key == "ReconnectOn") {
        QCOMPARE(link.AutoReconnect(), written == "1");
    } else if (key.toLower() == "port") {
        QCOMPARE(QByteArray::number(link.Port()), written);
    } else if (key == "Heartbeat") {
        QCOMPARE(QByteArray::number(window->TimerPeriod()), written);
        QCOMPARE(QByteArray::number(window->findChild<QTimer*>("Timer1")->interval()), written);
    } else if (key == "ReconnectDelay") {
        QCOMPARE(QByteArray::number(link.ReconnectDelay()), written);
    } else if (key == "ReconnectAttempts") {
        QCOMPARE(QByteArray::number(link.ReconnectAttempts()), written);
    } else if (key == "HOST") {
        QCOMPARE(QByteArray::fromStdString(link.Host()), written);
    }
}

void SettingsWindowTest::thePasswordIsWrittenScrambled_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("written");
    // "42" and "42E1" are the scrambler's hand-worked vectors for "a" and "ab".
    QTest::newRow("clear a") << QByteArray("?a") << QByteArray("a") << QByteArray("42");
    QTest::newRow("clear ab") << QByteArray("?ab") << QByteArray("ab") << QByteArray("42E1");
    QTest::newRow("scrambled ab") << QByteArray("42e1") << QByteArray("ab") << QByteArray("42E1");
    QTest::newRow("lone question mark") << QByteArray("?") << QByteArray("") << QByteArray("");
    QTest::newRow("clear abc") << QByteArray("?abc") << QByteArray("abc")
                               << QByteArray::fromStdString(EncryptToHex(
                                      "abc", kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement));
}

void SettingsWindowTest::thePasswordIsWrittenScrambled() {
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, written);
    WriteFile("[Client]\nPassword=" + stored + "\n");
    auto window = OpenWindow(Path());
    QCOMPARE(QByteArray::fromStdString(window->Session().Link().Password()), password);
    QCOMPARE(Written("Password"), written);
    QCOMPARE(written.size(), 2 * password.size());
}

void SettingsWindowTest::commentsAndUnknownKeysSurviveAndTheFileIsOwnerOnly() {
    WriteFile(
        "; kept\n[Client]\nPort=5000\nColour=blue\n\n[Elsewhere]\nx=1\n[Parameters]\nwndMain=100, 200\n");
    QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    auto window = OpenWindow(Path());
    QCOMPARE(window->pos(), QPoint(100, 200));
    const QByteArray text = ReadFile();
    QVERIFY(text.startsWith("; kept\n[Client]\nPort=5000\nColour=blue\nHeartbeat=10\n"));
    QVERIFY(text.contains("\n\n[Elsewhere]\nx=1\n[Parameters]\nwndMain=100,200,"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(Path()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

void SettingsWindowTest::bytesThatAreNotUtf8SurviveTheFile() {
    const std::string odd("\xe9t\xe9\x01\xff", 5);
    const QByteArray scrambled = QByteArray::fromStdString(
        EncryptToHex(odd, kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement));
    const QByteArray oddBytes = QByteArray::fromStdString(odd);
    WriteFile("[Client]\nLogin=" + oddBytes + "\nHost=" + oddBytes + "\nPassword=" + scrambled + "\n");
    auto window = OpenWindow(Path());
    QCOMPARE(window->Session().Link().Login(), odd);
    QCOMPARE(window->Session().Link().Host(), odd);
    QCOMPARE(window->Session().Link().Password(), odd);
    window->close();
    QCOMPARE(Written("Login"), oddBytes);
    QCOMPARE(Written("Host"), oddBytes);
    QCOMPARE(Written("Password"), scrambled);
}

void SettingsWindowTest::closingWritesTheValuesInForce() {
    const QSize screen = QGuiApplication::primaryScreen()->size();
    WriteFile("[Parameters]\nwndMain=-40, 99999, 1, 1\n");
    auto window = OpenWindow(Path());
    QCOMPARE(window->pos(), QPoint(0, screen.height() - 32));
    window->show();
    window->Session().SetCredentials("root", "ab");
    ReconnectSchedule schedule = window->Session().Schedule();
    schedule.cycles = 3;
    window->Session().ApplySchedule(schedule);
    window->close();
    const QRect outer = window->frameGeometry();
    QCOMPARE(Written("wndMain"), QByteArray::number(outer.left()) + "," + QByteArray::number(outer.top()) +
                                     "," + QByteArray::number(outer.width()) + "," +
                                     QByteArray::number(outer.height()));
    QVERIFY(outer.width() > 1 && outer.height() > 1);
    QCOMPARE(Written("Login"), QByteArray("root"));
    QCOMPARE(Written("Password"), QByteArray("42E1"));
    QCOMPARE(Written("ReconnectCycles"), QByteArray("3"));
}

void SettingsWindowTest::aFileThatCannotBeWrittenIsReportedAndTheWindowWorks() {
    // Tests run as root, for whom permission bits do not stop a write; a folder that is really a
    // regular file stops everyone.
    WriteFile("[Client]\nPort=5000\n");
    const QString blocked = Path() + "/krvClientA.ini";
    SeenBox atStart;
    auto startBox = AnswerMessageBox(atStart);
    auto window = OpenWindow(blocked);
    QVERIFY(startBox->Answered());
    QCOMPARE(atStart.text, "Unable to write to " + blocked);
    QCOMPARE(window->Session().Link().Port(), 0);
    QVERIFY(window->findChild<QTimer*>("Timer1")->isActive());

    SeenBox atClose;
    auto closeBox = AnswerMessageBox(atClose);
    window->close();
    QVERIFY(closeBox->Answered());
    QCOMPARE(atClose.text, "Unable to write to " + blocked);
    QCOMPARE(ReadFile(), QByteArray("[Client]\nPort=5000\n"));
}

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"

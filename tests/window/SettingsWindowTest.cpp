#include <sys/stat.h>

#include <QAbstractItemView>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
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
    void theWindowOpensAtTheSizeTheFileKeeps_data();
    void theWindowOpensAtTheSizeTheFileKeeps();
    void aResizedWindowIsRemembered();
    void columnsShareTheWidthAndKeepWhatADragLeft();

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

// Nothing stored opens the window at its designed size, also its smallest; the list always takes
// the room below the buttons.
void SettingsWindowTest::theWindowOpensAtTheSizeTheFileKeeps_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("size");  // empty: the designed size
    QTest::addColumn<bool>("maximized");
    QTest::newRow("nothing stored") << QByteArray("[Parameters]\nwndMain=20,30,340,330\n") << QSize()
                                    << false;
    QTest::newRow("a size") << QByteArray("[Parameters]\nwndMainSize=700,420\n") << QSize(700, 420) << false;
    QTest::newRow("spaced, upper case")
        << QByteArray("[PARAMETERS]\nWNDMAINSIZE= 640 , 400 \n") << QSize(640, 400) << false;
    QTest::newRow("smaller than designed")
        << QByteArray("[Parameters]\nwndMainSize=10,10\n") << QSize() << false;
    QTest::newRow("not numbers") << QByteArray("[Parameters]\nwndMainSize=wide,tall\n") << QSize() << false;
    QTest::newRow("maximised") << QByteArray("[Parameters]\nwndMainSize=600,400\nwndMainMaximized=1\n")
                               << QSize(600, 400) << true;
}

void SettingsWindowTest::theWindowOpensAtTheSizeTheFileKeeps() {
    QFETCH(QByteArray, file);
    QFETCH(QSize, size);
    QFETCH(bool, maximized);
    WriteFile(file);
    auto window = OpenWindow(Path());
    const QSize designed = window->minimumSize();
    QCOMPARE(designed.width(), 328);
    QVERIFY(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->isMaximized(), maximized);
    if (!maximized) {
        QCOMPARE(window->size(), size.isEmpty() ? designed : size);
    }
    window->show();
    QWidget* list = window->findChild<QWidget*>("ListView1");
    const QSize client = window->centralWidget()->size();
    QCOMPARE(list->geometry(), QRect(0, 32, client.width() + 1, client.height() - 34));
    if (size.isEmpty()) {
        QCOMPARE(list->geometry(), QRect(0, 32, 329, 225));
    }
}

// The size is kept only once the window has one of its own; a file of a window never resized
// stays as it was (see withoutAFileEveryDefaultIsUsedAndWritten).
void SettingsWindowTest::aResizedWindowIsRemembered() {
    {
        auto window = OpenWindow(Path());
        window->show();
        window->resize(520, 380);
        window->close();
    }
    QCOMPARE(Written("wndMainSize"), QByteArray("520,380"));
    QCOMPARE(Written("wndMainMaximized"), QByteArray("0"));
    QVERIFY(ReadFile().startsWith("[Parameters]\nwndMain="));
    {
        auto window = OpenWindow(Path());
        QCOMPARE(window->size(), QSize(520, 380));
        window->resize(window->minimumSize());
        window->close();
    }
    // Back at the designed size, the keys the file has say so.
    QCOMPARE(Written("wndMainSize"), QByteArray("0,0"));
    auto window = OpenWindow(Path());
    QCOMPARE(window->size(), window->minimumSize());
}

void SettingsWindowTest::columnsShareTheWidthAndKeepWhatADragLeft() {
    auto window = OpenWindow(Path());
    window->show();
    auto* list = window->findChild<QAbstractItemView*>("ListView1");
    QHeaderView* header = list->findChild<QHeaderView*>();
    QVERIFY(header != nullptr);
    const auto sections = [header] {
        return QList<int>{header->sectionSize(0), header->sectionSize(1), header->sectionSize(2)};
    };
    const auto widthIs = [&](int total) {
        QTRY_COMPARE(sections()[0] + sections()[1] + sections()[2], total);
    };
    widthIs(list->viewport()->width());
    QVERIFY(std::abs(sections()[0] - sections()[2]) <= 1);
    window->resize(window->width() + 300, window->height());
    widthIs(list->viewport()->width());
    QVERIFY(std::abs(sections()[0] - sections()[2]) <= 1);
    QVERIFY(sections()[0] > 150);

    // The administrator widens the first column to half the list; a wider window keeps the half.
    header->resizeSection(0, list->viewport()->width() / 2);
    window->resize(window->width() + 200, window->height());
    widthIs(list->viewport()->width());
    QVERIFY(std::abs(sections()[0] - list->viewport()->width() / 2) <= 2);
}

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"

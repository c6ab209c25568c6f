#include <QAction>
#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>

#include "support/ModalResponder.hpp"
#include "support/VisibleBoxes.hpp"
#include "window/DisplayText.hpp"
#include "window/WindowHarness.hpp"

using namespace std::chrono_literals;

namespace {

const std::string kLookupFailure =
    "Windows socket error: No such host is known (11001), on API 'ASync Lookup'";

}  // namespace

// What the window does where a hostile server or a broken resolver would otherwise stack boxes,
// rewrite the stored settings or keep reconnecting against the administrator's will.
class SoundBehaviourTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void lookupFailuresShareOneBoxThatCountsThem_data();
    void lookupFailuresShareOneBoxThatCountsThem();
    void aClosedLookupBoxLetsTheNextFailureOpenAFreshOne();
    void reconnectionGoesOnWhileTheLookupBoxIsOpen();
    void aServerOrderedReconnectionIsNotSaved_data();
    void aServerOrderedReconnectionIsNotSaved();
    void disconnectCallsOffAServerOrderedReconnection_data();
    void disconnectCallsOffAServerOrderedReconnection();
    void aLineCutByTheConnectionsEndIsNotObeyed_data();
    void aLineCutByTheConnectionsEndIsNotObeyed();
    void aHugeLoginIsShownShortAndSentWhole();
};

void SoundBehaviourTest::cleanup() {
    for (QMessageBox* box : VisibleBoxes()) {
        box->close();
    }
    QApplication::processEvents();
}

void SoundBehaviourTest::lookupFailuresShareOneBoxThatCountsThem_data() {
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("countText");
    QTest::newRow("one") << 1 << QString();
    QTest::newRow("two") << 2 << QStringLiteral("2 lookup attempts failed");
    QTest::newRow("fifty") << 50 << QStringLiteral("50 lookup attempts failed");
}

void SoundBehaviourTest::lookupFailuresShareOneBoxThatCountsThem() {
    QFETCH(int, failures);
    QFETCH(QString, countText);
    WindowHarness harness;
    // Each report returns at once: a box that ran its own loop here would never let it return.
    for (int i = 0; i < failures; ++i) {
        harness.Window().ReportSocketFailure(kLookupFailure);
    }
    const QList<QMessageBox*> boxes = VisibleBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first()->windowTitle(), QStringLiteral("krvClientA"));
    QCOMPARE(boxes.first()->icon(), QMessageBox::Critical);
    QVERIFY(boxes.first()->text().startsWith(QString::fromStdString(kLookupFailure)));
    if (countText.isEmpty()) {
        QCOMPARE(boxes.first()->text(), QString::fromStdString(kLookupFailure));
    } else {
        QVERIFY2(boxes.first()->text().contains(countText), qPrintable(boxes.first()->text()));
    }
}

void SoundBehaviourTest::aClosedLookupBoxLetsTheNextFailureOpenAFreshOne() {
    WindowHarness harness;
    harness.Window().ReportSocketFailure(kLookupFailure);
    harness.Window().ReportSocketFailure(kLookupFailure);
    QCOMPARE(VisibleBoxes().size(), 1);
    VisibleBoxes().first()->button(QMessageBox::Ok)->click();
    QTRY_COMPARE(VisibleBoxes().size(), 0);
    harness.Window().ReportSocketFailure(kLookupFailure);
    QCOMPARE(VisibleBoxes().size(), 1);
    QCOMPARE(VisibleBoxes().first()->text(), QString::fromStdString(kLookupFailure));
}

void SoundBehaviourTest::reconnectionGoesOnWhileTheLookupBoxIsOpen() {
    WindowHarness harness;
    harness.Socket().SetAutoAccept(false);
    harness.Session().SetAutoReconnect(true);
    ReconnectSchedule schedule = harness.Session().Schedule();
    schedule.delay = 0;
    schedule.pause = 0;
    harness.Session().ApplySchedule(schedule);
    harness.Session().SetServer("bad..host", WindowHarness::kPort);
    harness.Session().Connect("bad..host", WindowHarness::kPort);
    for (int attempt = 1; attempt <= 5; ++attempt) {
        harness.Socket().FailLookup();
        harness.Window().ReportSocketFailure(kLookupFailure);
        harness.Advance(11s);
        QCOMPARE(static_cast<int>(harness.Socket().Opens().size()), attempt + 1);
    }
    QCOMPARE(VisibleBoxes().size(), 1);
    QVERIFY(VisibleBoxes().first()->text().contains(QStringLiteral("5 lookup attempts failed")));
}

void SoundBehaviourTest::aServerOrderedReconnectionIsNotSaved_data() {
    QTest::addColumn<QString>("order");
    QTest::newRow("host and port") << "SRE:0,7777,evil.test";
    QTest::newRow("host, port and credentials") << "SRE:0,7777,evil.test,mallory,stolen";
    QTest::newRow("credentials only") << "SRE:0,0,0,mallory,stolen";
}

void SoundBehaviourTest::aServerOrderedReconnectionIsNotSaved() {
    QFETCH(QString, order);
    WindowHarness harness;
    harness.LogIn();
    harness.Serve({order.toStdString()});
    QVERIFY(harness.Session().Link().Reconnect().ForcedAttempts() > 0);
    harness.Window().SaveSettings();
    // A second order keeps the administrator's values too, not the first order's.
    harness.Serve({"SRE:0,8888,other.test,eve,x"});
    harness.Window().close();
    QFile file(harness.Window().IniFileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("\nHost=10.0.0.1\n"), text.constData());
    QVERIFY(text.contains("\nPort=6670\n"));
    QVERIFY(text.contains("\nLogin=admin\n"));
    QVERIFY(!text.contains("mallory") && !text.contains("evil") && !text.contains("eve"));
}

void SoundBehaviourTest::disconnectCallsOffAServerOrderedReconnection_data() {
    QTest::addColumn<bool>("pressDisconnect");
    QTest::addColumn<bool>("attempted");
    QTest::newRow("disconnect pressed") << true << false;
    QTest::newRow("left alone") << false << true;
}

void SoundBehaviourTest::disconnectCallsOffAServerOrderedReconnection() {
    QFETCH(bool, pressDisconnect);
    QFETCH(bool, attempted);
    WindowHarness harness;
    harness.Session().SetAutoReconnect(false);
    harness.LogIn();
    harness.Serve({"SRE:0,0,0"});
    QVERIFY(!harness.Session().Link().Connected());
    const size_t opensBefore = harness.Socket().Opens().size();
    if (pressDisconnect) {
        harness.Window().findChild<QToolButton*>("btDisconnect")->click();
    }
    for (int i = 0; i < 6; ++i) {
        harness.Advance(11s);
    }
    QCOMPARE(harness.Socket().Opens().size() > opensBefore, attempted);
}

void SoundBehaviourTest::aLineCutByTheConnectionsEndIsNotObeyed_data() {
    QTest::addColumn<QString>("tail");
    QTest::newRow("reconnect order") << "SRE:0,7777,evil.test";
    QTest::newRow("bare reconnect order") << "SRE";
}

void SoundBehaviourTest::aLineCutByTheConnectionsEndIsNotObeyed() {
    QFETCH(QString, tail);
    WindowHarness harness;
    harness.Session().SetAutoReconnect(false);
    harness.LogIn();
    harness.Socket().Deliver(tail.toStdString());
    harness.Socket().PeerCloses();
    harness.Tick();
    QCOMPARE(harness.Session().Link().Host(), std::string(WindowHarness::kHost));
    QCOMPARE(harness.Session().Link().Port(), WindowHarness::kPort);
    QCOMPARE(harness.Session().Link().Reconnect().ForcedAttempts(), 0);
}

void SoundBehaviourTest::aHugeLoginIsShownShortAndSentWhole() {
    WindowHarness harness;
    const std::string huge(1000000, 'w');
    harness.SetLogin(huge);
    harness.LogIn();
    QVERIFY(harness.Session().Link().LoggedIn());
    QVERIFY(harness.Panel(2).size() <= kMaxShownChars);
    QVERIFY(harness.Panel(2).endsWith(QChar(0x2026)));
    harness.Serve({"ARLM:on,," + huge + "=,chat;;", "ARLC"});
    QCOMPARE(harness.Model()->rowCount(), 1);
    const QModelIndex row = harness.Model()->index(0, 0);
    QCOMPARE(row.data().toString().size(), kMaxShownChars);
    QCOMPARE(row.data(MemberListModel::LoginBytesRole).toByteArray().size(), qsizetype(huge.size()));

    harness.List()->selectionModel()->select(row,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    SeenBox question;
    auto answer = AnswerMessageBox(question);
    const size_t writtenBefore = harness.Socket().Written().size();
    harness.Window().findChild<QAction*>("mnuExpelClient")->trigger();
    QVERIFY(answer->Answered());
    QVERIFY(question.text.size() < 2 * kMaxShownChars);
    QCOMPARE(harness.Socket().Written().substr(writtenBefore), "ADX_" + huge + ":\r");
}

QTEST_MAIN(SoundBehaviourTest)
#include "SoundBehaviourTest.moc"

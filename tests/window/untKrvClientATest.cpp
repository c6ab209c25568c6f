#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>

#include "dialogs/krvClient_Server.hpp"
#include "rows/CaptionKeysAhead.hpp"
#include "rows/CaptionOrder.hpp"
#include "support/LinkEventWords.hpp"
#include "support/ModalResponder.hpp"
#include "window/WindowHarness.hpp"

using namespace std::chrono_literals;

class untKrvClientATest : public QObject {
    Q_OBJECT

private slots:
    void startsDisconnectedWithTheTimerRunning();
    void timerPeriodComesFromTheSettings_data();
    void timerPeriodComesFromTheSettings();
    void popupOffersTheTenCommandsInOrder();
    void statusTextFollowsEachEvent_data();
    void statusTextFollowsEachEvent();
    void connectionTextShowsHostAndLoginAsTheyAre();
    void connectionEventsMoveTheGroupedButtons();
    void pressingAButtonKeepsOneDownAndRunsItsAction();
    void listedMembersAppearOnlyWhenTheListIsComplete();
    void aLongListSortsAsItsRowsDoWhateverChangedWhileItArrived();
    void memberReportForAListedLoginRewritesItsRowInPlace_data();
    void memberReportForAListedLoginRewritesItsRowInPlace();
    void memberReportForAnUnlistedLoginRebuilds();
    void inPlaceUpdatesFollowRowsMovedByARebuild();
    void deleteReportMatchesTheSubjectExactly_data();
    void deleteReportMatchesTheSubjectExactly();
    void linesThatAreNotReportsChangeNothing_data();
    void linesThatAreNotReportsChangeNothing();
    void closeOrderIsObeyedBeforeTheLogin();
    void reconnectOrderReconnectsEvenWithAutomaticReconnectionOff_data();
    void reconnectOrderReconnectsEvenWithAutomaticReconnectionOff();
    void loginWithoutAdministratorIsClosedAndNotReconnected();
    void loginWithAdministratorInAnyCaseStays();
    void administratorLostRightAfterTheLoginIsReconnected_data();
    void administratorLostRightAfterTheLoginIsReconnected();
    void topRowComesBackAfterARebuild();
    void disconnectButtonDisarmsAutomaticReconnection();
    void autoReconnectBoxSwitchesTheLink();
    void closingStopsTheTimer();
};

void untKrvClientATest::startsDisconnectedWithTheTimerRunning() {
    QTemporaryDir dir;
    ManualClock clock;
    TfrmKrvClientA window(std::make_unique<FakeClientSocket>(), dir.filePath("k.ini"), clock);
    QCOMPARE(window.windowTitle(), QStringLiteral("Korvane Administrator Client 1.3"));
    QCOMPARE(window.IniFileName(), dir.filePath("k.ini"));
    auto* timer = window.findChild<QTimer*>("Timer1");
    QVERIFY(timer->isActive());
    QVERIFY(timer->interval() >= 10);
    QVERIFY(window.findChild<QToolButton*>("btDisconnect")->isChecked());
    QVERIFY(!window.findChild<QToolButton*>("btConnect")->isChecked());
    QCOMPARE(window.findChild<QCheckBox*>("cbAutoReconnect")->isChecked(),
             window.Session().Link().AutoReconnect());
    QVERIFY(window.findChild<QLabel*>("StatusPanel2")->text().isEmpty());
    QCOMPARE(window.centralWidget()->size(), QSize(328, 278 - 19));
    QCOMPARE(window.findChild<QStatusBar*>("StatusBar1")->height(), 19);
    // It opens at its designed size, which is also its smallest, and may grow.
    QCOMPARE(window.size(), window.minimumSize());
    QVERIFY(window.maximumSize().width() > window.minimumSize().width());
    QVERIFY(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window.Session().Link().SocketActive(), false);
}

void untKrvClientATest::timerPeriodComesFromTheSettings_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("period");
    QTest::newRow("set") << QByteArray("[Client]\nHeartbeat=250\n") << 250;
    QTest::newRow("too short") << QByteArray("[Client]\nHeartbeat=3\n") << 10;
    QTest::newRow("negative") << QByteArray("[Client]\nHeartbeat=-40\n") << 10;
    QTest::newRow("missing") << QByteArray("[Client]\nPort=1\n") << 10;
}

void untKrvClientATest::timerPeriodComesFromTheSettings() {
    QFETCH(QByteArray, settings);
    QFETCH(int, period);
    QTemporaryDir dir;
    QFile file(dir.filePath("k.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(settings);
    file.close();
    ManualClock clock;
    TfrmKrvClientA window(std::make_unique<FakeClientSocket>(), dir.filePath("k.ini"), clock);
    QCOMPARE(window.findChild<QTimer*>("Timer1")->interval(), period);
    QVERIFY(window.findChild<QTimer*>("Timer1")->isActive());
}

void untKrvClientATest::popupOffersTheTenCommandsInOrder() {
    WindowHarness harness;
    QStringList shown;
    for (QAction* action : harness.Window().findChild<QMenu*>("puMembers")->actions()) {
        shown << (action->isSeparator() ? QStringLiteral("-") : action->objectName() + "=" + action->text());
    }
    const QStringList expected = {
        "mnuAddClient=add client",
        "mnuEditClient=edit client",
        "-",
        "mnuDeleteClient=delete client",
        "mnuExpelClient=expel client",
        "-",
        "mnuRequestClientLogoff=request client logoff",
        "mnuRequestAllLogoffExcl=request all logoff (but you)",
        "mnuRequestAllLogoffInc=request all logoff (you too)",
        "-",
        "mnuRequestClientReconnect=request client reconnect",
        "mnuRequestAllReconnecteExc=request all reconnect (but you)",
        "mnuRequestAllReconnectIncl=request all reconnect (you too)",
    };
    QCOMPARE(shown, expected);
}

void untKrvClientATest::statusTextFollowsEachEvent_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const QString before = QStringLiteral("earlier text");
    QTest::newRow("Lookup") << "Lookup"
                            << "srv.example:6671 - lookup...";
    QTest::newRow("Connecting") << "Connecting"
                                << "srv.example:6671 - connecting...";
    QTest::newRow("Connect") << "Connect"
                             << "srv.example:6671 - connected, logging in...";
    QTest::newRow("Login") << "Login"
                           << "srv.example:6671 - logged in as Admin";
    QTest::newRow("Disconnect") << "Disconnect"
                                << "srv.example:6671 - disconnected";
    QTest::newRow("Read") << "Read" << before;
    QTest::newRow("Write") << "Write" << before;
    QTest::newRow("Error") << "Error" << before;
    QTest::newRow("empty name") << "" << before;
    QTest::newRow("other letter case") << "lookup" << before;
}

// The prefix is taken from the link when the event is handled, not when it was queued.
void untKrvClientATest::statusTextFollowsEachEvent() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    WindowHarness harness;
    harness.Window().findChild<QLabel*>("StatusPanel2")->setText("earlier text");
    harness.Session().SetServer("srv.example", 6671);
    harness.SetLogin("Admin");
    // A word that names no kind exactly ("lookup") reaches the window as no event at all.
    if (const std::optional<LinkEventKind> kind = LinkEventKindNamed(name.toStdString())) {
        harness.Window().ShowLinkState(*kind);
    }
    QCOMPARE(harness.Panel(2), expected);
}

// What a label puts on the screen: its text, or what that text renders to when taken as markup.
QString ShownText(const QLabel& label) {
    const bool markup = label.textFormat() == Qt::RichText ||
                        (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
    if (!markup) {
        return label.text();
    }
    QTextDocument document;
    document.setHtml(label.text());
    return document.toPlainText();
}

// The host and the login may come from the server's reconnect order; a "<" in them is text.
void untKrvClientATest::connectionTextShowsHostAndLoginAsTheyAre() {
    WindowHarness harness;
    harness.Session().SetServer("<i>srv</i>", 6671);
    harness.SetLogin("a<b>dmin");
    harness.Window().ShowLinkState(LinkEventKind::Login);
    QCOMPARE(ShownText(*harness.Window().findChild<QLabel*>("StatusPanel2")),
             QStringLiteral("<i>srv</i>:6671 - logged in as a<b>dmin"));
}

void untKrvClientATest::connectionEventsMoveTheGroupedButtons() {
    WindowHarness harness;
    harness.Connect();
    harness.Tick();
    QVERIFY(harness.ButtonDown("btConnect"));
    QVERIFY(!harness.ButtonDown("btDisconnect"));
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - connected, logging in..."));
    harness.Socket().PeerCloses();
    harness.Tick();
    QVERIFY(harness.ButtonDown("btDisconnect"));
    QVERIFY(!harness.ButtonDown("btConnect"));
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - disconnected"));
}

void untKrvClientATest::pressingAButtonKeepsOneDownAndRunsItsAction() {
    WindowHarness harness;
    auto* connectButton = harness.Window().findChild<QToolButton*>("btConnect");
    auto* disconnectButton = harness.Window().findChild<QToolButton*>("btDisconnect");

    // Not connected: the dialog runs with "disconnect" still down, and cancelling leaves it so.
    bool disconnectDownInDialog = false;
    auto cancel = AnswerDialog<TfrmKrvClient_Server>([&](TfrmKrvClient_Server* dialog) {
        disconnectDownInDialog = disconnectButton->isChecked() && !connectButton->isChecked();
        dialog->Button2->click();
    });
    QTest::mouseClick(connectButton, Qt::LeftButton);
    QVERIFY(cancel->Answered());
    QVERIFY(disconnectDownInDialog);
    QVERIFY(harness.ButtonDown("btDisconnect") && !harness.ButtonDown("btConnect"));

    // Connected: "connect" is down and pressing it again does nothing at all.
    harness.LogIn();
    QVERIFY(harness.ButtonDown("btConnect") && !harness.ButtonDown("btDisconnect"));
    auto none = AnswerDialog<TfrmKrvClient_Server>([](TfrmKrvClient_Server* dialog) { dialog->reject(); });
    QTest::mouseClick(connectButton, Qt::LeftButton);
    QVERIFY(!none->Answered());
    QVERIFY(harness.ButtonDown("btConnect") && !harness.ButtonDown("btDisconnect"));
    QVERIFY(harness.Socket().Active());

    // "disconnect" goes down at once; the list empties with the event that follows.
    QTest::mouseClick(disconnectButton, Qt::LeftButton);
    QVERIFY(harness.ButtonDown("btDisconnect") && !harness.ButtonDown("btConnect"));
    QVERIFY(!harness.Socket().Active());
    harness.Tick();
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - disconnected"));
}

void untKrvClientATest::listedMembersAppearOnlyWhenTheListIsComplete() {
    WindowHarness harness;
    harness.LogIn();
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - logged in as admin"));
    QCOMPARE(harness.Panel(0), QStringLiteral("0"));
    QCOMPARE(harness.Panel(1), QStringLiteral("0"));

    harness.Serve(
        {"ARLS", "ARLM:,,carol=pw,chat;bot1,bot2;", "ARLM:on,,alice=,chat admin;;", "ARLM:,on,bob=,;;"});
    QCOMPARE(harness.Window().MemberCount(), 3);
    QCOMPARE(harness.Model()->rowCount(), 0);
    QCOMPARE(harness.Panel(1), QStringLiteral("0"));

    harness.Serve({"ARLC"});
    QCOMPARE(harness.Captions(), QStringList({"alice", "bob", "carol"}));
    QCOMPARE(harness.Cell(0, 1), QStringLiteral("chat,admin"));
    QCOMPARE(harness.Cell(2, 2), QStringLiteral("bot1,bot2"));
    QVERIFY(harness.RowOnline(0) && harness.RowOnline(1) && !harness.RowOnline(2));
    QCOMPARE(harness.Panel(0), QStringLiteral("2"));
    QCOMPARE(harness.Panel(1), QStringLiteral("3"));
}

// Long enough for keys to be made while it arrives; one member keyed already comes again in
// upper case, which the C locale sorts before every lower-case login.
void untKrvClientATest::aLongListSortsAsItsRowsDoWhateverChangedWhileItArrived() {
    WindowHarness harness;
    harness.LogIn();
    std::vector<std::string> list{"ARLS"};
    const int count = CaptionKeysAhead::kLongList + 3 * CaptionKeysAhead::kFewestInABatch;
    for (int i = 0; i < count; ++i) {
        list.push_back("ARLM:,,member" + std::to_string(i) + "=,;;");
        if (i == CaptionKeysAhead::kLongList + CaptionKeysAhead::kFewestInABatch) {
            list.push_back("ARLM:,,MEMBER7=,;;");
        }
    }
    harness.Serve(list);
    harness.Serve({"ARLC"});

    MemberRows rows;
    for (int32_t position = 0; position < harness.Window().MemberCount(); ++position) {
        rows.emplace_back(*harness.Window().Session().Members().Items(position));
    }
    SortRowsByCaption(rows, harness.Model()->Collator());
    QStringList sorted;
    for (const MemberRow& row : rows) {
        sorted << QString::fromStdString(std::string(row.Login()));
    }
    QCOMPARE(sorted.size(), count);
    QCOMPARE(harness.Captions(), sorted);
}

void untKrvClientATest::memberReportForAListedLoginRewritesItsRowInPlace_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("onlinePanel");
    QTest::newRow("ARM online") << ",x,BOB=,chat;b1;" << true << "2";
    QTest::newRow("ARI online") << "x,,BOB=,chat;b1;" << true << "2";
    QTest::newRow("ARO offline") << ",,BOB=,chat;b1;" << false << "1";
    QTest::newRow("ARQ offline") << ",,BOB=,chat;b1;" << false << "1";
}

void untKrvClientATest::memberReportForAListedLoginRewritesItsRowInPlace() {
    QFETCH(QString, line);
    QFETCH(bool, online);
    QFETCH(QString, onlinePanel);
    const QString code = QString::fromLatin1(QTest::currentDataTag()).left(3);
    WindowHarness harness;
    harness.LogIn();
    harness.Serve({"ARLM:,,alice=,;;", "ARLM:on,,bob=,;;", "ARLM:,,carol=,;;", "ARLM:on,,dave=,;;", "ARLC"});
    QCOMPARE(harness.Panel(0), QStringLiteral("2"));
    QSignalSpy resets(harness.Model(), &QAbstractItemModel::modelReset);

    harness.Serve({(code + ":" + line).toStdString()});
    QCOMPARE(resets.count(), 0);
    QCOMPARE(harness.Captions(), QStringList({"alice", "BOB", "carol", "dave"}));
    QCOMPARE(harness.Cell(1, 1), QStringLiteral("chat"));
    QCOMPARE(harness.Cell(1, 2), QStringLiteral("b1"));
    QCOMPARE(harness.RowOnline(1), online);
    QCOMPARE(harness.Panel(0), onlinePanel);
    QCOMPARE(harness.Panel(1), QStringLiteral("4"));
    QCOMPARE(harness.Window().MemberCount(), 4);
}

void untKrvClientATest::memberReportForAnUnlistedLoginRebuilds() {
    WindowHarness harness;
    harness.LogIn();
    harness.Serve({"ARLM:,,carol=,;;", "ARLC"});
    harness.Serve({"ARLM:,,alice=,;;"});  // listed, but not shown yet
    QSignalSpy resets(harness.Model(), &QAbstractItemModel::modelReset);

    harness.Serve({"ARM:on,,bob=,;;"});
    QCOMPARE(resets.count(), 1);
    QCOMPARE(harness.Captions(), QStringList({"alice", "bob", "carol"}));
    QCOMPARE(harness.Panel(0), QStringLiteral("1"));
    QCOMPARE(harness.Panel(1), QStringLiteral("3"));

    // A member added by the server is always placed by a rebuild, even when already known.
    harness.Serve({"ARA:,,carol=,x;;"});
    QCOMPARE(resets.count(), 2);
    QCOMPARE(harness.Cell(2, 1), QStringLiteral("x"));
}

void untKrvClientATest::inPlaceUpdatesFollowRowsMovedByARebuild() {
    WindowHarness harness;
    harness.LogIn();
    harness.Serve({"ARLM:,,alice=,;;", "ARLM:,,carol=,;;", "ARLC", "ARM:,,carol=,x;;"});
    harness.Serve({"ARA:,,bob=,;;", "ARM:on,,CAROL=,y;;", "ARO:on,,Alice=,z;;"});
    QCOMPARE(harness.Captions(), QStringList({"Alice", "bob", "CAROL"}));
    QCOMPARE(harness.Cell(1, 1), QString());
    QCOMPARE(harness.Cell(2, 1), QStringLiteral("y"));
    QCOMPARE(harness.Panel(0), QStringLiteral("2"));
}

void untKrvClientATest::deleteReportMatchesTheSubjectExactly_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("subject alone") << "ARD_bob" << QStringList({"alice", "carol"});
    QTest::newRow("payload ignored") << "ARD_bob:alice" << QStringList({"alice", "carol"});
    QTest::newRow("other letter case") << " ARD_BOB :" << QStringList({"alice", "carol"});
    QTest::newRow("blank before subject") << "ARD_ bob:" << QStringList({"alice", "bob", "carol"});
    QTest::newRow("unlisted") << "ARD_dave:" << QStringList({"alice", "bob", "carol"});
}

void untKrvClientATest::deleteReportMatchesTheSubjectExactly() {
    QFETCH(QString, line);
    QFETCH(QStringList, left);
    WindowHarness harness;
    harness.LogIn();
    harness.Serve({"ARLM:,,alice=,;;", "ARLM:on,,bob=,;;", "ARLM:,,carol=,;;", "ARLC"});
    QSignalSpy resets(harness.Model(), &QAbstractItemModel::modelReset);
    QSignalSpy removals(harness.Model(), &QAbstractItemModel::rowsRemoved);
    harness.Serve({line.toStdString()});
    // One change of the rows each time: the deleted member's row alone, or all of them.
    QCOMPARE(resets.count() + removals.count(), 1);
    QCOMPARE(harness.Captions(), left);
    QCOMPARE(harness.Panel(1), QString::number(left.size()));
    QCOMPARE(harness.Panel(0), left.contains("bob") ? QStringLiteral("1") : QStringLiteral("0"));
}

void untKrvClientATest::linesThatAreNotReportsChangeNothing_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("lower-case code") << "arlm:,,zed=,chat;;";
    QTest::newRow("lower-case change") << "arm:on,,alice=,;;";
    QTest::newRow("unknown code") << "ARX:,,zed=,chat;;";
    QTest::newRow("empty code") << ":ARA:,,zed=,chat;;";
    QTest::newRow("ARE") << "ARE:,,zed=,chat;;";
    QTest::newRow("ARK") << "ARK_alice:";
    QTest::newRow("ARLS") << "ARLS:,,zed=,chat;;";
    QTest::newRow("code with subject") << "ARAX_zed:,,zed=,;;";
}

void untKrvClientATest::linesThatAreNotReportsChangeNothing() {
    QFETCH(QString, line);
    WindowHarness harness;
    harness.LogIn();
    harness.Serve({"ARLM:,,alice=,;;", "ARLC"});
    QSignalSpy resets(harness.Model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(harness.Model(), &QAbstractItemModel::dataChanged);
    harness.Serve({line.toStdString(), "ARLC"});
    QCOMPARE(harness.Window().MemberCount(), 1);
    QCOMPARE(harness.Captions(), QStringList({"alice"}));
    QVERIFY(!harness.RowOnline(0));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(resets.count(), 1);  // the "ARLC" only
}

void untKrvClientATest::closeOrderIsObeyedBeforeTheLogin() {
    WindowHarness harness;
    harness.Connect();
    harness.Serve({"ARLM:,,alice=,;;", "SRC"});
    QVERIFY(!harness.Session().Link().LoggedIn());
    QCOMPARE(harness.Window().MemberCount(), 0);  // reports count only after the login
    QVERIFY(!harness.Socket().Active());
    harness.Tick();
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - disconnected"));
    QCOMPARE(harness.Window().MemberCount(), 0);
    QCOMPARE(harness.Panel(1), QStringLiteral("0"));
    // Closed as the disconnect button closes: nothing comes back by itself.
    const size_t opens = harness.Socket().Opens().size();
    harness.Advance(10min);
    harness.Advance(10min);
    QCOMPARE(harness.Socket().Opens().size(), opens);
}

void untKrvClientATest::reconnectOrderReconnectsEvenWithAutomaticReconnectionOff_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::newRow("delay, port, same host") << "SRE:5 , 6671 , 0" << 6671 << "admin"
                                            << "secret";
    QTest::newRow("new login, empty password") << "SRE:0,0,,bob," << 6670 << "bob"
                                               << "";
    QTest::newRow("new login and password") << "SRE: x , -3 , , bob , pw , extra" << 6670 << "bob"
                                            << "pw";
    QTest::newRow("bare") << "SRE" << 6670 << "admin"
                          << "secret";
    QTest::newRow("payload after subject") << "SRE_x:1,6672" << 6672 << "admin"
                                           << "secret";
}

void untKrvClientATest::reconnectOrderReconnectsEvenWithAutomaticReconnectionOff() {
    QFETCH(QString, line);
    QFETCH(int, port);
    QFETCH(QString, login);
    QFETCH(QString, password);
    WindowHarness harness;
    harness.Window().findChild<QCheckBox*>("cbAutoReconnect")->setChecked(true);
    QTest::mouseClick(harness.Window().findChild<QCheckBox*>("cbAutoReconnect"), Qt::LeftButton);
    QVERIFY(!harness.Session().Link().AutoReconnect());
    harness.LogIn();
    harness.Serve({line.toStdString()});
    QVERIFY(!harness.Socket().Active());
    QCOMPARE(harness.Session().Link().Port(), port);
    QCOMPARE(harness.Session().Link().Host(), std::string(WindowHarness::kHost));
    QCOMPARE(QString::fromStdString(harness.Session().Link().Login()), login);
    QCOMPARE(QString::fromStdString(harness.Session().Link().Password()), password);

    const size_t opens = harness.Socket().Opens().size();
    harness.Tick();
    QCOMPARE(harness.Socket().Opens().size(), opens);  // not before its delay
    harness.Advance(11s);
    QCOMPARE(harness.Socket().Opens().size(), opens + 1);
    const FakeSocketLog::OpenCall expected{WindowHarness::kHost, "", port};
    QCOMPARE(harness.Socket().Opens().back(), expected);
}

void untKrvClientATest::loginWithoutAdministratorIsClosedAndNotReconnected() {
    WindowHarness harness;
    QVERIFY(harness.Session().Link().AutoReconnect());
    harness.LogIn("chat, administrators");
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - logged in as admin"));
    QVERIFY(!harness.Socket().Active());
    QVERIFY(harness.Socket().SentLines() == std::vector<std::string>({"admin", "secret"}));
    harness.Tick();
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - disconnected"));
    QVERIFY(harness.ButtonDown("btDisconnect"));
    const size_t opens = harness.Socket().Opens().size();
    for (int minute = 0; minute < 30; ++minute) {
        harness.Advance(1min);
    }
    QCOMPARE(harness.Socket().Opens().size(), opens);
}

void untKrvClientATest::loginWithAdministratorInAnyCaseStays() {
    WindowHarness harness;
    harness.LogIn("chat, Administrator");
    harness.Tick();
    QVERIFY(harness.Socket().Active());
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - logged in as admin"));
}

void untKrvClientATest::administratorLostRightAfterTheLoginIsReconnected_data() {
    QTest::addColumn<bool>("lostBeforeTheTick");
    QTest::newRow("lost after the login was handled") << false;
    QTest::newRow("lost before the login was handled") << true;
}

// The link forgets the granted protocols when the connection ends; a "Login" handled after
// that must not be taken for a login without "administrator".
void untKrvClientATest::administratorLostRightAfterTheLoginIsReconnected() {
    QFETCH(bool, lostBeforeTheTick);
    WindowHarness harness;
    QVERIFY(harness.Session().Link().AutoReconnect());
    harness.Connect();
    harness.Tick();
    harness.Socket().Deliver("send login:\r\nsend password:\r\nprotocols: administrator\r\n:)\r\n");
    if (!lostBeforeTheTick) {
        harness.Tick();
        QVERIFY(harness.Socket().Active());
    }
    harness.Socket().PeerCloses();
    harness.Tick();
    QCOMPARE(harness.Panel(2), QStringLiteral("10.0.0.1:6670 - disconnected"));
    const size_t opens = harness.Socket().Opens().size();
    for (int minute = 0; minute < 30 && harness.Socket().Opens().size() == opens; ++minute) {
        harness.Advance(1min);
    }
    QCOMPARE(harness.Socket().Opens().size(), opens + 1);
}

// Zero-padded names sort the same in every locale.
void untKrvClientATest::topRowComesBackAfterARebuild() {
    WindowHarness harness;
    harness.LogIn();
    std::vector<std::string> lines;
    for (int number = 99; number >= 0; --number) {
        lines.push_back(QStringLiteral("ARLM:,,m%1=,;;").arg(number, 3, 10, QLatin1Char('0')).toStdString());
    }
    lines.push_back("ARLC");
    harness.Serve(lines);
    QAbstractItemView* list = harness.List();
    list->scrollTo(harness.Model()->index(50, 0), QAbstractItemView::PositionAtTop);
    QCOMPARE(harness.TopCaption(), QStringLiteral("m050"));

    harness.Serve({"ARA:,,m070x=,;;"});
    QCOMPARE(harness.TopCaption(), QStringLiteral("m050"));
    // The top row's member goes: the one sorting just before it takes its place.
    harness.Serve({"ARD_m050"});
    QCOMPARE(harness.TopCaption(), QStringLiteral("m049"));
    // A new member sorting just before the top one is not enough to move it.
    harness.Serve({"ARA:,,m049a=,;;"});
    QCOMPARE(harness.TopCaption(), QStringLiteral("m049"));

    list->scrollToTop();
    harness.Serve({"ARD_m000"});
    QCOMPARE(harness.TopCaption(), QStringLiteral("m001"));
    QCOMPARE(list->verticalScrollBar()->value(), 0);
}

void untKrvClientATest::disconnectButtonDisarmsAutomaticReconnection() {
    WindowHarness harness;
    harness.LogIn();
    harness.Socket().PeerCloses();  // a lost connection arms automatic reconnection
    harness.Tick();
    QTest::mouseClick(harness.Window().findChild<QToolButton*>("btDisconnect"), Qt::LeftButton);
    QVERIFY(harness.ButtonDown("btDisconnect"));
    const size_t opens = harness.Socket().Opens().size();
    for (int minute = 0; minute < 30; ++minute) {
        harness.Advance(1min);
    }
    QCOMPARE(harness.Socket().Opens().size(), opens);
}

void untKrvClientATest::autoReconnectBoxSwitchesTheLink() {
    WindowHarness harness;
    auto* box = harness.Window().findChild<QCheckBox*>("cbAutoReconnect");
    const bool before = harness.Session().Link().AutoReconnect();
    QCOMPARE(box->isChecked(), before);
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(harness.Session().Link().AutoReconnect(), !before);
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(harness.Session().Link().AutoReconnect(), before);
}

void untKrvClientATest::closingStopsTheTimer() {
    QTemporaryDir dir;
    ManualClock clock;
    TfrmKrvClientA window(std::make_unique<FakeClientSocket>(), dir.filePath("k.ini"), clock);
    window.show();
    auto* timer = window.findChild<QTimer*>("Timer1");
    QVERIFY(timer->isActive());
    window.findChild<QAction*>("mnuExit")->trigger();
    QVERIFY(!timer->isActive());
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(untKrvClientATest)
#include "untKrvClientATest.moc"

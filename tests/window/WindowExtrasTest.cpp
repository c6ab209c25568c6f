#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>

#include "link/LineFramer.hpp"
#include "protocol/ServerReports.hpp"
#include "session/ConnectionLog.hpp"
#include "support/LinkEventWords.hpp"
#include "support/ModalResponder.hpp"
#include "support/VisibleBoxes.hpp"
#include "window/CellToolTips.hpp"
#include "window/MemberFindBar.hpp"
#include "window/WindowHarness.hpp"

// The find field, the connection log and the keys, driven as a user drives them: by keys on
// the focused widget, found through objectNames.
class WindowExtrasTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void findLooksInLoginProtocolsAndUserBots_data();
    void findLooksInLoginProtocolsAndUserBots();
    void nextAndPreviousWrapAround();
    void aTextWithoutMatchChangesNothing();
    void escapeKeepsTheSelectionForTheCommands();
    void aLongListAnswersOnceItsIndexIsMade();
    void logListsTheEventsInOrder();
    void logTellsWhyALoginWasClosed();
    void logKeepsEachLookupFailureAndEachDroppedLine();
    void logNeverShowsThePasswordAnswer_data();
    void logNeverShowsThePasswordAnswer();
    void logShowsLinesOnlyOnRequestAndKeepsTheNewest();
    void logHidesEveryPasswordUntilAskedAndClosesByKey();
    void lastErrorIsTheConnectionPanelsTooltip();
    void keysReachTheCommands_data();
    void keysReachTheCommands();
    void menusCarryMnemonicsAndExitStaysLast();
    void cutCellsShowTheirWholeTextAsTooltip();

private:
    static void LogInWithMembers(WindowHarness& harness, const std::vector<std::string>& memberTexts);
    static void Activate(WindowHarness& harness);
    static QLineEdit* FindField(WindowHarness& harness);
    static QString SelectedCaption(WindowHarness& harness);
    static QPlainTextEdit* OpenLog(WindowHarness& harness);
    // The event names of the log's lines, in order.
    static QStringList LoggedNames(WindowHarness& harness);
};

namespace {

// alice, bobsmith, carol, dave, eve once sorted.
const std::vector<std::string> kMembers = {
    ",,carol=,chat news;smithy;", ",,alice=,chat;weather;", ",,eve=,SMITH;;",
    "on,,bobsmith=,news;;",       ",,dave=,files;b1;",
};

}  // namespace

void WindowExtrasTest::cleanup() {
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void WindowExtrasTest::LogInWithMembers(WindowHarness& harness, const std::vector<std::string>& memberTexts) {
    harness.LogIn("administrator");
    std::vector<std::string> lines;
    for (const auto& text : memberTexts) {
        lines.push_back("ARLM:" + text);
    }
    lines.push_back("ARLC");
    harness.Serve(lines);
}

void WindowExtrasTest::Activate(WindowHarness& harness) {
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
}

QLineEdit* WindowExtrasTest::FindField(WindowHarness& harness) {
    return harness.Window().findChild<QLineEdit*>(QStringLiteral("edFind"));
}

QString WindowExtrasTest::SelectedCaption(WindowHarness& harness) {
    const QModelIndexList rows = harness.List()->selectionModel()->selectedRows(0);
    return rows.size() == 1 ? rows.first().data().toString() : QString();
}

void WindowExtrasTest::findLooksInLoginProtocolsAndUserBots_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found");
    QTest::addColumn<bool>("noMatch");
    QTest::newRow("part of a login") << "bsmi"
                                     << "bobsmith" << false;
    QTest::newRow("login, other case") << "CaR"
                                       << "carol" << false;
    QTest::newRow("a protocol") << "files"
                                << "dave" << false;
    QTest::newRow("a user bot") << "weat"
                                << "alice" << false;
    QTest::newRow("first row in list order") << "smith"
                                             << "bobsmith" << false;
    QTest::newRow("second of two protocols") << "news"
                                             << "bobsmith" << false;
    // Fields are searched one by one, never across their separators; the last match stays.
    QTest::newRow("across fields") << "smith;"
                                   << "bobsmith" << true;
    QTest::newRow("nothing from the first key") << "q"
                                                << "" << true;
}

void WindowExtrasTest::findLooksInLoginProtocolsAndUserBots() {
    QFETCH(QString, typed);
    QFETCH(QString, found);
    QFETCH(bool, noMatch);
    WindowHarness harness;
    LogInWithMembers(harness, kMembers);
    Activate(harness);
    harness.List()->setFocus();
    QTest::keyClick(harness.List(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(FindField(harness)->isVisible());
    QVERIFY(FindField(harness)->hasFocus());
    QTest::keyClicks(FindField(harness), typed);
    QCOMPARE(SelectedCaption(harness), found);
    QCOMPARE(static_cast<MemberFindBar*>(FindField(harness))->NoMatch(), noMatch);
}

void WindowExtrasTest::nextAndPreviousWrapAround() {
    WindowHarness harness;
    LogInWithMembers(harness, kMembers);
    Activate(harness);
    harness.List()->setFocus();
    QTest::keyClick(harness.List(), Qt::Key_Slash);
    QLineEdit* field = FindField(harness);
    QVERIFY(field->hasFocus());
    QTest::keyClicks(field, "SMITH");
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* selected;
    };
    const std::vector<Step> steps = {
        {Qt::Key_Return, Qt::NoModifier, "carol"}, {Qt::Key_F3, Qt::NoModifier, "eve"},
        {Qt::Key_F3, Qt::NoModifier, "bobsmith"},  {Qt::Key_F3, Qt::ShiftModifier, "eve"},
        {Qt::Key_F3, Qt::ShiftModifier, "carol"},  {Qt::Key_F3, Qt::ShiftModifier, "bobsmith"},
        {Qt::Key_F3, Qt::ShiftModifier, "eve"},
    };
    for (const Step& step : steps) {
        QTest::keyClick(field, step.key, step.modifiers);
        QCOMPARE(SelectedCaption(harness), QString::fromLatin1(step.selected));
    }
    // "next" goes on from the selected row, also one chosen by hand meanwhile.
    harness.List()->selectionModel()->setCurrentIndex(
        harness.Model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(field, Qt::Key_F3);
    QCOMPARE(SelectedCaption(harness), QStringLiteral("bobsmith"));
}

void WindowExtrasTest::aTextWithoutMatchChangesNothing() {
    WindowHarness harness;
    LogInWithMembers(harness, kMembers);
    Activate(harness);
    QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier);
    QLineEdit* field = FindField(harness);
    QTest::keyClicks(field, "dav");
    QCOMPARE(SelectedCaption(harness), QStringLiteral("dave"));
    const QColor normal = field->palette().color(QPalette::Base);
    QTest::keyClicks(field, "x");
    QCOMPARE(SelectedCaption(harness), QStringLiteral("dave"));
    QCOMPARE(field->palette().color(QPalette::Base), MemberFindBar::kNoMatchColor);
    QTest::keyClick(field, Qt::Key_F3);
    QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(SelectedCaption(harness), QStringLiteral("dave"));
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->palette().color(QPalette::Base), normal);
    QCOMPARE(SelectedCaption(harness), QStringLiteral("dave"));
}

void WindowExtrasTest::escapeKeepsTheSelectionForTheCommands() {
    WindowHarness harness;
    LogInWithMembers(harness, kMembers);
    Activate(harness);
    const QRect listPlace = harness.List()->geometry();
    QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(FindField(harness), "bSm");
    QVERIFY(harness.List()->geometry().height() < listPlace.height());
    QTest::keyClick(FindField(harness), Qt::Key_Escape);
    QVERIFY(!FindField(harness)->isVisible());
    QCOMPARE(harness.List()->geometry(), listPlace);
    QVERIFY(harness.List()->hasFocus());
    QCOMPARE(SelectedCaption(harness), QStringLiteral("bobsmith"));
    const size_t sentBefore = harness.Socket().SentLines().size();
    auto answer = std::make_unique<ModalResponder>(
        [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; },
        [](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click(); });
    harness.Window().findChild<QAction*>("mnuExpelClient")->trigger();
    QVERIFY(answer->Answered());
    const auto sent = harness.Socket().SentLines();
    QCOMPARE(sent.size(), sentBefore + 1);
    QCOMPARE(sent.back(), std::string("ADX_bobsmith:"));
}

// More rows than one slice of the search index: a text only the last row holds is answered
// from idle slices, and an Escape meanwhile stops the answer from moving the selection.
void WindowExtrasTest::aLongListAnswersOnceItsIndexIsMade() {
    const int count = 2 * MemberFindBar::kRowsPerIndexSlice + 1;
    std::vector<std::string> members;
    for (int member = 0; member < count - 1; ++member) {
        members.push_back(",,m" + std::to_string(1000000 + member) + "=,chat;;");
    }
    members.push_back(",,zlast=,chat rare;;");
    WindowHarness harness;
    LogInWithMembers(harness, members);
    while (harness.Model()->RowCount() < count) {
        harness.Tick();
    }
    Activate(harness);
    QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier);
    auto* bar = static_cast<MemberFindBar*>(FindField(harness));
    QTest::keyClicks(bar, "RARE");
    QTRY_COMPARE(SelectedCaption(harness), QStringLiteral("zlast"));
    QVERIFY(bar->Indexed());

    harness.Serve({"ARLC"});
    QVERIFY(!bar->Indexed());
    harness.List()->selectionModel()->setCurrentIndex(
        harness.Model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    bar->selectAll();
    QTest::keyClick(bar, 'r');
    QCOMPARE(SelectedCaption(harness), QStringLiteral("m1000000"));
    QTest::keyClick(bar, Qt::Key_Escape);
    QTRY_VERIFY(bar->Indexed());
    QCoreApplication::processEvents();
    QCOMPARE(SelectedCaption(harness), QStringLiteral("m1000000"));
}

QPlainTextEdit* WindowExtrasTest::OpenLog(WindowHarness& harness) {
    harness.Window().findChild<QAction*>("mnuConnectionLog")->trigger();
    auto* log = harness.Window().findChild<QPlainTextEdit*>(QStringLiteral("txtConnectionLog"));
    return log != nullptr && log->window()->isVisible() ? log : nullptr;
}

QStringList WindowExtrasTest::LoggedNames(WindowHarness& harness) {
    static const QRegularExpression line(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  (\\S+)(  .*)?$"));
    QStringList names;
    const QStringList lines = OpenLog(harness)->toPlainText().split('\n', Qt::SkipEmptyParts);
    for (const QString& text : lines) {
        const QRegularExpressionMatch match = line.match(text);
        names << (match.hasMatch() ? match.captured(1) : QStringLiteral("?") + text);
    }
    return names;
}

void WindowExtrasTest::logListsTheEventsInOrder() {
    WindowHarness harness;
    // Entries made before the window is first opened are shown when it opens.
    harness.LogIn("administrator");
    harness.Serve({"SRE:5,6671,10.0.0.2"});
    harness.Tick();
    QCOMPARE(LoggedNames(harness),
             QStringList({"Lookup", "Connecting", "Connect", "Login", "SRE", "Disconnect"}));
    const QString text = OpenLog(harness)->toPlainText();
    QVERIFY(text.contains("Lookup  10.0.0.1:6670"));
    QVERIFY(text.contains("Login  logged in as admin"));
    QVERIFY(text.contains("SRE  the server orders a reconnection in 5 s to 10.0.0.2:6671"));
    // Later entries join the open window; the button clears it.
    harness.Socket().SetAutoAccept(false);
    harness.Connect();
    harness.Socket().FailLookup();
    harness.Tick();
    QCOMPARE(LoggedNames(harness).mid(6), QStringList({"Lookup", "Disconnect"}));
    harness.Socket().SetAutoAccept(true);
    QTest::mouseClick(harness.Window().findChild<QPushButton*>("btClearLog"), Qt::LeftButton);
    QVERIFY(OpenLog(harness)->toPlainText().isEmpty());
    harness.Connect();
    harness.Serve({"SRC"});
    harness.Tick();
    QCOMPARE(LoggedNames(harness), QStringList({"Lookup", "Connecting", "Connect", "SRC", "Disconnect"}));
}

// The box counts lookup failures and the list never sees an overlong line; the log keeps both.
void WindowExtrasTest::logKeepsEachLookupFailureAndEachDroppedLine() {
    const std::string failure = "Windows socket error: No such host is known (11001), on API 'ASync Lookup'";
    WindowHarness harness;
    harness.Window().ReportSocketFailure(failure);
    harness.Window().ReportSocketFailure(failure);
    for (QMessageBox* box : VisibleBoxes()) {
        box->close();
    }
    harness.LogIn("administrator");
    harness.Serve({std::string(LineFramer::kMaxHeldBytes + 1, 'x'), "ARLS"});
    harness.Tick();
    QCOMPARE(LoggedNames(harness),
             QStringList({"Error", "Error", "Lookup", "Connecting", "Connect", "Login", "Dropped"}));
    const QString text = OpenLog(harness)->toPlainText();
    QCOMPARE(text.count(QString::fromStdString("Error  " + failure)), 2);
    QVERIFY(text.contains("Dropped  a line longer than 1048576 bytes, unread"));
}

void WindowExtrasTest::logTellsWhyALoginWasClosed() {
    WindowHarness harness;
    harness.LogIn("chat");
    harness.Tick();
    QCOMPARE(LoggedNames(harness),
             QStringList({"Lookup", "Connecting", "Connect", "Login", "Closed", "Disconnect"}));
    QVERIFY(OpenLog(harness)->toPlainText().contains(
        "the server did not grant the \"administrator\" protocol to admin, so this client closes the "
        "connection"));
}

void WindowExtrasTest::logNeverShowsThePasswordAnswer_data() {
    // (line state, name, text) events as the window may receive them; the written lines
    // the log must show, in order.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("prompts answered one by one")
        << QStringList{"0 Read send login:", "0 Write admin", "0 Read send password:", "0 Write secret"}
        << QStringList{"admin", "********"};
    QTest::newRow("both prompts in one chunk, login done before the answers are written")
        << QStringList{"0 Read send login:", "0 Read send password:", "0 Read :)", "1 Write admin",
                       "1 Write secret"}
        << QStringList{"admin", "********"};
    QTest::newRow("a heartbeat before the answer is hidden too")
        << QStringList{"0 Read send password:", "0 Write  ", "0 Write secret", "1 Write  "}
        << QStringList{"********", "********", " "};
    QTest::newRow("a command before the login answer")
        << QStringList{"0 Read send login:", "0 Read send password:", "0 Write ADX_x:",
                       "0 Write admin",      "0 Write secret",        "1 Write ADX_y:"}
        << QStringList{"********", "admin", "********", "ADX_y:"};
    QTest::newRow("the password in any later line")
        << QStringList{"1 Write ADD_bob:", "1 Write secret"} << QStringList{"ADD_bob:", "********"};
    QTest::newRow("a new lookup forgets unanswered prompts")
        << QStringList{"0 Read send password:", "0 Lookup ", "0 Write hello"} << QStringList{"hello"};
    QTest::newRow("a cut line gives no order")
        << QStringList{"2 Read SRC", "1 Write hello"} << QStringList{"hello"};
    QTest::newRow("prompts after the login are not answered")
        << QStringList{"1 Read send password:", "1 Write hello"} << QStringList{"hello"};
}

void WindowExtrasTest::logNeverShowsThePasswordAnswer() {
    QFETCH(QStringList, events);
    QFETCH(QStringList, written);
    WindowHarness harness;  // login "admin", password "secret"
    ConnectionLog log([] { return std::string("t"); });
    log.SetShowLines(true);
    // The leading digit is the line's state, in the order LineState lists them.
    constexpr LineState kStates[] = {LineState::LoggedOut, LineState::LoggedIn, LineState::Cut,
                                     LineState::FromEndedConnection};
    for (const QString& event : events) {
        const int space = event.indexOf(' ', 2);
        const std::optional<LinkEventKind> kind = LinkEventKindNamed(event.mid(2, space - 2).toStdString());
        QVERIFY2(kind.has_value(), qPrintable(event));
        const std::string text = event.mid(space + 1).toStdString();
        log.Record({*kind, kStates[event.at(0).digitValue()], text}, ServerReports::ConnectionControlOf(text),
                   harness.Session());
    }
    QStringList shown;
    for (const ConnectionLogEntry& entry : log.Entries()) {
        QVERIFY(entry.name != "SRC");
        if (entry.name == "Write") {
            shown << QString::fromStdString(entry.text);
        }
        QVERIFY(entry.Line().find("secret") == std::string::npos);
    }
    QCOMPARE(shown, written);
}

// Member texts read, add and edit requests written and reconnection orders carry passwords; the
// log hides each of them while its box is off, which it is whenever the log window opens.
void WindowExtrasTest::logHidesEveryPasswordUntilAskedAndClosesByKey() {
    WindowHarness harness;
    QPlainTextEdit* text = OpenLog(harness);
    QVERIFY(text != nullptr);
    QWidget* log = text->window();
    auto* showPasswords = log->findChild<QCheckBox*>("cbShowPasswords");
    QVERIFY(showPasswords != nullptr && !showPasswords->isChecked());
    log->findChild<QCheckBox*>("cbShowLines")->click();
    harness.LogIn("administrator");
    harness.Serve({"ARLS", "ARLM:on,,Ember57=c0auq412,chat;;", "ARLM:,,nopass=,chat;;", "ARLC",
                   "ARI:on,,Ember57=c0auq412,chat;bot;"});
    harness.Session().AddAccount({"newbie", "pw4new", "chat", "b1"});
    harness.Session().EditAccount({"Ember57", "pw5edit", "chat", ""});
    harness.Serve({"SRE:9,6671,10.0.0.3,guest,s3cret"});
    const struct {
        const char* hidden;
        const char* revealed;
    } lines[] = {
        {"Read  ARLM:on,,Ember57=********,chat;;", "Read  ARLM:on,,Ember57=c0auq412,chat;;"},
        {"Read  ARLM:,,nopass=,chat;;", "Read  ARLM:,,nopass=,chat;;"},
        {"Read  ARI:on,,Ember57=********,chat;bot;", "Read  ARI:on,,Ember57=c0auq412,chat;bot;"},
        {"Read  SRE:9,6671,10.0.0.3,guest,********", "Read  SRE:9,6671,10.0.0.3,guest,s3cret"},
        {"Write  ADA_newbie:********,chat;b1", "Write  ADA_newbie:pw4new,chat;b1"},
        {"Write  ADE_Ember57:********,chat;", "Write  ADE_Ember57:pw5edit,chat;"},
    };
    for (const auto& line : lines) {
        QVERIFY2(text->toPlainText().contains(line.hidden), line.hidden);
    }
    for (const char* password : {"c0auq412", "s3cret", "pw4new", "pw5edit"}) {
        QVERIFY2(!text->toPlainText().contains(password), password);
    }
    showPasswords->click();
    for (const auto& line : lines) {
        QVERIFY2(text->toPlainText().contains(line.revealed), line.revealed);
    }
    // The login's own password stays hidden whatever the box says.
    for (const QString& line : text->toPlainText().split('\n')) {
        QVERIFY2(!line.endsWith("  secret"), qPrintable(line));
    }
    QVERIFY(text->toPlainText().contains("Write  ********"));

    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        QTest::keySequence(text, keys);
        QVERIFY2(!log->isVisible(), qPrintable(keys.toString()));
        harness.Window().findChild<QAction*>("mnuConnectionLog")->trigger();
        QVERIFY(log->isVisible());
        QVERIFY(!showPasswords->isChecked());
        QVERIFY(!text->toPlainText().contains("c0auq412"));
    }
    QTest::mouseClick(log->findChild<QPushButton*>("btCloseLog"), Qt::LeftButton);
    QVERIFY(!log->isVisible());
}

void WindowExtrasTest::logShowsLinesOnlyOnRequestAndKeepsTheNewest() {
    WindowHarness harness;
    QPlainTextEdit* text = OpenLog(harness);
    QVERIFY(text != nullptr);
    QVERIFY(!harness.Window().findChild<QCheckBox*>("cbShowLines")->isChecked());
    harness.LogIn("administrator");
    QVERIFY(!text->toPlainText().contains("Read"));
    QVERIFY(!text->toPlainText().contains("Write"));
    harness.Window().findChild<QCheckBox*>("cbShowLines")->click();
    harness.Session().Disconnect();
    harness.Tick();
    harness.LogIn("administrator");
    QVERIFY(text->toPlainText().contains("Read  send password:"));
    QVERIFY(text->toPlainText().contains("Write  admin"));
    QVERIFY(text->toPlainText().contains("Write  ********"));
    QVERIFY(!text->toPlainText().contains("secret"));
    // A reconnection order under other credentials carries their password too.
    harness.Serve({"SRE:1,6671,10.0.0.2,guest,hidden"});
    QVERIFY(!text->toPlainText().contains("hidden"));
    QVERIFY(text->toPlainText().contains("as guest"));

    QTest::mouseClick(harness.Window().findChild<QPushButton*>("btClearLog"), Qt::LeftButton);
    harness.LogIn("administrator");
    std::vector<std::string> lines;
    const int count = static_cast<int>(ConnectionLog::kCapacity) + 50;
    for (int i = 0; i < count; ++i) {
        lines.push_back("line " + std::to_string(i));
    }
    harness.Serve(lines);
    QCOMPARE(text->blockCount(), static_cast<int>(ConnectionLog::kCapacity));
    QVERIFY(text->document()->lastBlock().text().endsWith(QStringLiteral("Read  line %1").arg(count - 1)));
    const int firstKept = count - static_cast<int>(ConnectionLog::kCapacity);
    QVERIFY(text->document()->firstBlock().text().endsWith(QStringLiteral("Read  line %1").arg(firstKept)));
    // The log kept in the window's memory is bounded alike: a window opened anew shows the same.
    QVERIFY(text->isReadOnly());
    QVERIFY(text->textInteractionFlags() & Qt::TextSelectableByMouse);
}

void WindowExtrasTest::lastErrorIsTheConnectionPanelsTooltip() {
    WindowHarness harness;
    harness.Socket().SetAutoAccept(false);
    harness.Socket().SetErrorMessage(10061, "No connection could be made");
    QVERIFY(harness.Window().findChild<QLabel*>("StatusPanel2")->toolTip().isEmpty());
    harness.Connect();
    harness.Socket().Refuse(10061);
    harness.Tick();
    const QString tip = harness.Window().findChild<QLabel*>("StatusPanel2")->toolTip();
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  ConnectError - "))
                 .match(tip)
                 .hasMatch(),
             qPrintable(tip));
    QVERIFY(tip.contains(QString::fromStdString(harness.Session().Link().LastErrorText())));
    QVERIFY(OpenLog(harness)->toPlainText().contains("Error  " + tip.mid(25)));
    // The panel's own text stays the short state.
    QVERIFY(!harness.Panel(2).contains(QStringLiteral("No connection could be made")));
}

void WindowExtrasTest::keysReachTheCommands_data() {
    QTest::addColumn<QString>("target");  // objectName of the widget that gets the key
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("opens");  // objectName of the window or field that shows
    QTest::addColumn<QString>("title");  // part of a modal's name and title, if one opens
    QTest::newRow("Ctrl+L") << "ListView1" << int(Qt::Key_L) << int(Qt::ControlModifier) << "frmConnectionLog"
                            << "";
    QTest::newRow("Ctrl+J") << "ListView1" << int(Qt::Key_J) << int(Qt::ControlModifier) << "frmJournal"
                            << "";
    QTest::newRow("Ctrl+F") << "ListView1" << int(Qt::Key_F) << int(Qt::ControlModifier) << "edFind"
                            << "";
    QTest::newRow("slash") << "ListView1" << int(Qt::Key_Slash) << 0 << "edFind"
                           << "";
    QTest::newRow("F3 without text") << "ListView1" << int(Qt::Key_F3) << 0 << "edFind"
                                     << "";
    QTest::newRow("menu key") << "ListView1" << int(Qt::Key_Menu) << 0 << "puMembers"
                              << "";
    QTest::newRow("Shift+F10") << "ListView1" << int(Qt::Key_F10) << int(Qt::ShiftModifier) << "puMembers"
                               << "";
    QTest::newRow("Delete") << "ListView1" << int(Qt::Key_Delete) << 0 << ""
                            << "Delete Client";
    QTest::newRow("Enter") << "ListView1" << int(Qt::Key_Return) << 0 << ""
                           << "Edit Client";
    QTest::newRow("F1") << "ListView1" << int(Qt::Key_F1) << 0 << ""
                        << "frmkrvClientAAbout";
}

void WindowExtrasTest::keysReachTheCommands() {
    QFETCH(QString, target);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, opens);
    QFETCH(QString, title);
    WindowHarness harness;
    LogInWithMembers(harness, kMembers);
    Activate(harness);
    harness.List()->selectionModel()->setCurrentIndex(
        harness.Model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    auto* widget = harness.Window().findChild<QWidget*>(target);
    widget->setFocus();
    QString seenTitle;
    auto answer = std::make_unique<ModalResponder>([](QWidget*) { return true; },
                                                   [&seenTitle](QWidget* modal) {
                                                       seenTitle =
                                                           modal->objectName() + " " + modal->windowTitle();
                                                       modal->close();
                                                   });
    QTest::keyClick(widget, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    if (!title.isEmpty()) {
        QTRY_VERIFY(answer->Answered());
        QVERIFY2(seenTitle.contains(title), qPrintable(seenTitle));
        return;
    }
    QVERIFY(!answer->Answered());
    auto* shown = harness.Window().findChild<QWidget*>(opens);
    QVERIFY(shown != nullptr);
    QTRY_VERIFY(shown->isVisible());
    if (auto* menu = qobject_cast<QMenu*>(shown)) {
        menu->close();
    }
}

void WindowExtrasTest::menusCarryMnemonicsAndExitStaysLast() {
    WindowHarness harness;
    QStringList shown;
    for (QAction* menu : harness.Window().menuBar()->actions()) {
        shown << menu->text();
        for (QAction* entry : menu->menu()->actions()) {
            shown << (entry->isSeparator() ? QStringLiteral("-")
                                           : entry->text() + " " + entry->shortcut().toString());
        }
    }
    QCOMPARE(shown, QStringList({"&File", "Connection &log... Ctrl+L", "&Journal... Ctrl+J", "-",
                                 "E&xit Ctrl+Q", "&Servers", "&Help", "&About F1"}));
    QCOMPARE(harness.Window().findChild<QLabel*>("StatusPanel0")->toolTip(),
             QStringLiteral("members online"));
    QCOMPARE(harness.Window().findChild<QLabel*>("StatusPanel1")->toolTip(),
             QStringLiteral("members listed"));
    Activate(harness);
    QTest::keyClick(harness.List(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!harness.Window().isVisible());
}

void WindowExtrasTest::cutCellsShowTheirWholeTextAsTooltip() {
    WindowHarness harness;
    const std::string longBots = "weather,news,stocks,horoscope,traffic,translator,quiz";
    LogInWithMembers(harness, {",,al=,chat;" + longBots + ";"});
    auto* tips = harness.List()->findChild<CellToolTips*>("CellToolTips");
    QVERIFY(tips != nullptr);
    const QModelIndex login = harness.Model()->index(0, 0);
    const QModelIndex bots = harness.Model()->index(0, 2);
    QVERIFY(!tips->CellIsCut(login));
    QVERIFY(tips->CellIsCut(bots));
    QWidget* viewport = harness.List()->viewport();
    const QPoint inBots = harness.List()->visualRect(bots).center();
    QHelpEvent onBots(QEvent::ToolTip, inBots, viewport->mapToGlobal(inBots));
    QApplication::sendEvent(viewport, &onBots);
    QTRY_COMPARE(QToolTip::text(), QString::fromStdString(longBots));
    const QPoint inLogin = harness.List()->visualRect(login).center();
    QHelpEvent onLogin(QEvent::ToolTip, inLogin, viewport->mapToGlobal(inLogin));
    QApplication::sendEvent(viewport, &onLogin);
    QTRY_VERIFY(QToolTip::text().isEmpty());
}

QTEST_MAIN(WindowExtrasTest)
#include "WindowExtrasTest.moc"

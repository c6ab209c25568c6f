// Every window and dialog walked with the Tab key alone, as someone who cannot see the mouse
// pointer walks it: where the focus goes, that it comes round to where it started, that nothing
// that takes the focus is left out of the round, and that each stop has a name a screen reader
// can speak.

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "dialogs/ClickablePicture.hpp"
#include "dialogs/krvClientAAbout.hpp"
#include "dialogs/krvClient_Server.hpp"
#include "dialogs/krvServer_Client.hpp"
#include "support/ModalResponder.hpp"
#include "window/WindowHarness.hpp"

namespace {

QString SpokenName(QWidget* widget) {
    QAccessibleInterface* readable = QAccessible::queryAccessibleInterface(widget);
    return readable == nullptr ? QString() : readable->text(QAccessible::Name);
}

// The widgets of a window that Tab may stop at.
QList<QWidget*> TabStops(QWidget& window) {
    QList<QWidget*> stops;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisibleTo(&window) &&
            widget->isEnabled() && widget->window() == &window && widget->focusProxy() == nullptr) {
            stops << widget;
        }
    }
    return stops;
}

// Presses Tab from the widget that has the focus until the focus is back there.
QList<QWidget*> TabRound(QWidget& window) {
    QList<QWidget*> round;
    QWidget* start = QApplication::focusWidget();
    if (start == nullptr || start->window() != &window) {
        return round;
    }
    for (QWidget* at = start; round.size() <= 30;) {
        round << at;
        QTest::keyClick(at, Qt::Key_Tab);
        at = QApplication::focusWidget();
        if (at == start || at == nullptr) {
            break;
        }
    }
    return round;
}

QStringList Names(const QList<QWidget*>& widgets) {
    QStringList names;
    for (QWidget* widget : widgets) {
        names << widget->objectName();
    }
    return names;
}

// Walks the round of a window that has the focus and checks every stop.
void WalkWindow(QWidget& window, const QStringList& round) {
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(QApplication::focusWidget() != nullptr && QApplication::focusWidget()->window() == &window);
    const QList<QWidget*> walked = TabRound(window);
    QCOMPARE(Names(walked), round);
    for (QWidget* stop : TabStops(window)) {
        if (walked.contains(stop)) {
            continue;
        }
        // Buttons of one exclusive group are one stop: the arrows go between them.
        auto* button = qobject_cast<QAbstractButton*>(stop);
        QButtonGroup* group = button == nullptr ? nullptr : button->group();
        QVERIFY2(group != nullptr && group->exclusive(),
                 qPrintable(stop->objectName() + " is not reached by Tab"));
        const auto reached = std::find_if(walked.begin(), walked.end(), [group](QWidget* widget) {
            auto* member = qobject_cast<QAbstractButton*>(widget);
            return member != nullptr && member->group() == group;
        });
        QVERIFY2(reached != walked.end(),
                 qPrintable(stop->objectName() + " is in a group Tab does not reach"));
        (*reached)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(*reached, Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), stop);
    }
    for (QWidget* stop : walked) {
        QVERIFY2(!SpokenName(stop).trimmed().isEmpty(), qPrintable(stop->objectName() + " has no name"));
    }
    QVERIFY2(!SpokenName(&window).isEmpty(), qPrintable(window.objectName() + " has no title"));
}

}  // namespace

class KeyboardReachTest : public QObject {
    Q_OBJECT

private slots:
    void everyWindowIsWalkedAndNamed_data();
    void everyWindowIsWalkedAndNamed();
    void fieldsAreNamedByTheirCaptions();
    void aboutPicturesOpenFromTheKeyboard();
    void popupCommandsReadWithTheirLabels();
    void aReaderPressesConnectAsAClickDoes();
};

using Opener = std::function<void(WindowHarness&)>;
Q_DECLARE_METATYPE(Opener)

void KeyboardReachTest::everyWindowIsWalkedAndNamed_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("modal");
    QTest::addColumn<Opener>("open");
    QTest::addColumn<QStringList>("round");
    const auto trigger = [](const char* action) {
        return Opener(
            [action](WindowHarness& harness) { harness.Window().findChild<QAction*>(action)->trigger(); });
    };
    QTest::newRow("main window") << "frmKrvClientA" << false
                                 << Opener([](WindowHarness& harness) { harness.List()->setFocus(); })
                                 << QStringList{"ListView1", "cbAutoReconnect", "btConnect"};
    QTest::newRow("main window, find field open")
        << "frmKrvClientA" << false << Opener([](WindowHarness& harness) {
               QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier);
           })
        << QStringList{"edFind", "cbAutoReconnect", "btConnect", "ListView1"};
    QTest::newRow("connection dialog") << "frmKrvClient_Server" << true << Opener([](WindowHarness& harness) {
        harness.Window().findChild<QAbstractButton*>("btConnect")->click();
    }) << QStringList{"edHost",  "edPort",   "edLogin",           "edPassword", "edDelay", "edAttempts",
                      "edPause", "edCycles", "cbAutoReconnectOn", "Button1",    "Button2"};
    QTest::newRow("account dialog") << "frmServer_Client" << true << Opener([](WindowHarness& harness) {
        harness.LogIn();
        harness.Serve({"ARLM:on,,bob=pw,chat;;", "ARLC"});
        harness.Window().findChild<QAction*>("mnuAddClient")->trigger();
    }) << QStringList{"edLogin", "edPassword", "edProtocols", "edUserBots", "Button1", "Button2"};
    QTest::newRow("about box") << "frmkrvClientAAbout" << true << trigger("mnuHelpAbout")
                               << QStringList{"imHouse", "imEmail"};
    QTest::newRow("connection log") << "frmConnectionLog" << false << trigger("mnuConnectionLog")
                                    << QStringList{"txtConnectionLog", "cbShowLines", "cbShowPasswords",
                                                   "btClearLog", "btCloseLog"};
}

void KeyboardReachTest::everyWindowIsWalkedAndNamed() {
    QFETCH(QString, window);
    QFETCH(bool, modal);
    QFETCH(Opener, open);
    QFETCH(QStringList, round);
    WindowHarness harness;
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
    if (modal) {
        ModalResponder walk([window](QWidget* modal) { return modal->objectName() == window; },
                            [round](QWidget* modal) { WalkWindow(*modal, round); });
        open(harness);
        QTRY_VERIFY(walk.Answered());
        return;
    }
    open(harness);
    QWidget* shown = nullptr;
    for (QWidget* topLevel : QApplication::topLevelWidgets()) {
        if (topLevel->objectName() == window && topLevel->isVisible()) {
            shown = topLevel;
        }
    }
    QVERIFY(shown != nullptr);
    shown->activateWindow();
    WalkWindow(*shown, round);
}

void KeyboardReachTest::fieldsAreNamedByTheirCaptions() {
    TfrmKrvClient_Server connection;
    TfrmServer_Client account;
    struct Field {
        QWidget* field;
        QString name;
    };
    for (const Field& field : {Field{connection.edHost, "Host:"}, Field{connection.edPassword, "Password:"},
                               Field{connection.edCycles, "Reconnect cycles (-1 non-stop)"},
                               Field{account.edLogin, "Login:"}, Field{account.edUserBots, "User Bots:"}}) {
        QCOMPARE(SpokenName(field.field), field.name);
    }
}

void KeyboardReachTest::aboutPicturesOpenFromTheKeyboard() {
    TfrmkrvClientAAbout about;
    about.Fill();
    QStringList opened;
    about.SetAddressOpener([&opened](const QString& address) { opened << address; });
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QTest::keyClick(about.imHouse, Qt::Key_Space);
    QTest::keyClick(about.imEmail, Qt::Key_Return);
    QCOMPARE(opened, (QStringList{kAuthorWebPage, about.MailAddressText()}));
    QCOMPARE(SpokenName(about.imHouse), QStringLiteral("Web page"));
    QCOMPARE(SpokenName(about.imEmail), QStringLiteral("Write a mail"));
}

void KeyboardReachTest::popupCommandsReadWithTheirLabels() {
    WindowHarness harness;
    harness.LogIn();
    harness.Serve({"ARLM:on,,bob=pw,chat;;", "ARLC"});
    auto* popup = harness.Window().findChild<QMenu*>("puMembers");
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(popup);
    QCOMPARE(menu->text(QAccessible::Name), QStringLiteral("Member commands"));
    int commands = 0;
    for (int i = 0; i < menu->childCount(); ++i) {
        QAccessibleInterface* entry = menu->child(i);
        if (entry->role() == QAccessible::Separator) {
            continue;
        }
        ++commands;
        QVERIFY(!entry->text(QAccessible::Name).isEmpty());
    }
    QCOMPARE(commands, 10);
    // The popup opens from the keyboard on the current row.
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
    harness.List()->setFocus();
    harness.List()->setCurrentIndex(harness.Model()->index(0, 0));
    QTest::keyClick(harness.List(), Qt::Key_Menu);
    QTRY_VERIFY(popup->isVisible());
    popup->close();
}

// A reader's action on "connect" opens the connection dialog, as a click does, and the pair
// reads which of them is down.
void KeyboardReachTest::aReaderPressesConnectAsAClickDoes() {
    WindowHarness harness;
    QAccessibleInterface* connect =
        QAccessible::queryAccessibleInterface(harness.Window().findChild<QWidget*>("btConnect"));
    QAccessibleInterface* disconnect =
        QAccessible::queryAccessibleInterface(harness.Window().findChild<QWidget*>("btDisconnect"));
    QCOMPARE(connect->role(), QAccessible::Button);
    QCOMPARE(connect->text(QAccessible::Name), QStringLiteral("connect"));
    QVERIFY(connect->state().checkable);
    QVERIFY(!connect->state().checked);
    QVERIFY(disconnect->state().checked);
    const QStringList actions = connect->actionInterface()->actionNames();
    QVERIFY(!actions.isEmpty());
    QCOMPARE(actions.front(), QAccessibleActionInterface::pressAction());
    ModalResponder dialog(
        [](QWidget* modal) { return modal->objectName() == QStringLiteral("frmKrvClient_Server"); },
        [](QWidget*) {});
    connect->actionInterface()->doAction(actions.front());
    QTRY_VERIFY(dialog.Answered());
}

QTEST_MAIN(KeyboardReachTest)
#include "KeyboardReachTest.moc"

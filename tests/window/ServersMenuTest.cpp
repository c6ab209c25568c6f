#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

#include "dialogs/krvClient_Server.hpp"
#include "settings/IniStore.hpp"
#include "settings/PasswordPlace.hpp"
#include "settings/SavedServers.hpp"
#include "support/ModalResponder.hpp"
#include "window/WindowHarness.hpp"

// The Servers menu over the settings file, with no keyring: passwords stay in the file as they
// always did.
class ServersMenuTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void saveAsKeepsTheConnectionInUseUnderAName();
    void savingAnExistingNameAsksToReplaceIt_data();
    void savingAnExistingNameAsksToReplaceIt();
    void choosingAServerMakesItTheConnectionInUseAndOpensTheDialog();
    void renameAndDeleteThroughTheirSubmenus();
    void aPasswordNotRememberedIsAskedAtEveryConnectAndKeptNowhere();
    void acceptedConnectionsAreListedAsRecent();

private:
    static QMenu* Menu(WindowHarness& harness);
    static QAction* Action(WindowHarness& harness, const QString& name);
    static IniStore File(WindowHarness& harness);
    static void SaveAs(WindowHarness& harness, const QString& name);
    static void WriteServer(WindowHarness& harness, const SavedServer& server);
};

void ServersMenuTest::cleanup() {
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QMenu* ServersMenuTest::Menu(WindowHarness& harness) {
    auto* menu = harness.Window().menuBar()->findChild<QMenu*>(QStringLiteral("mnuServers"));
    // The menu reads the file as it opens.
    if (menu != nullptr) {
        emit menu->aboutToShow();
    }
    return menu;
}

QAction* ServersMenuTest::Action(WindowHarness& harness, const QString& name) {
    QMenu* menu = Menu(harness);
    return menu == nullptr ? nullptr : menu->findChild<QAction*>(name);
}

IniStore ServersMenuTest::File(WindowHarness& harness) {
    IniStore ini(QFile::encodeName(harness.Window().IniFileName()).toStdString());
    ini.Load();
    return ini;
}

void ServersMenuTest::SaveAs(WindowHarness& harness, const QString& name) {
    auto answer = AnswerDialog<QInputDialog>([name](QInputDialog* dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("dlgServerName"));
        dialog->setTextValue(name);
        dialog->accept();
    });
    QAction* saveAs = Action(harness, QStringLiteral("mnuServerSaveAs"));
    QVERIFY(saveAs != nullptr);
    saveAs->trigger();
    QVERIFY(answer->Answered());
}

void ServersMenuTest::WriteServer(WindowHarness& harness, const SavedServer& server) {
    IniStore ini = File(harness);
    QVERIFY(WriteSavedServer(ini, server));
    QVERIFY(ini.Save());
}

void ServersMenuTest::saveAsKeepsTheConnectionInUseUnderAName() {
    WindowHarness harness;
    harness.Session().SetServer("prod.test", 7001);
    harness.Session().ApplySchedule({false, 3, 4, 5, 7});
    harness.Window().SaveSettings();
    const std::string clientBefore = File(harness).Text();
    SaveAs(harness, QStringLiteral("Prod"));

    const std::optional<SavedServer> saved = FindSavedServer(File(harness), "prod");
    QVERIFY(saved.has_value());
    QCOMPARE(saved->name, std::string("Prod"));
    QCOMPARE(saved->host, std::string("prod.test"));
    QCOMPARE(saved->port, 7001);
    QCOMPARE(saved->login, std::string("admin"));
    QCOMPARE(saved->password, std::string("secret"));
    QCOMPARE(std::tuple(saved->reconnectOn, saved->reconnectDelay, saved->reconnectAttempts,
                        saved->reconnectPause, saved->reconnectCycles),
             std::tuple(false, 3, 4, 5, 7));
    // What was there is there still, byte for byte; the server follows it.
    QCOMPARE(File(harness).Text().substr(0, clientBefore.size()), clientBefore);
    QAction* entry = Action(harness, QStringLiteral("mnuServer_Prod"));
    QVERIFY(entry != nullptr);
    QVERIFY(entry->isChecked());
}

void ServersMenuTest::savingAnExistingNameAsksToReplaceIt_data() {
    QTest::addColumn<bool>("replace");
    QTest::newRow("kept") << false;
    QTest::newRow("replaced") << true;
}

void ServersMenuTest::savingAnExistingNameAsksToReplaceIt() {
    QFETCH(bool, replace);
    WindowHarness harness;
    harness.Session().SetServer("old.test", 7001);
    SaveAs(harness, QStringLiteral("Prod"));
    harness.Session().SetServer("new.test", 7002);
    SeenBox seen;
    auto box = AnswerMessageBox(seen, replace ? QMessageBox::Ok : QMessageBox::Cancel);
    SaveAs(harness, QStringLiteral("PROD"));
    QVERIFY(box->Answered());
    QVERIFY2(seen.text.contains(QStringLiteral("PROD")), qPrintable(seen.text));
    const std::vector<SavedServer> servers = ReadSavedServers(File(harness));
    QCOMPARE(servers.size(), size_t{1});
    QCOMPARE(servers[0].name, std::string(replace ? "PROD" : "Prod"));
    QCOMPARE(servers[0].host, std::string(replace ? "new.test" : "old.test"));
}

void ServersMenuTest::choosingAServerMakesItTheConnectionInUseAndOpensTheDialog() {
    WindowHarness harness;
    harness.Session().SetServer("prod.test", 7001);
    SaveAs(harness, QStringLiteral("Prod"));
    SavedServer lab;
    lab.name = "Lab";
    lab.host = "lab.test";
    lab.port = 7100;
    lab.login = "root";
    lab.password = "labpw";
    lab.reconnectDelay = 2;
    WriteServer(harness, lab);

    QAction* choose = Action(harness, QStringLiteral("mnuServer_Lab"));
    QVERIFY(choose != nullptr);
    QVERIFY(!choose->isChecked());
    auto answer = AnswerDialog<TfrmKrvClient_Server>([](TfrmKrvClient_Server* dialog) {
        QCOMPARE(dialog->edHost->text(), QStringLiteral("lab.test"));
        QCOMPARE(dialog->edPort->text(), QStringLiteral("7100"));
        QCOMPARE(dialog->edLogin->text(), QStringLiteral("root"));
        QCOMPARE(dialog->edPassword->text(), QStringLiteral("labpw"));
        QCOMPARE(dialog->edDelay->text(), QStringLiteral("2"));
        dialog->reject();
    });
    choose->trigger();
    QVERIFY(answer->Answered());
    // Cancelled, the dialog connects nothing; the server is the connection in use all the same.
    QVERIFY(!harness.Link().Connected());
    const StoredSettings inUse = ReadStoredSettings(File(harness));
    QCOMPARE(inUse.host, std::string("lab.test"));
    QCOMPARE(inUse.port, 7100);
    QCOMPARE(inUse.login, std::string("root"));
    QVERIFY(Action(harness, QStringLiteral("mnuServer_Lab"))->isChecked());
    QVERIFY(!Action(harness, QStringLiteral("mnuServer_Prod"))->isChecked());
    // The saved servers themselves are unchanged by being chosen.
    QCOMPARE(*FindSavedServer(File(harness), "Lab"), lab);
}

void ServersMenuTest::renameAndDeleteThroughTheirSubmenus() {
    WindowHarness harness;
    SaveAs(harness, QStringLiteral("One"));
    SaveAs(harness, QStringLiteral("Two"));
    {
        SeenBox seen;
        auto taken = AnswerMessageBox(seen);
        auto answer = AnswerDialog<QInputDialog>([](QInputDialog* dialog) {
            dialog->setTextValue(QStringLiteral("two"));
            dialog->accept();
        });
        Action(harness, QStringLiteral("mnuServerRename_One"))->trigger();
        QVERIFY(taken->Answered());
        QVERIFY2(seen.text.contains(QStringLiteral("saved already")), qPrintable(seen.text));
    }
    auto answer = AnswerDialog<QInputDialog>([](QInputDialog* dialog) {
        QCOMPARE(dialog->textValue(), QStringLiteral("One"));
        dialog->setTextValue(QStringLiteral("Three"));
        dialog->accept();
    });
    Action(harness, QStringLiteral("mnuServerRename_One"))->trigger();
    QVERIFY(answer->Answered());
    QVERIFY(!FindSavedServer(File(harness), "One"));
    QVERIFY(FindSavedServer(File(harness), "Three"));

    SeenBox seen;
    auto confirm = AnswerMessageBox(seen, QMessageBox::Ok);
    Action(harness, QStringLiteral("mnuServerDelete_Two"))->trigger();
    QVERIFY(confirm->Answered());
    const std::vector<SavedServer> left = ReadSavedServers(File(harness));
    QCOMPARE(left.size(), size_t{1});
    QCOMPARE(left[0].name, std::string("Three"));
    QVERIFY(Action(harness, QStringLiteral("mnuServer_Two")) == nullptr);
}

void ServersMenuTest::aPasswordNotRememberedIsAskedAtEveryConnectAndKeptNowhere() {
    WindowHarness harness;
    QAction* remember = Action(harness, QStringLiteral("mnuRememberPassword"));
    QVERIFY(remember->isChecked());
    remember->trigger();
    QVERIFY(!harness.Window().Policy().remember);
    IniStore file = File(harness);
    QCOMPARE(file.ReadString(kClientSection, "Password", "?"), std::string());
    QVERIFY(!ReadPasswordPolicy(file).remember);
    SaveAs(harness, QStringLiteral("Asked"));
    QVERIFY(!FindSavedServer(File(harness), "Asked")->rememberPassword);
    QCOMPARE(FindSavedServer(File(harness), "Asked")->password, std::string());

    auto answer = AnswerDialog<TfrmKrvClient_Server>([](TfrmKrvClient_Server* dialog) {
        QCOMPARE(dialog->edPassword->text(), QString());
        dialog->edHost->setText(QStringLiteral("10.0.0.1"));
        dialog->edPort->setText(QStringLiteral("6670"));
        dialog->edPassword->setText(QStringLiteral("typed"));
        dialog->accept();
    });
    harness.Window().findChild<QToolButton*>(QStringLiteral("btConnect"))->click();
    QVERIFY(answer->Answered());
    QCOMPARE(harness.Link().Password(), std::string("typed"));
    harness.Window().SaveSettings();
    QCOMPARE(File(harness).ReadString(kClientSection, "Password", "?"), std::string());
    QVERIFY(File(harness).Text().find(ScrambledPassword("typed")) == std::string::npos);

    // Remembered again, the file keeps it as it always did.
    Action(harness, QStringLiteral("mnuRememberPassword"))->trigger();
    QCOMPARE(ReadStoredSettings(File(harness)).password, std::string("typed"));
}

void ServersMenuTest::acceptedConnectionsAreListedAsRecent() {
    WindowHarness harness;
    QVERIFY(Action(harness, QStringLiteral("mnuRecent_1")) == nullptr);
    auto answer = AnswerDialog<TfrmKrvClient_Server>([](TfrmKrvClient_Server* dialog) {
        dialog->edHost->setText(QStringLiteral("10.0.0.9"));
        dialog->edPort->setText(QStringLiteral("6671"));
        dialog->accept();
    });
    QVERIFY(harness.Window().RunConnectDialog());
    harness.Window().SaveSettings();
    QAction* recent = Action(harness, QStringLiteral("mnuRecent_1"));
    QVERIFY(recent != nullptr);
    QCOMPARE(recent->text(), QStringLiteral("admin@10.0.0.9:6671"));
    harness.Session().StayDisconnected();
    harness.Session().SetServer("elsewhere.test", 1);
    auto reopened = AnswerDialog<TfrmKrvClient_Server>([](TfrmKrvClient_Server* dialog) {
        QCOMPARE(dialog->edHost->text(), QStringLiteral("10.0.0.9"));
        QCOMPARE(dialog->edPort->text(), QStringLiteral("6671"));
        dialog->reject();
    });
    recent->trigger();
    QVERIFY(reopened->Answered());
}

QTEST_MAIN(ServersMenuTest)
#include "ServersMenuTest.moc"

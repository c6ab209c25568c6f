// Commands on several selected members, driven through the window's names against a scripted
// server: the confirmation, the backup, the pacing from the window's tick, and the summary.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <QComboBox>

#include "support/ModalResponder.hpp"
#include "window/BulkConfirmDialog.hpp"
#include "window/BulkEditDialog.hpp"
#include "window/MemberCommands.hpp"
#include "window/WindowHarness.hpp"

namespace {

// For a look at the dialogs by eye: KRV_SHOTS names a folder to save them in.
void Shoot(QWidget& widget, const QString& name) {
    const QString folder = qEnvironmentVariable("KRV_SHOTS");
    if (!folder.isEmpty()) {
        widget.grab().save(folder + "/" + name + ".png");
    }
}

}  // namespace

class BulkCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void severalSelectedRowsGetTheCommandsForMany();
    void bulkDeleteIsConfirmedByTheCountAndSummarised();
    void aWrongCountSendsNothing();
    void expelOfFewNeedsNoTypedCount();
    void reportsWhileTheDialogIsOpenRemakeThePlan_data();
    void reportsWhileTheDialogIsOpenRemakeThePlan();
    void cancelStopsSendingAndFollowsWhatWasSent();
    void editOfManyChangesOneNameOfEach_data();
    void editOfManyChangesOneNameOfEach();
    void editOfManyCancelledSendsNothing();
    void aSecondCommandWaitsForTheFirst();
    void anEditOfMoreThanTenWantsTheCountTyped_data();
    void anEditOfMoreThanTenWantsTheCountTyped();

private:
    void Start(WindowHarness& harness);
    void SelectRows(WindowHarness& harness, const QStringList& captions);
    static void TickWindow(WindowHarness& harness);
    std::unique_ptr<QTemporaryDir> data_;
    QByteArray oldDataHome_;
};

void BulkCommandsTest::init() {
    data_ = std::make_unique<QTemporaryDir>();
    oldDataHome_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data_->path().toUtf8());
}

void BulkCommandsTest::cleanup() {
    qputenv("XDG_DATA_HOME", oldDataHome_);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == "dlgBulkSummary") {
            window->close();
        }
    }
}

void BulkCommandsTest::Start(WindowHarness& harness) {
    harness.LogIn();
    harness.Serve({"ARLM:on,,admin=secret,administrator;;", "ARLM:on,,ann=pa,chat;b1;",
                   "ARLM:,,bea=pb,mail;;", "ARLM:on,,cid=pc,chat news;;", "ARLM:,,dan=pd,;;",
                   "ARLM:,,eve=pe,chat;;", "ARLC"});
    QCOMPARE(harness.Model()->rowCount(), 6);
    // The list's keys are the focused list's own.
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
}

void BulkCommandsTest::SelectRows(WindowHarness& harness, const QStringList& captions) {
    QItemSelectionModel* selection = harness.List()->selectionModel();
    selection->clear();
    for (const QString& caption : captions) {
        const int row = harness.Captions().indexOf(caption);
        QVERIFY(row >= 0);
        selection->select(harness.Model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

// What the window's timer does: the session's tick, then the command on many members sends on.
void BulkCommandsTest::TickWindow(WindowHarness& harness) {
    harness.Tick();
    harness.Window().findChild<MemberCommands*>()->AfterTick();
}

void BulkCommandsTest::severalSelectedRowsGetTheCommandsForMany() {
    WindowHarness harness;
    Start(harness);
    QAbstractItemView* list = harness.List();
    list->setFocus(Qt::OtherFocusReason);
    const auto popupAfterMenuKey = [&] {
        QTest::keyClick(list, Qt::Key_Menu);
        QString name;
        for (const char* menu : {"puMembers", "puMembersMany"}) {
            auto* popup = harness.Window().findChild<QMenu*>(menu);
            if (popup->isVisible()) {
                name += QLatin1String(menu);
                popup->close();
            }
        }
        return name;
    };
    SelectRows(harness, {"bea"});
    QCOMPARE(popupAfterMenuKey(), QStringLiteral("puMembers"));
    SelectRows(harness, {"bea", "dan"});
    QCOMPARE(popupAfterMenuKey(), QStringLiteral("puMembersMany"));
    QStringList shown;
    for (QAction* action : harness.Window().findChild<QMenu*>("puMembersMany")->actions()) {
        shown << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    }
    QCOMPARE(shown, (QStringList{"mnuManyAddClient", "mnuBulkEdit", "-", "mnuBulkDelete", "mnuBulkExpel", "-",
                                 "mnuBulkLogoff", "mnuManyAllLogoffExcl", "mnuManyAllLogoffInc", "-",
                                 "mnuBulkReconnect", "mnuManyAllReconnectExc", "mnuManyAllReconnectIncl"}));
}

// The administrator's own account is among the selected rows: it is skipped, and so absent from
// the backup. One delete is refused by the server; the rows and counters follow the reports.
void BulkCommandsTest::bulkDeleteIsConfirmedByTheCountAndSummarised() {
    WindowHarness harness;
    Start(harness);
    SelectRows(harness, {"admin", "ann", "bea", "dan"});
    QString targets;
    QString skipped;
    bool goBeforeCount = true;
    bool goWithWrongCount = true;
    auto answer = AnswerDialog<QDialog>([&](QDialog* dialog) {
        QVERIFY(dialog->objectName() == "dlgBulkConfirm");
        targets = dialog->findChild<QLabel*>("lbBulkTargets")->text();
        skipped = dialog->findChild<QLabel*>("lbBulkSkipped")->text();
        auto* go = dialog->findChild<QPushButton*>("btnBulkGo");
        auto* count = dialog->findChild<QLineEdit*>("edBulkCount");
        QVERIFY(count != nullptr);
        goBeforeCount = go->isEnabled();
        QTest::keyClicks(count, "4");
        goWithWrongCount = go->isEnabled();
        count->clear();
        QTest::keyClicks(count, "3");
        QVERIFY(go->isEnabled());
        Shoot(*dialog, "confirm");
        go->click();
    });
    // The Delete key opens the delete for many when several rows are selected.
    harness.List()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(harness.List(), Qt::Key_Delete);
    QVERIFY(answer->Answered());
    QCOMPARE(targets, QStringLiteral("About to delete 3 members: ann, bea, dan."));
    QVERIFY2(skipped.contains("admin: the account of this connection"), qPrintable(skipped));
    QVERIFY(!goBeforeCount);
    QVERIFY(!goWithWrongCount);
    QPointer<QDialog> progress = harness.Window().findChild<QDialog*>("dlgBulkProgress");
    QVERIFY(progress != nullptr && progress->isVisible());
    Shoot(*progress, "progress");
    const std::vector<std::string> sent = harness.Socket().SentLines();
    const auto sentCount = [&](const std::string& line) {
        return std::count(sent.begin(), sent.end(), line);
    };
    QCOMPARE(sentCount("ADD_ann:"), 1);
    QCOMPARE(sentCount("ADD_bea:"), 1);
    QCOMPARE(sentCount("ADD_dan:"), 1);
    QCOMPARE(sentCount("ADD_admin:"), 0);
    // Only a report counts as done.
    harness.Serve({"ARD_ann"});
    TickWindow(harness);
    QVERIFY2(progress->findChild<QLabel*>("lbBulkProgress")->text().startsWith("1 of 3 done, 3 sent"),
             qPrintable(progress->findChild<QLabel*>("lbBulkProgress")->text()));
    harness.Serve({"ARE_bea:account is protected", "ARD_dan"});
    TickWindow(harness);
    QCOMPARE(harness.Captions(), (QStringList{"admin", "bea", "cid", "eve"}));
    QCOMPARE(harness.Panel(1), QStringLiteral("4"));
    auto* summary = harness.Window().findChild<QDialog*>("dlgBulkSummary");
    QVERIFY(summary != nullptr && summary->isVisible());
    Shoot(*summary, "summary");
    QCOMPARE(summary->findChild<QLabel*>("lbBulkSummary")->text(),
             QStringLiteral("2 confirmed, 1 refused, 0 unconfirmed, 1 skipped"));
    const QString details = summary->findChild<QPlainTextEdit*>("edBulkSummary")->toPlainText();
    QVERIFY2(details.contains("refused bea: account is protected"), qPrintable(details));
    QVERIFY2(details.contains("skipped admin:"), qPrintable(details));
    QVERIFY2(details.contains("restore with: krvadmin import --update '" + data_->path()),
             qPrintable(details));
    QVERIFY(!summary->findChild<QPushButton*>("btnSaveUnconfirmed")->isEnabled());
    QVERIFY(summary->findChild<QPushButton*>("btnSaveRefused")->isEnabled());
    const QString refusedCsv = data_->filePath("refused.csv");
    auto save = AnswerDialog<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectFile(refusedCsv);
        static_cast<QDialog*>(dialog)->accept();
    });
    summary->findChild<QPushButton*>("btnSaveRefused")->click();
    QVERIFY(save->Answered());
    QFile saved(refusedCsv);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()),
             QStringLiteral("login,reason\r\nbea,account is protected\r\n"));
    // The backup holds the accounts sent for deletion, not the administrator's.
    const qsizetype start = details.indexOf("backup: ") + 8;
    QFile backup(details.mid(start, details.indexOf('\n', start) - start));
    QVERIFY2(backup.open(QIODevice::ReadOnly), qPrintable(backup.fileName()));
    const QString text = QString::fromUtf8(backup.readAll());
    QVERIFY(text.contains("ann,pa,chat,b1"));
    QVERIFY(text.contains("dan,pd,,"));
    QVERIFY(!text.contains("admin"));
    QVERIFY(backup.permissions() == (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ReadUser | QFileDevice::WriteUser));
    QVERIFY(progress.isNull() || !progress->isVisible());
}

void BulkCommandsTest::aWrongCountSendsNothing() {
    WindowHarness harness;
    Start(harness);
    SelectRows(harness, {"bea", "dan"});
    const size_t before = harness.Socket().SentLines().size();
    auto answer = AnswerDialog<QDialog>([](QDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("edBulkCount"), "3");
        QTest::keyClick(dialog->findChild<QLineEdit*>("edBulkCount"), Qt::Key_Return);
    });
    harness.Window().findChild<QAction*>("mnuBulkDelete")->trigger();
    QVERIFY(answer->Answered());
    TickWindow(harness);
    QCOMPARE(harness.Socket().SentLines().size(), before);
    QVERIFY(harness.Window().findChild<QDialog*>("dlgBulkProgress") == nullptr);
    QVERIFY(QDir(data_->filePath("krvClientA/backups")).isEmpty());
}

// Up to ten members, a command that deletes nothing goes on at the button; an offline member is
// skipped, and no backup is written.
void BulkCommandsTest::expelOfFewNeedsNoTypedCount() {
    WindowHarness harness;
    Start(harness);
    SelectRows(harness, {"ann", "bea", "cid"});
    bool typed = true;
    auto answer = AnswerDialog<QDialog>([&](QDialog* dialog) {
        typed = dialog->findChild<QLineEdit*>("edBulkCount") != nullptr;
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    harness.Window().findChild<QAction*>("mnuBulkExpel")->trigger();
    QVERIFY(answer->Answered());
    QVERIFY(!typed);
    harness.Serve({"ARO:,,ann=pa,chat;b1;", "ARO:,,cid=pc,chat news;;"});
    TickWindow(harness);
    auto* summary = harness.Window().findChild<QDialog*>("dlgBulkSummary");
    QVERIFY(summary != nullptr);
    QCOMPARE(summary->findChild<QLabel*>("lbBulkSummary")->text(),
             QStringLiteral("2 confirmed, 0 refused, 0 unconfirmed, 1 skipped"));
    QVERIFY(!summary->findChild<QPlainTextEdit*>("edBulkSummary")->toPlainText().contains("backup"));
    QVERIFY(QDir(data_->filePath("krvClientA/backups")).isEmpty());
}

void BulkCommandsTest::reportsWhileTheDialogIsOpenRemakeThePlan_data() {
    QTest::addColumn<QStringList>("meanwhile");  // served while the confirmation is open
    QTest::addColumn<QStringList>("sentTo");
    QTest::newRow("nothing") << QStringList() << QStringList{"ann", "cid"};
    QTest::newRow("a report on another member")
        << QStringList{"ARI:on,,dan=pd,;;"} << QStringList{"ann", "cid"};
    QTest::newRow("one came online") << QStringList{"ARI:on,,bea=pb,mail;;"}
                                     << QStringList{"ann", "bea", "cid"};
    QTest::newRow("one went") << QStringList{"ARD_ann"} << QStringList{"cid"};
    QTest::newRow("one went offline") << QStringList{"ARO:,,cid=pc,chat news;;"} << QStringList{"ann"};
}

// The plan shown in the confirmation is made again when reports came while it was open, so that
// what is sent (and backed up) follows the list as it is when the command goes.
void BulkCommandsTest::reportsWhileTheDialogIsOpenRemakeThePlan() {
    QFETCH(QStringList, meanwhile);
    QFETCH(QStringList, sentTo);
    WindowHarness harness;
    Start(harness);
    SelectRows(harness, {"ann", "bea", "cid"});
    const size_t sentBefore = harness.Socket().SentLines().size();
    auto answer = AnswerDialog<QDialog>([&](QDialog* dialog) {
        std::vector<std::string> lines;
        for (const QString& line : meanwhile) {
            lines.push_back(line.toStdString());
        }
        harness.Serve(lines);
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    harness.Window().findChild<QAction*>("mnuBulkExpel")->trigger();
    QVERIFY(answer->Answered());
    const std::vector<std::string> sent = harness.Socket().SentLines();
    QStringList to;
    for (size_t i = sentBefore; i < sent.size(); ++i) {
        for (const char* login : {"ann", "bea", "cid", "dan"}) {
            if (sent[i].find(login) != std::string::npos) {
                to << QLatin1String(login);
            }
        }
    }
    QCOMPARE(to, sentTo);
}

// More members than may await their answer at once: Ctrl+A selects them all, the first share
// goes out, and Cancel sends no more while the reports of what was sent still count.
void BulkCommandsTest::cancelStopsSendingAndFollowsWhatWasSent() {
    WindowHarness harness;
    harness.LogIn();
    std::vector<std::string> lines = {"ARLM:on,,admin=secret,administrator;;"};
    for (int i = 0; i < 260; ++i) {
        lines.push_back("ARLM:,,m" + std::to_string(1000 + i) + "=p,chat;;");
    }
    lines.push_back("ARLC");
    harness.Serve(lines);
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
    harness.List()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(harness.List(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(harness.List()->selectionModel()->selectedRows().size(), 261);
    auto answer = AnswerDialog<QDialog>([](QDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("edBulkCount"), "260");
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    QTest::keyClick(harness.List(), Qt::Key_Delete);
    QVERIFY(answer->Answered());
    const auto deletesSent = [&] {
        const std::vector<std::string> sent = harness.Socket().SentLines();
        return std::count_if(sent.begin(), sent.end(),
                             [](const std::string& line) { return line.rfind("ADD_", 0) == 0; });
    };
    const auto sentBefore = deletesSent();
    QVERIFY(sentBefore > 0 && sentBefore < 260);
    harness.Window().findChild<QPushButton*>("btnBulkStop")->click();
    std::vector<std::string> reports;
    for (int i = 0; i < sentBefore; ++i) {
        reports.push_back("ARD_m" + std::to_string(1000 + i));
    }
    harness.Serve(reports);
    TickWindow(harness);
    QCOMPARE(deletesSent(), sentBefore);
    auto* summary = harness.Window().findChild<QDialog*>("dlgBulkSummary");
    QVERIFY(summary != nullptr);
    QCOMPARE(summary->findChild<QLabel*>("lbBulkSummary")->text(),
             QStringLiteral("%1 confirmed, 0 refused, 0 unconfirmed, 1 skipped, %2 not sent")
                 .arg(sentBefore)
                 .arg(260 - sentBefore));
    QCOMPARE(harness.Model()->rowCount(), static_cast<int>(261 - sentBefore));
    // Every member left was selected, and still is.
    QCOMPARE(harness.List()->selectionModel()->selectedRows().size(),
             static_cast<qsizetype>(261 - sentBefore));
}

void BulkCommandsTest::editOfManyChangesOneNameOfEach_data() {
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<int>("change");  // as the dialog lists them
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("sent");     // in the list's order
    QTest::addColumn<QStringList>("reports");  // what the server reports back for them
    QTest::addColumn<QString>("skipped");      // "login: reason" lines of the confirmation
    QTest::addColumn<QString>("summary");
    const QString own = "admin: the account of this connection never takes part in a command on many members";
    QTest::newRow("add protocol") << QStringList{"admin", "ann", "bea", "dan"} << 0 << " news "
                                  << QStringList{"ADE_ann:pa,chat,news;b1", "ADE_bea:pb,mail,news;",
                                                 "ADE_dan:pd,news;"}
                                  << QStringList{"ARM:on,,ann=pa,chat,news;b1;", "ARM:,,bea=pb,mail,news;;",
                                                 "ARM:,,dan=pd,news;;"}
                                  << own << "3 confirmed, 0 refused, 0 unconfirmed, 1 skipped";
    QTest::newRow("remove protocol, letter case aside")
        << QStringList{"ann", "bea", "eve"} << 1 << "CHAT" << QStringList{"ADE_ann:pa,;b1", "ADE_eve:pe,;"}
        << QStringList{"ARM:on,,ann=pa,;b1;", "ARM:,,eve=pe,;;"} << "bea: nothing to change"
        << "2 confirmed, 0 refused, 0 unconfirmed, 1 skipped";
    QTest::newRow("add user bot") << QStringList{"ann", "bea"} << 2 << "b1"
                                  << QStringList{"ADE_bea:pb,mail;b1"} << QStringList{"ARM:,,bea=pb,mail;b1;"}
                                  << "ann: nothing to change"
                                  << "1 confirmed, 0 refused, 0 unconfirmed, 1 skipped";
    QTest::newRow("remove user bot, one refused")
        << QStringList{"ann", "dan", "eve"} << 3 << "b1" << QStringList{"ADE_ann:pa,chat;"}
        << QStringList{"ARE_ann:bots are locked"} << "dan: nothing to change\neve: nothing to change"
        << "0 confirmed, 1 refused, 0 unconfirmed, 2 skipped";
}

// The edit goes the way of every command on many members: confirmed, backed up, paced, and only
// the accounts it changes are sent, each with every other field as listed.
void BulkCommandsTest::editOfManyChangesOneNameOfEach() {
    QFETCH(QStringList, selected);
    QFETCH(int, change);
    QFETCH(QString, name);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, reports);
    QFETCH(QString, skipped);
    QFETCH(QString, summary);
    WindowHarness harness;
    Start(harness);
    SelectRows(harness, selected);
    bool nextBeforeName = true;
    auto chooseEdit = AnswerDialog<BulkEditDialog>([&](BulkEditDialog* dialog) {
        nextBeforeName = dialog->findChild<QPushButton*>("btnBulkEditNext")->isEnabled();
        dialog->findChild<QComboBox*>("cbBulkEditChange")->setCurrentIndex(change);
        QTest::keyClicks(dialog->findChild<QLineEdit*>("edBulkEditName"), name);
        Shoot(*dialog, "edit");
        dialog->findChild<QPushButton*>("btnBulkEditNext")->click();
    });
    QString changeLine;
    QString skippedLines;
    auto confirm = AnswerDialog<BulkConfirmDialog>([&](BulkConfirmDialog* dialog) {
        changeLine = dialog->findChild<QLabel*>("lbBulkChange")->text();
        skippedLines = dialog->findChild<QLabel*>("lbBulkSkipped")->text();
        QVERIFY(dialog->findChild<QLineEdit*>("edBulkCount") == nullptr);
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    const size_t before = harness.Socket().SentLines().size();
    harness.Window().findChild<QAction*>("mnuBulkEdit")->trigger();
    QVERIFY(chooseEdit->Answered());
    QVERIFY(confirm->Answered());
    QVERIFY(!nextBeforeName);
    const QStringList words = {"add protocol", "remove protocol", "add user bot", "remove user bot"};
    QCOMPARE(changeLine, "Change: " + words[change] + " " + name.trimmed());
    QCOMPARE(skippedLines, QStringLiteral("Skipped (%1):\n").arg(skipped.count('\n') + 1) + skipped);
    const std::vector<std::string> lines = harness.Socket().SentLines();
    QStringList sentNow;
    for (size_t at = before; at < lines.size(); ++at) {
        sentNow << QString::fromStdString(lines[at]);
    }
    QCOMPARE(sentNow, sent);
    for (const QString& report : reports) {
        harness.Serve({report.toStdString()});
    }
    TickWindow(harness);
    auto* shown = harness.Window().findChild<QDialog*>("dlgBulkSummary");
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->findChild<QLabel*>("lbBulkSummary")->text(), summary);
    const QString details = shown->findChild<QPlainTextEdit*>("edBulkSummary")->toPlainText();
    // The backup holds the accounts as they were before the edit, those sent and no other.
    const qsizetype start = details.indexOf("backup: ") + 8;
    QVERIFY2(start >= 8, qPrintable(details));
    QFile backup(details.mid(start, details.indexOf('\n', start) - start));
    QVERIFY2(backup.open(QIODevice::ReadOnly), qPrintable(backup.fileName()));
    QVERIFY(QFileInfo(backup.fileName()).fileName().startsWith("edit-"));
    const QStringList rows = QString::fromUtf8(backup.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), sent.size() + 1);
}

void BulkCommandsTest::editOfManyCancelledSendsNothing() {
    WindowHarness harness;
    Start(harness);
    SelectRows(harness, {"bea", "dan"});
    const size_t before = harness.Socket().SentLines().size();
    auto cancel = AnswerDialog<BulkEditDialog>([](BulkEditDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("edBulkEditName"), "news");
        dialog->findChild<QPushButton*>("btnBulkEditCancel")->click();
    });
    // Enter, the key of the edit, opens the edit of many when several rows are selected.
    harness.List()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(harness.List(), Qt::Key_Return);
    QVERIFY(cancel->Answered());
    // A name that would be two names in the account's list is not taken.
    auto twoNames = AnswerDialog<BulkEditDialog>([](BulkEditDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("edBulkEditName"), "news,chat");
        QVERIFY(!dialog->findChild<QPushButton*>("btnBulkEditNext")->isEnabled());
        QCOMPARE(dialog->findChild<QLabel*>("lbBulkEditProblem")->text(),
                 QStringLiteral("One name only: no blank, comma or semicolon."));
        QTest::keyClick(dialog->findChild<QLineEdit*>("edBulkEditName"), Qt::Key_Return);
        QVERIFY(dialog->isVisible());
        dialog->reject();
    });
    harness.Window().findChild<QAction*>("mnuBulkEdit")->trigger();
    QVERIFY(twoNames->Answered());
    TickWindow(harness);
    QCOMPARE(harness.Socket().SentLines().size(), before);
    QVERIFY(harness.Window().findChild<QDialog*>("dlgBulkProgress") == nullptr);
    QVERIFY(QDir(data_->filePath("krvClientA/backups")).isEmpty());
}

// While a command on many members awaits its reports, an edit is not even asked for.
void BulkCommandsTest::aSecondCommandWaitsForTheFirst() {
    WindowHarness harness;
    Start(harness);
    SelectRows(harness, {"ann", "cid"});
    auto go = AnswerDialog<BulkConfirmDialog>(
        [](BulkConfirmDialog* dialog) { dialog->findChild<QPushButton*>("btnBulkGo")->click(); });
    harness.Window().findChild<QAction*>("mnuBulkExpel")->trigger();
    QVERIFY(go->Answered());
    const size_t sent = harness.Socket().SentLines().size();
    SeenBox seen;
    auto box = AnswerMessageBox(seen);
    auto edit = AnswerDialog<BulkEditDialog>([](BulkEditDialog* dialog) { dialog->reject(); });
    harness.Window().findChild<QAction*>("mnuBulkEdit")->trigger();
    QVERIFY(box->Answered());
    QVERIFY(!edit->Answered());
    edit.reset();
    QCOMPARE(seen.text, QStringLiteral("A command on many members is still running."));
    QCOMPARE(harness.Socket().SentLines().size(), sent);
    // Once the first is summarised, the next one may start.
    harness.Serve({"ARO:,,ann=pa,chat;b1;", "ARO:,,cid=pc,chat news;;"});
    TickWindow(harness);
    QVERIFY(harness.Window().findChild<QDialog*>("dlgBulkSummary") != nullptr);
    auto cancel = AnswerDialog<BulkEditDialog>([](BulkEditDialog* dialog) { dialog->reject(); });
    harness.Window().findChild<QAction*>("mnuBulkEdit")->trigger();
    QVERIFY(cancel->Answered());
}

void BulkCommandsTest::anEditOfMoreThanTenWantsTheCountTyped_data() {
    QTest::addColumn<int>("members");
    QTest::addColumn<bool>("typed");
    QTest::newRow("ten") << 10 << false;
    QTest::newRow("eleven") << 11 << true;
}

// The edit changes every account it is sent for, so beyond ten a hasty Enter must not start it.
void BulkCommandsTest::anEditOfMoreThanTenWantsTheCountTyped() {
    QFETCH(int, members);
    QFETCH(bool, typed);
    WindowHarness harness;
    harness.LogIn();
    std::vector<std::string> lines = {"ARLM:on,,admin=secret,administrator;;"};
    QStringList logins;
    for (int i = 0; i < members; ++i) {
        lines.push_back("ARLM:,,m" + std::to_string(10 + i) + "=p,chat;;");
        logins << QStringLiteral("m%1").arg(10 + i);
    }
    lines.push_back("ARLC");
    harness.Serve(lines);
    SelectRows(harness, logins);
    auto choose = AnswerDialog<BulkEditDialog>([](BulkEditDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("edBulkEditName"), "news");
        dialog->findChild<QPushButton*>("btnBulkEditNext")->click();
    });
    bool countAsked = false;
    bool goAtOnce = false;
    auto confirm = AnswerDialog<BulkConfirmDialog>([&](BulkConfirmDialog* dialog) {
        auto* count = dialog->findChild<QLineEdit*>("edBulkCount");
        auto* go = dialog->findChild<QPushButton*>("btnBulkGo");
        countAsked = count != nullptr;
        goAtOnce = go->isEnabled();
        if (count != nullptr) {
            QTest::keyClicks(count, QString::number(logins.size()));
        }
        go->click();
    });
    const size_t before = harness.Socket().SentLines().size();
    harness.Window().findChild<QAction*>("mnuBulkEdit")->trigger();
    QVERIFY(choose->Answered());
    QVERIFY(confirm->Answered());
    QCOMPARE(countAsked, typed);
    QCOMPARE(goAtOnce, !typed);
    QCOMPARE(harness.Socket().SentLines().size() - before, static_cast<size_t>(members));
    QCOMPARE(harness.Socket().SentLines().back(),
             "ADE_m" + std::to_string(10 + members - 1) + ":p,chat,news;");
}

QTEST_MAIN(BulkCommandsTest)
#include "BulkCommandsTest.moc"

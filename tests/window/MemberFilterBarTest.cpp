// The filter bar over the member list, driven through the window's names against a scripted
// server: what each filter shows, the count it says, "select all shown" feeding a command on
// many members, and reports that make a member match or stop matching.

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "support/ModalResponder.hpp"
#include "window/WindowHarness.hpp"

class MemberFilterBarTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void eachFilterShowsTheMatchingRowsInOrder_data();
    void eachFilterShowsTheMatchingRowsInOrder();
    void selectAllShownFeedsTheDeleteOfMany();
    void reportsMakeMembersMatchOrStopMatching();
    void closingTheBarShowsEveryMemberAgain_data();
    void closingTheBarShowsEveryMemberAgain();
    void aClosedBarLeavesTheFoldedTextsToItsNextOpening_data();
    void aClosedBarLeavesTheFoldedTextsToItsNextOpening();

private:
    static void Start(WindowHarness& harness);
    static QWidget* Bar(WindowHarness& harness);
    static QString ShownText(WindowHarness& harness);
    static QStringList Selected(WindowHarness& harness);
    std::unique_ptr<QTemporaryDir> data_;
    QByteArray oldDataHome_;
};

void MemberFilterBarTest::init() {
    data_ = std::make_unique<QTemporaryDir>();
    oldDataHome_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data_->path().toUtf8());
}

void MemberFilterBarTest::cleanup() {
    qputenv("XDG_DATA_HOME", oldDataHome_);
}

void MemberFilterBarTest::Start(WindowHarness& harness) {
    harness.LogIn();
    harness.Serve({"ARLM:on,,admin=secret,administrator;;", "ARLM:on,,ann=pa,chat;b1;",
                   "ARLM:,,bea=pb,mail;;", "ARLM:on,,cid=pc,chat news;;", "ARLM:,,dan=pd,;;",
                   "ARLM:,,eve=pe,chat;;", "ARLC"});
    harness.Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.Window()));
    QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
}

QWidget* MemberFilterBarTest::Bar(WindowHarness& harness) {
    return harness.Window().findChild<QWidget*>("pnFilter");
}

QString MemberFilterBarTest::ShownText(WindowHarness& harness) {
    return harness.Window().findChild<QLabel*>("lbFilterShown")->text();
}

QStringList MemberFilterBarTest::Selected(WindowHarness& harness) {
    QStringList logins;
    for (const QModelIndex& row : harness.List()->selectionModel()->selectedRows()) {
        logins << row.data().toString();
    }
    logins.sort();
    return logins;
}

void MemberFilterBarTest::eachFilterShowsTheMatchingRowsInOrder_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("presence");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("text in logins") << "AN" << 0 << "" << QStringList{"ann", "dan"};
    QTest::newRow("text in a user bot") << "b1" << 0 << "" << QStringList{"ann"};
    QTest::newRow("text in a protocol") << "NEws" << 0 << "" << QStringList{"cid"};
    QTest::newRow("online") << "" << 1 << "" << QStringList{"admin", "ann", "cid"};
    QTest::newRow("offline") << "" << 2 << "" << QStringList{"bea", "dan", "eve"};
    QTest::newRow("has protocol") << "" << 0 << "Chat" << QStringList{"ann", "cid", "eve"};
    // A protocol is a whole name: "chat" is had by no member that has only "news".
    QTest::newRow("protocol is a whole name") << "" << 0 << "cha" << QStringList{};
    QTest::newRow("all at once") << "e" << 2 << "chat" << QStringList{"eve"};
}

void MemberFilterBarTest::eachFilterShowsTheMatchingRowsInOrder() {
    QFETCH(QString, text);
    QFETCH(int, presence);
    QFETCH(QString, protocol);
    QFETCH(QStringList, shown);
    WindowHarness harness;
    Start(harness);
    // Opening the bar has the rows' folded texts made in idle slices; the text is then searched in them.
    QTRY_VERIFY(harness.Model()->FilterIndexWhole());
    const QStringList all = harness.Captions();
    const QString panels = harness.Panel(0) + "|" + harness.Panel(1);
    QVERIFY(Bar(harness)->isVisible());
    QCOMPARE(ShownText(harness), QString());
    QTest::keyClicks(harness.Window().findChild<QLineEdit*>("edFilter"), text);
    harness.Window().findChild<QComboBox*>("cbFilterPresence")->setCurrentIndex(presence);
    QTest::keyClicks(harness.Window().findChild<QLineEdit*>("edFilterProtocol"), protocol);
    QCOMPARE(harness.Captions(), shown);
    QCOMPARE(ShownText(harness), QStringLiteral("%1 of 6 shown").arg(shown.size()));
    QVERIFY(harness.Window().findChild<QPushButton*>("btSelectAllShown")->isEnabled());
    // The counters go on counting every member.
    QCOMPARE(harness.Panel(0) + "|" + harness.Panel(1), panels);
    if (QTest::currentDataTag() == QByteArray("all at once") &&
        !qEnvironmentVariable("KRV_SHOTS").isEmpty()) {
        harness.Window().grab().save(qEnvironmentVariable("KRV_SHOTS") + "/filter.png");
    }
    // With every part emptied again, the list is the whole one and the bar says nothing.
    harness.Window().findChild<QLineEdit*>("edFilter")->clear();
    harness.Window().findChild<QComboBox*>("cbFilterPresence")->setCurrentIndex(0);
    harness.Window().findChild<QLineEdit*>("edFilterProtocol")->clear();
    QCOMPARE(harness.Captions(), all);
    QCOMPARE(ShownText(harness), QString());
    QVERIFY(!harness.Window().findChild<QPushButton*>("btSelectAllShown")->isEnabled());
}

void MemberFilterBarTest::selectAllShownFeedsTheDeleteOfMany() {
    WindowHarness harness;
    Start(harness);
    QTest::keyClicks(harness.Window().findChild<QLineEdit*>("edFilterProtocol"), "chat");
    harness.Window().findChild<QPushButton*>("btSelectAllShown")->click();
    QCOMPARE(Selected(harness), (QStringList{"ann", "cid", "eve"}));
    const size_t before = harness.Socket().SentLines().size();
    QString targets;
    auto answer = AnswerDialog<QDialog>([&](QDialog* dialog) {
        targets = dialog->findChild<QLabel*>("lbBulkTargets")->text();
        QTest::keyClicks(dialog->findChild<QLineEdit*>("edBulkCount"), "3");
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    harness.Window().findChild<QAction*>("mnuBulkDelete")->trigger();
    QVERIFY(answer->Answered());
    QCOMPARE(targets, QStringLiteral("About to delete 3 members: ann, cid, eve."));
    const std::vector<std::string> all = harness.Socket().SentLines();
    QStringList sent;
    for (auto line = all.begin() + static_cast<std::ptrdiff_t>(before); line != all.end(); ++line) {
        // Each delete goes out as its pair of lines; the first names the member.
        if (line->rfind("ADD_", 0) == 0) {
            sent << QString::fromStdString(*line);
        }
    }
    QCOMPARE(sent, (QStringList{"ADD_ann:", "ADD_cid:", "ADD_eve:"}));
    harness.Serve({"ARD_ann", "ARD_cid", "ARD_eve"});
    QCOMPARE(harness.Captions(), QStringList());
    QCOMPARE(ShownText(harness), QStringLiteral("0 of 3 shown"));
    QCOMPARE(harness.Panel(1), QStringLiteral("3"));
}

// The selection is kept by login while the shown rows are made again.
void MemberFilterBarTest::reportsMakeMembersMatchOrStopMatching() {
    WindowHarness harness;
    Start(harness);
    harness.Window().findChild<QComboBox*>("cbFilterPresence")->setCurrentIndex(1);
    QCOMPARE(harness.Captions(), (QStringList{"admin", "ann", "cid"}));
    QItemSelectionModel* selection = harness.List()->selectionModel();
    selection->select(harness.Model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    harness.Serve({"ARM:on,,bea=pb,mail;;"});
    QCOMPARE(harness.Captions(), (QStringList{"admin", "ann", "bea", "cid"}));
    harness.Serve({"ARO:,,ann=pa,chat;b1;"});
    QCOMPARE(harness.Captions(), (QStringList{"admin", "bea", "cid"}));
    harness.Serve({"ARA:,,abe=px,chat;;", "ARA:on,,bob=py,chat;;"});
    QCOMPARE(harness.Captions(), (QStringList{"admin", "bea", "bob", "cid"}));
    harness.Serve({"ARD_bea"});
    QCOMPARE(harness.Captions(), (QStringList{"admin", "bob", "cid"}));
    QCOMPARE(ShownText(harness), QStringLiteral("3 of 7 shown"));
    QCOMPARE(Selected(harness), QStringList{"cid"});
    QCOMPARE(harness.Panel(1), QStringLiteral("7"));
    // Emptied, the filter gives the whole list in its usual order, the selection still kept.
    harness.Window().findChild<QComboBox*>("cbFilterPresence")->setCurrentIndex(0);
    QCOMPARE(harness.Captions(), (QStringList{"abe", "admin", "ann", "bob", "cid", "dan", "eve"}));
    QCOMPARE(Selected(harness), QStringList{"cid"});
    // The folded texts made again after the reports agree with the rows. A selected row the
    // filter hides leaves the selection, so that no command acts on a member out of sight.
    QTRY_VERIFY(harness.Model()->FilterIndexWhole());
    QTest::keyClicks(harness.Window().findChild<QLineEdit*>("edFilter"), "B");
    QCOMPARE(harness.Captions(), (QStringList{"abe", "ann", "bob"}));
    QCOMPARE(Selected(harness), QStringList());
}

void MemberFilterBarTest::closingTheBarShowsEveryMemberAgain_data() {
    QTest::addColumn<QString>("how");  // the close button, or Escape in one of the bar's fields
    QTest::newRow("close button") << "btFilterClose";
    QTest::newRow("Escape in the text") << "edFilter";
    QTest::newRow("Escape in the presence") << "cbFilterPresence";
    QTest::newRow("Escape in the protocol") << "edFilterProtocol";
}

// Closed, the bar leaves the list as it is with no filter: every row, the list's own place,
// the selection of what stays kept; Ctrl+Shift+F brings it back empty.
void MemberFilterBarTest::closingTheBarShowsEveryMemberAgain() {
    QFETCH(QString, how);
    WindowHarness harness;
    Start(harness);
    QWidget* bar = Bar(harness);
    QVERIFY(bar->isVisible());
    const QRect listWithBar = harness.List()->geometry();
    QCOMPARE(listWithBar.bottom() + 1, bar->geometry().top());
    const QRect listAlone = listWithBar.adjusted(0, 0, 0, bar->height());
    const QStringList all{"admin", "ann", "bea", "cid", "dan", "eve"};
    auto* text = harness.Window().findChild<QLineEdit*>("edFilter");
    QTest::keyClicks(text, "b");
    harness.Window().findChild<QComboBox*>("cbFilterPresence")->setCurrentIndex(1);
    QTest::keyClicks(harness.Window().findChild<QLineEdit*>("edFilterProtocol"), "chat");
    QCOMPARE(harness.Captions(), QStringList{"ann"});
    harness.Window().findChild<QPushButton*>("btSelectAllShown")->click();
    QWidget* closer = harness.Window().findChild<QWidget*>(how);
    QVERIFY(closer != nullptr);
    if (auto* button = qobject_cast<QPushButton*>(closer)) {
        button->click();
    } else {
        closer->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(closer, Qt::Key_Escape);
    }
    QVERIFY(!bar->isVisible());
    QCOMPARE(harness.Captions(), all);
    QVERIFY(!harness.Model()->Filtered());
    QCOMPARE(harness.List()->geometry(), listAlone);
    QVERIFY(harness.List()->hasFocus());
    QCOMPARE(Selected(harness), QStringList{"ann"});
    QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(bar->isVisible());
    QVERIFY(text->hasFocus());
    QCOMPARE(text->text(), QString());
    QCOMPARE(harness.Window().findChild<QComboBox*>("cbFilterPresence")->currentIndex(), 0);
    QCOMPARE(harness.Window().findChild<QLineEdit*>("edFilterProtocol")->text(), QString());
    QCOMPARE(ShownText(harness), QString());
    QVERIFY(!harness.Window().findChild<QPushButton*>("btSelectAllShown")->isEnabled());
    QCOMPARE(harness.Captions(), all);
    QCOMPARE(harness.List()->geometry(), listWithBar);
    // Escape with the focus on the list is the list's, not the bar's.
    harness.List()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(harness.List(), Qt::Key_Escape);
    QVERIFY(bar->isVisible());
}

void MemberFilterBarTest::aClosedBarLeavesTheFoldedTextsToItsNextOpening_data() {
    QTest::addColumn<QStringList>("reports");  // each gives the folded texts up from its row
    QTest::addColumn<QString>("text");         // typed once the bar is open again
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("a member added") << QStringList{"ARA:,,abe=px,chat;;"} << "b"
                                    << QStringList{"abe", "ann", "bea"};
    QTest::newRow("a member removed") << QStringList{"ARD_ann"} << "b" << QStringList{"bea"};
    QTest::newRow("both") << QStringList{"ARD_bea", "ARA:on,,bob=py,chat;;"} << "b"
                          << QStringList{"ann", "bob"};
}

// With the bar closed no filter can be on, so nothing is folded in idle time while reports come;
// opened again, the bar has the texts made from where they were given up, and a filter finds the
// rows as they are.
void MemberFilterBarTest::aClosedBarLeavesTheFoldedTextsToItsNextOpening() {
    QFETCH(QStringList, reports);
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    WindowHarness harness;
    Start(harness);
    QTRY_VERIFY(harness.Model()->FilterIndexWhole());
    harness.Window().findChild<QPushButton*>("btFilterClose")->click();
    std::vector<std::string> lines;
    for (const QString& report : reports) {
        lines.push_back(report.toStdString());
    }
    harness.Serve(lines);
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
    }
    QVERIFY(!harness.Model()->FilterIndexWhole());
    QTest::keyClick(&harness.Window(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(harness.Model()->FilterIndexWhole());
    QTest::keyClicks(harness.Window().findChild<QLineEdit*>("edFilter"), text);
    QCOMPARE(harness.Captions(), shown);
}

QTEST_MAIN(MemberFilterBarTest)
#include "MemberFilterBarTest.moc"

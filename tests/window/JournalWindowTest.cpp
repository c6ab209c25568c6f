// The journal window on a real SQLite journal in a folder of the test's own, through its
// controls' object names; the plot offscreen.

#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include <QScrollBar>
#include <QStatusBar>

#include "journal/Journal.hpp"
#include "support/FakeClientSocket.hpp"
#include "window/JournalTableModel.hpp"
#include "window/JournalWindow.hpp"
#include "window/MemberCountPlot.hpp"
#include "window/untKrvClientA.hpp"

namespace {

RequestEntry Request(const std::string& command, const std::string& member, JournalTime time) {
    RequestEntry entry;
    entry.time = time;
    entry.server = {"127.0.0.1", 6671, ""};
    entry.administrator = "admin";
    entry.command = command;
    entry.member = member;
    return entry;
}

std::string Numbered(const char* prefix, int number) {
    std::string login = prefix;
    login += std::to_string(number);
    return login;
}

OutcomeUpdate Outcome(JournalOutcome outcome, const std::string& reportOrText) {
    OutcomeUpdate update;
    update.outcome = outcome;
    (outcome == JournalOutcome::Confirmed ? update.report : update.text) = reportOrText;
    return update;
}

}  // namespace

class JournalWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void filtersNarrowTheRowsAndExportWritesWhatIsShown();
    void betweenDatesShowsWhatFallsInTheChosenSpan();
    void newEntriesOfAnotherWriterShowWithoutAsking();
    void aJournalNotWrittenYetIsWaitedFor();
    void thePlotDrawsEveryColumnAndTellsTheValuesUnderThePointer();
    void aJournalThatCannotBeWrittenIsSaidOnceInTheStatusBar();

private:
    std::string Path() const {
        return dir_->filePath(QStringLiteral("krvClientA/journal.sqlite3")).toStdString();
    }
    std::unique_ptr<Journal> OpenJournal() {
        JournalOptions options;
        options.path = Path();
        return std::make_unique<Journal>(options);
    }

    std::unique_ptr<QTemporaryDir> dir_;
};

void JournalWindowTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void JournalWindowTest::cleanup() {
    dir_.reset();
}

void JournalWindowTest::filtersNarrowTheRowsAndExportWritesWhatIsShown() {
    {
        auto journal = OpenJournal();
        const JournalTime now = JournalNow();
        const struct {
            const char* command;
            const char* member;
            JournalOutcome outcome;
            const char* detail;
        } requests[] = {
            {"add", "carol", JournalOutcome::Confirmed, "ARA"},
            {"delete", "Caroline", JournalOutcome::Confirmed, "ARD"},
            {"delete", "bob", JournalOutcome::Refused, "the account is protected, \"really\""},
            {"expel", "dave", JournalOutcome::Unconfirmed, "the connection ended"},
        };
        int age = 10;
        for (const auto& request : requests) {
            const JournalTicket ticket =
                journal->Record(Request(request.command, request.member, now - std::chrono::seconds(age--)));
            journal->Settle(ticket, Outcome(request.outcome, request.detail));
        }
        // Older than every span but "everything".
        journal->Record(Request("delete", "carol", now - std::chrono::hours(24 * 40)));
    }
    JournalWindow window(Path());
    window.show();
    auto* member = window.findChild<QLineEdit*>(QStringLiteral("edMember"));
    auto* outcome = window.findChild<QComboBox*>(QStringLiteral("cbOutcome"));
    auto* command = window.findChild<QComboBox*>(QStringLiteral("cbCommand"));
    auto* range = window.findChild<QComboBox*>(QStringLiteral("cbRange"));
    auto* table = window.findChild<QTableView*>(QStringLiteral("tvEntries"));
    QVERIFY(member && outcome && command && range && table);
    QAbstractItemModel* rows = table->model();
    QCOMPARE(rows->rowCount(), 4);
    // Newest first, the outcome in words.
    QCOMPARE(rows->index(0, 4).data().toString(), QStringLiteral("dave"));
    QCOMPARE(rows->index(0, 6).data().toString(), QStringLiteral("unconfirmed: the connection ended"));
    QCOMPARE(rows->index(3, 6).data().toString(), QStringLiteral("confirmed by ARA"));

    const struct {
        const char* memberText;
        const char* command;  // as the box lists it; empty: every command
        int outcomeIndex;     // 0: every outcome
        int rangeIndex;
        int rows;
    } cases[] = {
        {"CAROL", "", 0, 3, 2},                           // a part of the login, case ignored
        {"carol", "", 0, 4, 3},                           // "everything" reaches the old one too
        {"carol", "delete", 0, 4, 2}, {"", "", 2, 3, 1},  // refused
        {"zz", "", 0, 3, 0},          {"", "", 0, 3, 4},
    };
    for (const auto& c : cases) {
        range->setCurrentIndex(c.rangeIndex);
        command->setCurrentIndex(*c.command ? command->findText(QLatin1String(c.command)) : 0);
        outcome->setCurrentIndex(c.outcomeIndex);
        member->clear();
        QTest::keyClicks(member, QLatin1String(c.memberText));
        // The typing pause ends by itself.
        QTRY_COMPARE(rows->rowCount(), c.rows);
    }

    member->setText(QStringLiteral("bob"));
    window.ApplyFilters();
    const QString csv = dir_->filePath(QStringLiteral("shown.csv"));
    QVERIFY(window.ExportCsv(csv));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("time,server,administrator,command,member,changes,outcome,settled,reason\r\n") +
                 rows->index(0, 0).data().toString().toUtf8() +
                 ",127.0.0.1:6671,admin,delete,bob,,\"refused: the account is protected, \"\"really\"\"\"," +
                 rows->index(0, 7).data().toString().toUtf8() + ",\r\n");
    // A file that cannot be written is said in the window.
    QVERIFY(!window.ExportCsv(dir_->filePath(QStringLiteral("no/such/folder/x.csv"))));
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("lbStatus"))
                ->text()
                .startsWith(QStringLiteral("Cannot write")));
}

void JournalWindowTest::betweenDatesShowsWhatFallsInTheChosenSpan() {
    const JournalTime now = JournalNow();
    const auto daysAgo = [now](int days) { return now - std::chrono::hours(24 * days); };
    {
        auto journal = OpenJournal();
        for (const int days : {90, 40, 39, 2}) {
            journal->Record(Request("delete", Numbered("m", days), daysAgo(days)));
        }
    }
    JournalWindow window(Path());
    window.show();
    auto* range = window.findChild<QComboBox*>(QStringLiteral("cbRange"));
    auto* from = window.findChild<QDateTimeEdit*>(QStringLiteral("dtFrom"));
    auto* to = window.findChild<QDateTimeEdit*>(QStringLiteral("dtTo"));
    QVERIFY(range && from && to);
    QAbstractItemModel* rows = window.findChild<QTableView*>(QStringLiteral("tvEntries"))->model();
    // The fields are there only for the chosen span.
    QVERIFY(!from->isVisible() && !to->isVisible());
    range->setCurrentIndex(range->findText(QStringLiteral("between dates")));
    QVERIFY(from->isVisible() && to->isVisible());

    const auto shown = [](JournalTime time) {
        return QDateTime::fromMSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count());
    };
    const struct {
        int fromDaysAgo;
        int toDaysAgo;
        QStringList members;  // newest first
    } cases[] = {
        {41, 38, {QStringLiteral("m39"), QStringLiteral("m40")}},
        {100, 50, {QStringLiteral("m90")}},
        {100, 0, {QStringLiteral("m2"), QStringLiteral("m39"), QStringLiteral("m40"), QStringLiteral("m90")}},
        {30, 20, {}},
        {3, 100, {}},  // the end before the start: nothing, and no error
    };
    for (const auto& c : cases) {
        from->setDateTime(shown(daysAgo(c.fromDaysAgo)));
        to->setDateTime(shown(daysAgo(c.toDaysAgo)));
        window.ApplyFilters();
        QStringList members;
        for (int row = 0; row < rows->rowCount(); ++row) {
            members << rows->index(row, 4).data().toString();
        }
        QCOMPARE(members, c.members);
    }
}

void JournalWindowTest::newEntriesOfAnotherWriterShowWithoutAsking() {
    auto journal = OpenJournal();
    journal->Record(Request("add", "carol", JournalNow()));
    journal->Flush();
    JournalWindow window(Path());
    QAbstractItemModel* rows = window.findChild<QTableView*>(QStringLiteral("tvEntries"))->model();
    QCOMPARE(rows->rowCount(), 1);
    const JournalTicket ticket = journal->Record(Request("delete", "carol", JournalNow()));
    journal->Flush();
    // Within the follow timer's period, without a call.
    QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 2, 2 * JournalWindow::kFollowMs + 500);
    QCOMPARE(rows->index(0, 6).data().toString(), QStringLiteral("pending"));
    journal->Settle(ticket, Outcome(JournalOutcome::Confirmed, "ARD"));
    journal->Flush();
    QTRY_COMPARE_WITH_TIMEOUT(rows->index(0, 6).data().toString(), QStringLiteral("confirmed by ARD"),
                              2 * JournalWindow::kFollowMs + 500);

    // Read further down, the entries in view stay in view while new ones arrive above.
    for (int i = 0; i < 300; ++i) {
        journal->Record(Request("expel", Numbered("m", i), JournalNow()));
    }
    journal->Flush();
    QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 302, 2 * JournalWindow::kFollowMs + 500);
    auto* table = window.findChild<QTableView*>(QStringLiteral("tvEntries"));
    window.resize(800, 400);
    window.show();
    table->verticalScrollBar()->setValue(150);
    const QString shown = rows->index(table->rowAt(0), 4).data().toString();
    for (int i = 0; i < 5; ++i) {
        journal->Record(Request("expel", Numbered("late", i), JournalNow()));
    }
    journal->Flush();
    QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 307, 2 * JournalWindow::kFollowMs + 500);
    QCOMPARE(rows->index(table->rowAt(0), 4).data().toString(), shown);
}

void JournalWindowTest::aJournalNotWrittenYetIsWaitedFor() {
    JournalWindow window(Path());
    auto* status = window.findChild<QLabel*>(QStringLiteral("lbStatus"));
    QCOMPARE(status->text(), QStringLiteral("Nothing journaled yet"));
    QAbstractItemModel* rows = window.findChild<QTableView*>(QStringLiteral("tvEntries"))->model();
    QCOMPARE(rows->rowCount(), 0);
    auto journal = OpenJournal();
    journal->Record(Request("expel", "dave", JournalNow()));
    journal->Flush();
    window.Follow();
    QCOMPARE(rows->rowCount(), 1);
    QVERIFY(status->text().startsWith(QStringLiteral("1 requests")));
}

void JournalWindowTest::thePlotDrawsEveryColumnAndTellsTheValuesUnderThePointer() {
    const JournalTime from = JournalTime(std::chrono::hours(24 * 20000));
    std::vector<MemberCountPoint> points;
    for (int minute = 0; minute <= 600; ++minute) {
        points.push_back({from + std::chrono::minutes(minute), 1000 + minute, minute % 100});
    }
    MemberCountPlot plot;
    plot.resize(656, 300);
    plot.SetData(points, {from + std::chrono::minutes(300)}, from, from + std::chrono::minutes(600));
    QCOMPARE(plot.PointCount(), size_t{601});
    // The plot spans x = 56 to 643: the first sample at the left edge, the last at the right.
    QVERIFY(plot.ValuesAt(56).endsWith(QStringLiteral("1000 members, 0 online")));
    QVERIFY(plot.ValuesAt(643).endsWith(QStringLiteral("1600 members, 0 online")));
    QVERIFY(plot.ValuesAt(0).endsWith(QStringLiteral("1000 members, 0 online")));  // clamped

    // The loss's dashed red line stands in the middle column.
    const QImage image = plot.grab().toImage();
    const int middle = 56 + (643 - 56) / 2;
    int red = 0;
    for (int y = 30; y < 270; ++y) {
        for (int x = middle - 1; x <= middle + 1; ++x) {
            const QColor colour = image.pixelColor(x, y);
            red += colour.red() > 150 && colour.green() < 100 ? 1 : 0;
        }
    }
    QVERIFY2(red > 20, qPrintable(QString::number(red)));
    // Nothing to draw says so instead of drawing nothing.
    MemberCountPlot empty;
    empty.SetData({}, {}, from, from + std::chrono::hours(1));
    QCOMPARE(empty.ValuesAt(100), QString());
}

void JournalWindowTest::aJournalThatCannotBeWrittenIsSaidOnceInTheStatusBar() {
    // The data folder is a file: the journal cannot make its folder.
    QFile blocker(dir_->filePath(QStringLiteral("blocked")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", blocker.fileName().toLocal8Bit());
    TfrmKrvClientA window(std::make_unique<FakeClientSocket>(),
                          dir_->filePath(QStringLiteral("krvClientA.ini")));
    qputenv("XDG_DATA_HOME", saved);
    window.show();
    QTRY_VERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("cannot be written")));
    QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("administration goes on")));
    // Said once: cleared, it does not come back on the journal's next ticks.
    window.statusBar()->clearMessage();
    QTest::qWait(2500);
    QCOMPARE(window.statusBar()->currentMessage(), QString());
    // The menu's one new entry opens the journal window.
    window.findChild<QAction*>(QStringLiteral("mnuJournal"))->trigger();
    QVERIFY(window.findChild<JournalWindow*>(QStringLiteral("frmJournal"))->isVisible());
}

QTEST_MAIN(JournalWindowTest)
#include "JournalWindowTest.moc"

// Reports that add or remove one member change one row; the rows, the marks and the counters
// must come out exactly as the full rebuild of every row that the window used to make.

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "window/WindowHarness.hpp"

class SingleRowChangesTest : public QObject {
    Q_OBJECT

private slots:
    void agreeWithAFullRebuildOverRandomReports();
    void onlyARowInSightIsAnnouncedToTheView();
};

namespace {

// Mixed case, digits, punctuation and a few Latin-1 letters, so that the locale's order and the
// ASCII folding have real work to do; short, so that logins come back.
std::string RandomLogin(std::mt19937& random) {
    static const std::string alphabet = "abAB1_-.z\xe9\xc9";
    std::string login;
    const size_t length = 1 + random() % 3;
    for (size_t i = 0; i < length; ++i) {
        login.push_back(alphabet[random() % alphabet.size()]);
    }
    return login;
}

std::string RandomMember(std::mt19937& random) {
    const bool online = random() % 2 == 0;
    return std::string(online ? "p" : "") + ",," + RandomLogin(random) + "=pw," +
           (random() % 2 ? "chat" : "a b") + ";" + (random() % 3 ? "bot" : "") + ";";
}

struct Shown {
    QStringList captions;
    QStringList cells;
    QString panel0;
    QString panel1;
    int onlineCount = 0;
    QString top;
    int current = -1;
    QStringList selected;
    bool operator==(const Shown&) const = default;
};

Shown ShownBy(WindowHarness& harness) {
    Shown shown{harness.Captions(),
                {},
                harness.Panel(0),
                harness.Panel(1),
                harness.Window().OnlineCount(),
                harness.TopCaption(),
                harness.List()->currentIndex().row(),
                {}};
    for (const QModelIndex& row : harness.List()->selectionModel()->selectedRows()) {
        shown.selected << row.data().toString();
    }
    shown.selected.sort();
    for (int row = 0; row < harness.Model()->rowCount(); ++row) {
        shown.cells << harness.Cell(row, 1) + "|" + harness.Cell(row, 2) + "|" +
                           (harness.RowOnline(row) ? "on" : "off");
    }
    return shown;
}

}  // namespace

void SingleRowChangesTest::agreeWithAFullRebuildOverRandomReports() {
    std::mt19937 random(20261209);
    WindowHarness changed;
    WindowHarness rebuilt;
    changed.LogIn();
    rebuilt.LogIn();
    // What the window used to do with every line: rebuild for the list's end, an added or deleted
    // account and a report about an unlisted login; an "ARLM" waits; a listed login's row is
    // rewritten in place.
    rebuilt.Session().SetSingleRowChanges(false);
    int mostSelectedKept = 0;
    for (int step = 0; step < 3000; ++step) {
        const unsigned choice = random() % 100;
        std::string line;
        if (choice < 8) {
            line = "ARLM:" + RandomMember(random);
        } else if (choice < 12) {
            line = "ARLC";
        } else if (choice < 40) {
            line = "ARA:" + RandomMember(random);
        } else if (choice < 70) {
            line = std::string(choice % 3 == 0 ? "ARM:" : (choice % 3 == 1 ? "ARI:" : "ARO:")) +
                   RandomMember(random);
        } else {
            line = "ARD_" + RandomLogin(random) + ":";
        }
        if (step % 37 == 0 && changed.Model()->rowCount() > 0) {
            // Both scrolled alike, so that the top row to come back to is anywhere in the list.
            const int row = static_cast<int>(random() % static_cast<unsigned>(changed.Model()->rowCount()));
            changed.List()->scrollTo(changed.Model()->index(row, 0), QAbstractItemView::PositionAtTop);
            rebuilt.List()->scrollTo(rebuilt.Model()->index(row, 0), QAbstractItemView::PositionAtTop);
        }
        if (step % 23 == 0 && changed.Model()->rowCount() > 0) {
            // A rebuild keeps the selected rows by login; a single row in or out must keep them too,
            // a run of rows split by a row coming in among them included.
            const int rows = changed.Model()->rowCount();
            const int row = static_cast<int>(random() % static_cast<unsigned>(rows));
            const int runEnd = std::min(rows - 1, row + static_cast<int>(random() % 6));
            const int other = static_cast<int>(random() % static_cast<unsigned>(rows));
            for (WindowHarness* harness : {&changed, &rebuilt}) {
                QAbstractItemView* list = harness->List();
                list->setCurrentIndex(harness->Model()->index(row, 0));
                list->selectionModel()->select(
                    QItemSelection(harness->Model()->index(row, 0), harness->Model()->index(runEnd, 2)),
                    QItemSelectionModel::Select);
                list->selectionModel()->select(harness->Model()->index(other, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
        changed.Serve({line});
        rebuilt.Serve({line});
        const Shown got = ShownBy(changed);
        const Shown expected = ShownBy(rebuilt);
        mostSelectedKept = std::max(mostSelectedKept, static_cast<int>(expected.selected.size()));
        if (!(got == expected)) {
            QFAIL(qPrintable(
                QStringLiteral(
                    "step %1, line %2: rows %3 instead of %4, panels %5/%6 instead "
                    "of %7/%8, top %9 instead of %10, current row %11 instead of %12, selected %13 "
                    "instead of %14")
                    .arg(step)
                    .arg(QString::fromLatin1(line.c_str()))
                    .arg(got.captions.join(' '), expected.captions.join(' '), got.panel0, got.panel1,
                         expected.panel0, expected.panel1, got.top, expected.top)
                    .arg(got.current)
                    .arg(expected.current)
                    .arg(got.selected.join(' '), expected.selected.join(' '))));
        }
    }
    QVERIFY(changed.Model()->rowCount() > 5);
    QVERIFY(mostSelectedKept > 2);
}

void SingleRowChangesTest::onlyARowInSightIsAnnouncedToTheView() {
    WindowHarness harness;
    harness.LogIn();
    std::vector<std::string> list;
    for (int i = 100; i < 300; ++i) {
        list.push_back("ARLM:,,m" + std::to_string(i) + "=;;");
    }
    list.push_back("ARLC");
    harness.Serve(list);
    QSignalSpy changes(harness.Model(), &QAbstractItemModel::dataChanged);
    harness.Serve({"ARI:on,,m299=,x;;"});  // the last row, far below the view's edge
    QCOMPARE(changes.count(), 0);
    QCOMPARE(harness.Cell(199, 1), QStringLiteral("x"));
    QVERIFY(harness.RowOnline(199));
    QCOMPARE(harness.Panel(0), QStringLiteral("1"));
    harness.Serve({"ARI:on,,m100=,y;;"});  // the top row
    QCOMPARE(changes.count(), 1);
    harness.List()->scrollToBottom();
    harness.Serve({"ARO:,,m299=,z;;"});
    QCOMPARE(changes.count(), 2);
    QCOMPARE(harness.Cell(199, 1), QStringLiteral("z"));
    QCOMPARE(harness.Panel(0), QStringLiteral("1"));
}

QTEST_MAIN(SingleRowChangesTest)
#include "SingleRowChangesTest.moc"

// A burst of reports that each add or remove one member may be shown as one change of the rows;
// the rows, the marks, the counters, the top row, the current row, the selection and the filter's
// rows must come out exactly as showing each report on its own leaves them.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "window/MemberListPane.hpp"
#include "window/WindowHarness.hpp"

class BurstFoldingTest : public QObject {
    Q_OBJECT

private slots:
    void agreesWithOneReportAtATime();
    void singleRowsUnderAFilterAgreeWithAFullRefilter();
};

namespace {

// Mixed case, digits, punctuation and a few Latin-1 letters, so that the locale's order and the
// ASCII folding have real work to do; long enough for a few hundred members.
std::string RandomLogin(std::mt19937& random) {
    static const std::string alphabet = "abcAB1_-.z\xe9\xc9";
    std::string login;
    const size_t length = 1 + random() % 4;
    for (size_t i = 0; i < length; ++i) {
        login.push_back(alphabet[random() % alphabet.size()]);
    }
    return login;
}

std::string MemberText(std::mt19937& random, const std::string& login) {
    const bool online = random() % 2 == 0;
    return std::string(online ? "p" : "") + ",," + login + "=pw," + (random() % 2 ? "chat" : "a b") + ";" +
           (random() % 3 ? "bot" : "") + ";";
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
    QString filterCounts;
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
                {},
                harness.Window().findChild<QLabel*>("lbFilterShown")->text()};
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

QString Describe(const Shown& shown) {
    return QStringLiteral("rows [%1] panels %2/%3 top %4 current %5 selected [%6] filter '%7'")
        .arg(shown.captions.join(' '), shown.panel0, shown.panel1, shown.top)
        .arg(shown.current)
        .arg(shown.selected.join(' '), shown.filterCounts);
}

// Every member's exact login, from the rows of the list.
std::vector<std::string> Logins(WindowHarness& harness) {
    std::vector<std::string> logins;
    MemberListModel* model = harness.Model();
    for (int row = 0; row < model->RowCount(); ++row) {
        logins.emplace_back(model->Row(row).Login());
    }
    return logins;
}

}  // namespace

void BurstFoldingTest::agreesWithOneReportAtATime() {
    std::mt19937 random(20261211);
    int bursts = 0;
    int foldedChanges = 0;
    int singleChanges = 0;
    for (int round = 0; round < 30; ++round) {
        WindowHarness folded;
        WindowHarness single;
        folded.Window().findChild<MemberListPane*>()->SetRowsBeforeFolding(round % 3 == 0 ? 5 : 0);
        single.Window().findChild<MemberListPane*>()->SetRowsBeforeFolding(INT_MAX);
        std::vector<std::string> list;
        const int members = 20 + static_cast<int>(random() % 240);
        for (int i = 0; i < members; ++i) {
            list.push_back("ARLM:" + MemberText(random, RandomLogin(random)));
        }
        list.push_back("ARLC");
        const bool filtered = round % 4 == 1;
        const std::string filterText = std::string(1, "abz1"[random() % 4]);
        const int presence = static_cast<int>(random() % 3);
        for (WindowHarness* harness : {&folded, &single}) {
            harness->LogIn();
            harness->Serve(list);
            if (filtered) {
                emit harness->Window().findChild<QShortcut*>("scFilter")->activated();
                harness->Window().findChild<QLineEdit*>("edFilter")->setText(QString::fromLatin1(filterText));
                harness->Window().findChild<QComboBox*>("cbFilterPresence")->setCurrentIndex(presence);
            }
        }
        QSignalSpy foldedInserts(folded.Model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy foldedRemovals(folded.Model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy singleInserts(single.Model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy singleRemovals(single.Model(), &QAbstractItemModel::rowsRemoved);
        for (int burst = 0; burst < 8; ++burst, ++bursts) {
            const int rows = single.Model()->rowCount();
            if (rows > 0) {
                // Both scrolled and selected alike: a run of rows, one more, and a current row.
                const int topRow = static_cast<int>(random() % static_cast<unsigned>(rows));
                const int row = static_cast<int>(random() % static_cast<unsigned>(rows));
                const int runEnd = std::min(rows - 1, row + static_cast<int>(random() % 30));
                const int other = static_cast<int>(random() % static_cast<unsigned>(rows));
                const int current = static_cast<int>(random() % static_cast<unsigned>(rows));
                const bool select = random() % 3 != 0;
                for (WindowHarness* harness : {&folded, &single}) {
                    QAbstractItemView* view = harness->List();
                    MemberListModel* model = harness->Model();
                    view->selectionModel()->clear();
                    view->setCurrentIndex(model->index(current, 0));
                    if (select) {
                        view->selectionModel()->select(
                            QItemSelection(model->index(row, 0), model->index(runEnd, 2)),
                            QItemSelectionModel::Select);
                        view->selectionModel()->select(
                            model->index(other, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
                    }
                    view->scrollTo(model->index(topRow, 0), QAbstractItemView::PositionAtTop);
                }
            }
            // Mostly members added and removed, some of them in the same burst, with now and then
            // a member rewritten in place, an account added again or a list's end among them.
            std::vector<std::string> known = Logins(single);
            std::vector<std::string> gone;
            std::vector<std::string> lines;
            const int count = 1 + static_cast<int>(random() % 150);
            for (int i = 0; i < count; ++i) {
                const unsigned choice = random() % 100;
                if (choice < 40) {
                    // A new login, one just after a member's (so right before the next row), one
                    // that went earlier in the burst, or now and then one already listed.
                    const unsigned kind = random() % 20;
                    std::string login = RandomLogin(random);
                    if (kind < 6 && !known.empty()) {
                        login = known[random() % known.size()] + "a";
                    } else if (kind < 10 && !gone.empty()) {
                        login = gone[random() % gone.size()];
                    } else if (kind == 10 && !known.empty()) {
                        login = known[random() % known.size()];
                    }
                    lines.push_back("ARA:" + MemberText(random, login));
                    known.push_back(login);
                } else if (choice < 85 && !known.empty()) {
                    const size_t which = random() % known.size();
                    lines.push_back("ARD_" + known[which] + ":");
                    gone.push_back(known[which]);
                    known.erase(known.begin() + static_cast<std::ptrdiff_t>(which));
                } else if (choice < 88) {
                    lines.push_back("ARD_" + RandomLogin(random) + ":");
                } else if (choice < 97 && !known.empty()) {
                    const std::string code = choice % 3 == 0 ? "ARM:" : (choice % 3 == 1 ? "ARI:" : "ARO:");
                    lines.push_back(code + MemberText(random, known[random() % known.size()]));
                } else if (choice < 98) {
                    lines.push_back("ARI:" + MemberText(random, RandomLogin(random)));
                } else {
                    lines.push_back("ARLC");
                }
            }
            folded.Serve(lines);
            single.Serve(lines);
            const Shown got = ShownBy(folded);
            const Shown expected = ShownBy(single);
            if (!(got == expected)) {
                QString burstText;
                for (const std::string& line : lines) {
                    burstText += QString::fromLatin1(line.c_str()) + ' ';
                }
                QFAIL(qPrintable(QStringLiteral("round %1 burst %2 (%3):\n got      %4\n expected %5")
                                     .arg(round)
                                     .arg(burst)
                                     .arg(burstText, Describe(got), Describe(expected))));
            }
        }
        foldedChanges += static_cast<int>(foldedInserts.count() + foldedRemovals.count());
        singleChanges += static_cast<int>(singleInserts.count() + singleRemovals.count());
    }
    QVERIFY(bursts == 240);
    // The bursts were folded, not shown row by row.
    QVERIFY2(foldedChanges * 2 < singleChanges,
             qPrintable(QStringLiteral("%1 single rows shown folded, %2 one at a time")
                            .arg(foldedChanges)
                            .arg(singleChanges)));
}

// Under a filter, a member added or removed takes or leaves one place among the shown rows; the
// shown rows, counters, selection and current row must be those of making the shown rows again
// from every row, which a window that rebuilds at every report does. (The top row is left out:
// after a rebuild the filtered list stands at its top, after a single row at its current row.)
void BurstFoldingTest::singleRowsUnderAFilterAgreeWithAFullRefilter() {
    std::mt19937 random(25002);
    int shownChanges = 0;
    for (int round = 0; round < 12; ++round) {
        WindowHarness single;
        WindowHarness refiltered;
        single.Window().findChild<MemberListPane*>()->SetRowsBeforeFolding(INT_MAX);
        refiltered.Session().SetSingleRowChanges(false);
        std::vector<std::string> list;
        const int members = 10 + static_cast<int>(random() % 150);
        for (int i = 0; i < members; ++i) {
            list.push_back("ARLM:" + MemberText(random, RandomLogin(random)));
        }
        list.push_back("ARLC");
        const QString text = QString(QChar::fromLatin1("abz1."[random() % 5]));
        const int presence = static_cast<int>(random() % 3);
        const QString protocol = random() % 3 == 0 ? QStringLiteral("chat") : QString();
        for (WindowHarness* harness : {&single, &refiltered}) {
            harness->LogIn();
            harness->Serve(list);
            emit harness->Window().findChild<QShortcut*>("scFilter")->activated();
            harness->Window().findChild<QLineEdit*>("edFilter")->setText(text);
            harness->Window().findChild<QComboBox*>("cbFilterPresence")->setCurrentIndex(presence);
            harness->Window().findChild<QLineEdit*>("edFilterProtocol")->setText(protocol);
        }
        QSignalSpy inserted(single.Model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(single.Model(), &QAbstractItemModel::rowsRemoved);
        for (int step = 0; step < 120; ++step) {
            const int rows = single.Model()->rowCount();
            if (step % 9 == 0 && rows > 0) {
                const int row = static_cast<int>(random() % static_cast<unsigned>(rows));
                const int runEnd = std::min(rows - 1, row + static_cast<int>(random() % 8));
                const int current = static_cast<int>(random() % static_cast<unsigned>(rows));
                for (WindowHarness* harness : {&single, &refiltered}) {
                    QAbstractItemView* view = harness->List();
                    MemberListModel* model = harness->Model();
                    view->selectionModel()->clear();
                    view->setCurrentIndex(model->index(current, 0));
                    view->selectionModel()->select(
                        QItemSelection(model->index(row, 0), model->index(runEnd, 2)),
                        QItemSelectionModel::Select);
                }
            }
            const std::vector<std::string> known = Logins(single);
            std::vector<std::string> lines;
            const int count = random() % 4 == 0 ? 1 + static_cast<int>(random() % 5) : 1;
            for (int i = 0; i < count; ++i) {
                if (random() % 2 == 0 || known.empty()) {
                    lines.push_back("ARA:" + MemberText(random, RandomLogin(random)));
                } else {
                    lines.push_back("ARD_" + known[random() % known.size()] + ":");
                }
            }
            single.Serve(lines);
            refiltered.Serve(lines);
            Shown got = ShownBy(single);
            Shown expected = ShownBy(refiltered);
            got.top.clear();
            expected.top.clear();
            if (!(got == expected)) {
                QFAIL(qPrintable(
                    QStringLiteral("round %1 step %2 (%3):\n got      %4\n expected %5")
                        .arg(round)
                        .arg(step)
                        .arg(QString::fromLatin1(lines.front().c_str()), Describe(got), Describe(expected))));
            }
        }
        shownChanges += static_cast<int>(inserted.count() + removed.count());
    }
    // The shown rows changed one at a time, not only by being made again.
    QVERIFY(shownChanges > 100);
}

QTEST_MAIN(BurstFoldingTest)
#include "BurstFoldingTest.moc"

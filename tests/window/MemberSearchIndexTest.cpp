#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QTest>

#include "window/MemberListModel.hpp"
#include "window/MemberSearch.hpp"
#include "window/MemberSearchIndex.hpp"

// The index, folded only in part, with rows put in, taken out and rewritten in place between
// its slices, must answer as a plain walk over the rows does, or not yet answer at all.
class MemberSearchIndexTest : public QObject {
    Q_OBJECT

private slots:
    void answersAsAWalkOverTheRows();
};

namespace {

// The first matching row met from `from` by `step`, wrapping; -1 when none.
int WalkRows(const MemberListModel& rows, const MemberSearch& search, int from, int step) {
    const int count = rows.RowCount();
    for (int walked = 0; walked < count; ++walked) {
        const int row = (((from + walked * step) % count) + count) % count;
        if (search.Matches(rows.Row(row))) {
            return row;
        }
    }
    return -1;
}

// Short texts over a few letters, so that searches meet matches, near matches and none.
std::string RandomText(std::mt19937& random) {
    static const std::string kLetters = "abAB;x";
    std::string text(random() % 6, ' ');
    for (char& c : text) {
        c = kLetters[random() % kLetters.size()];
    }
    return text;
}

MemberRow RandomRow(std::mt19937& random) {
    return {RandomText(random), RandomText(random), RandomText(random), false};
}

}  // namespace

void MemberSearchIndexTest::answersAsAWalkOverTheRows() {
    std::mt19937 random(20261209);
    MemberListModel rows;
    std::vector<MemberRow> start;
    for (int row = 0; row < 60; ++row) {
        start.push_back(RandomRow(random));
    }
    rows.ReplaceRows(start);
    MemberSearchIndex index;
    const std::vector<std::string> texts = {"a", "Ab", "bA", "ab;", "x", "aaa", "q"};
    int answeredInPart = 0;
    for (int round = 0; round < 3000; ++round) {
        switch (random() % 5) {
            case 0:
                index.Extend(rows, static_cast<int>(random() % 25));
                break;
            case 1: {
                const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount() + 1));
                rows.InsertRow(row, RandomRow(random));
                index.InvalidateFrom(rows.FirstRowOfLastReset());
                break;
            }
            case 2:
                if (rows.RowCount() > 1) {
                    rows.RemoveRow(static_cast<int>(random() % static_cast<unsigned>(rows.RowCount())));
                    index.InvalidateFrom(rows.FirstRowOfLastReset());
                }
                break;
            case 3: {
                const int row = static_cast<int>(random() % static_cast<unsigned>(rows.RowCount()));
                rows.SetRow(row, RandomRow(random), false);
                index.MarkChanged(row, row);
                break;
            }
            default:
                if (random() % 40 == 0) {
                    rows.ReplaceRows(start);
                    index.Invalidate();
                }
        }
        const MemberSearch search(texts[random() % texts.size()]);
        const int from = static_cast<int>(random() % 200) - 100;
        const int step = random() % 2 == 0 ? 1 : -1;
        const std::optional<int> found = index.FindFrom(rows, search, from, step);
        if (index.Covers(rows)) {
            QVERIFY2(found.has_value(), qPrintable(QStringLiteral("round %1").arg(round)));
        } else if (found) {
            ++answeredInPart;
        }
        if (found) {
            QCOMPARE(*found, WalkRows(rows, search, from, step));
        }
    }
    // The rounds must have met answers from a part-folded index, not only from a whole one.
    QVERIFY(answeredInPart > 100);
}

QTEST_MAIN(MemberSearchIndexTest)
#include "MemberSearchIndexTest.moc"

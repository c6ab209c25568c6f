#include <random>
#include <string>
#include <vector>

#include <QTest>

#include "util/untCalc1.hpp"
#include "window/RowOfCaption.hpp"

// The table kept up to date row by row must find what a walk over the rows finds, with probe
// runs that wrap around its end, rows taken out of the middle of a run, and letter case mixed.
class RowOfCaptionTest : public QObject {
    Q_OBJECT

private slots:
    void findsAsAWalkOverTheRows_data();
    void findsAsAWalkOverTheRows();
};

namespace {

int WalkRows(const std::vector<MemberRow>& rows, const std::string& caption) {
    for (size_t row = 0; row < rows.size(); ++row) {
        if (SameTextAscii(rows[row].Login, caption)) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

}  // namespace

void RowOfCaptionTest::findsAsAWalkOverTheRows_data() {
    QTest::addColumn<int>("names");  // how many different captions the rounds draw from
    QTest::addColumn<bool>("duplicates");
    QTest::newRow("few names, crowded runs") << 40 << false;
    QTest::newRow("many names, growing table") << 2000 << false;
    QTest::newRow("two rows of one caption") << 40 << true;
}

void RowOfCaptionTest::findsAsAWalkOverTheRows() {
    QFETCH(int, names);
    QFETCH(bool, duplicates);
    std::mt19937 random(static_cast<unsigned>(names) + (duplicates ? 1 : 0));
    const auto name = [&] {
        std::string caption = "Member" + std::to_string(random() % static_cast<unsigned>(names));
        caption[random() % caption.size()] ^= (random() % 2 == 0) ? 0x20 : 0;  // another letter case
        return caption;
    };
    std::vector<MemberRow> rows;
    RowOfCaption table;
    table.Build(rows);
    for (int round = 0; round < 6000; ++round) {
        const std::string caption = name();
        const int found = WalkRows(rows, caption);
        if (random() % 3 != 0 && (found < 0 || duplicates)) {
            const int row = static_cast<int>(random() % (rows.size() + 1));
            rows.insert(rows.begin() + row, MemberRow{caption, "", "", false});
            table.Inserted(rows, row);
        } else if (found >= 0) {
            const bool rebuild = table.HasDuplicates();
            table.Removing(rows, found);
            rows.erase(rows.begin() + found);
            if (rebuild) {
                table.Build(rows);
            }
        }
        const std::string wanted = name();
        QCOMPARE(table.Find(rows, wanted), WalkRows(rows, wanted));
    }
    QCOMPARE(table.HasDuplicates(), duplicates);
}

QTEST_GUILESS_MAIN(RowOfCaptionTest)
#include "RowOfCaptionTest.moc"

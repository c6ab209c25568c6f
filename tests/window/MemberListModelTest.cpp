// The rows' lookups carried along from one single-row change to the next must answer as a walk
// over the rows does, whatever the place and the caption of the rows that come and go.

#include <QTest>
#include <random>
#include <string>
#include <vector>

#include "util/untCalc1.hpp"
#include "window/CaptionOrder.hpp"
#include "window/MemberListModel.hpp"

class MemberListModelTest : public QObject {
    Q_OBJECT

private slots:
    void lookupsAgreeWithAWalkOverTheRows();
};

namespace {

int WalkToLastAtOrBefore(const MemberListModel& rows, const std::string& caption) {
    int found = 0;
    for (int row = 1; row < rows.RowCount(); ++row) {
        if (CompareTextAscii(rows.Row(row).Login, caption) <= 0) {
            found = row;
        }
    }
    return found;
}

int WalkToCaption(const MemberListModel& rows, const std::string& caption) {
    for (int row = 0; row < rows.RowCount(); ++row) {
        if (SameTextAscii(rows.Row(row).Login, caption)) {
            return row;
        }
    }
    return -1;
}

}  // namespace

void MemberListModelTest::lookupsAgreeWithAWalkOverTheRows() {
    std::mt19937 random(91);
    // Long shared beginnings, so that the first eight bytes often do not decide.
    const auto caption = [&random] {
        std::string text = random() % 2 ? "Member00" : "member0";
        text += std::to_string(random() % 60);
        return text;
    };
    MemberListModel rows;
    std::vector<MemberRow> start;
    for (int i = 0; i < 30; ++i) {
        start.push_back({caption(), "", "", false});
    }
    rows.ReplaceRows(start);
    std::string asked = caption();
    for (int step = 0; step < 20000; ++step) {
        const unsigned choice = random() % 100;
        if (choice < 45) {
            rows.InsertRow(static_cast<int>(random() % static_cast<unsigned>(rows.RowCount() + 1)),
                           {caption(), "", "", false});
        } else if (choice < 85 && rows.RowCount() > 0) {
            rows.RemoveRow(static_cast<int>(random() % static_cast<unsigned>(rows.RowCount())));
        } else if (choice < 95 && rows.RowCount() > 0) {
            rows.SetRow(static_cast<int>(random() % static_cast<unsigned>(rows.RowCount())),
                        {caption(), "", "", false}, false);
        } else if (choice < 97) {
            rows.ReplaceRows(start);
        } else {
            asked = caption();
        }
        QCOMPARE(rows.LastRowAtOrBefore(asked), WalkToLastAtOrBefore(rows, asked));
        const std::string wanted = caption();
        QCOMPARE(rows.FindCaption(wanted), WalkToCaption(rows, wanted));
    }
}

QTEST_MAIN(MemberListModelTest)
#include "MemberListModelTest.moc"

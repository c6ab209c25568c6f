// The rows' lookups carried along from one single-row change to the next must answer as a walk
// over the rows does, whatever the place and the caption of the rows that come and go; and rows
// that read their records in place must go on showing what they showed when the records change.

#include <QTest>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "members/TkvCLDataCollection.hpp"
#include "rows/CaptionOrder.hpp"
#include "util/untCalc1.hpp"
#include "window/MemberListModel.hpp"

class MemberListModelTest : public QObject {
    Q_OBJECT

private slots:
    void lookupsAgreeWithAWalkOverTheRows();
    void rowsKeepWhatTheyShowedWhenTheirRecordsChange();
};

namespace {

int WalkToLastAtOrBefore(const MemberListModel& rows, const std::string& caption) {
    int found = 0;
    for (int row = 1; row < rows.RowCount(); ++row) {
        if (CompareTextAscii(rows.Row(row).Login(), caption) <= 0) {
            found = row;
        }
    }
    return found;
}

int WalkToCaption(const MemberListModel& rows, const std::string& caption) {
    for (int row = 0; row < rows.RowCount(); ++row) {
        if (SameTextAscii(rows.Row(row).Login(), caption)) {
            return row;
        }
    }
    return -1;
}

QStringList Cells(const MemberListModel& rows) {
    QStringList cells;
    for (int row = 0; row < rows.rowCount(); ++row) {
        QStringList line;
        for (int column = 0; column < rows.columnCount(); ++column) {
            line << rows.data(rows.index(row, column)).toString();
        }
        line << (rows.data(rows.index(row, 0), MemberListModel::OnlineRole).toBool() ? "on" : "off");
        cells << line.join('|');
    }
    return cells;
}

void Add(TkvCLDataCollection& members, const std::string& login, const std::string& protocols,
         const std::string& userBots, bool online) {
    members.AddOrUpdate(login, "", "", protocols, "pw", userBots, online);
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
    MemberRows start;
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

void MemberListModelTest::rowsKeepWhatTheyShowedWhenTheirRecordsChange() {
    const struct {
        const char* name;
        std::function<void(TkvCLDataCollection&)> change;
    } cases[] = {
        {"rewritten", [](auto& members) { Add(members, "bob", "other", "x,y", false); }},
        {"letter case changed", [](auto& members) { Add(members, "BOB", "chat", "b1", true); }},
        {"deleted", [](auto& members) { members.Delete("bob"); }},
        // The deleted member's record is used again by the next new one.
        {"deleted, record reused",
         [](auto& members) {
             members.Delete("bob");
             Add(members, "zed", "zz", "", false);
         }},
        {"every record rewritten",
         [](auto& members) {
             for (const char* login : {"alice", "bob", "carol"}) {
                 Add(members, login, "new", "new", false);
             }
         }},
        {"cleared", [](auto& members) { members.Clear(); }},
        {"cleared and refilled",
         [](auto& members) {
             members.Clear();
             Add(members, "dave", "d", "d", true);
             Add(members, "eve", "e", "e", true);
         }},
    };
    for (const auto& each : cases) {
        TkvCLDataCollection members;
        MemberListModel rows;
        members.Watch(&rows);
        Add(members, "carol", "", "", false);
        Add(members, "bob", "chat", "b1", true);
        Add(members, "alice", "chat,mail", "", false);
        MemberRows made;
        for (int32_t position = 0; position < members.Count(); ++position) {
            made.emplace_back(*members.Items(position));
        }
        rows.ReplaceRows(std::move(made));
        const QStringList before = Cells(rows);
        each.change(members);
        QCOMPARE(Cells(rows), before);
        QVERIFY2(rows.FindCaption("bob") == 1, each.name);
    }
}

QTEST_MAIN(MemberListModelTest)
#include "MemberListModelTest.moc"

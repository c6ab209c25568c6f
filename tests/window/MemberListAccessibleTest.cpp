// The member list as a screen reader reads it, in process: the table Qt's accessibility layer
// hands the reader, its cells and headers, what it says of the selection, and the events it
// sends while the list changes under a reader.

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "window/WindowHarness.hpp"

namespace {

// What one accessibility event said, kept after the event itself is gone.
struct HeardEvent {
    QAccessible::Event type;
    QObject* object;
    int child;
    int modelChange;  // -1 unless a table model change
    int firstRow;
    int lastRow;
};

std::vector<HeardEvent>& Heard() {
    static std::vector<HeardEvent> heard;
    return heard;
}

void HearEvent(QAccessibleEvent* event) {
    HeardEvent heard{event->type(), event->object(), event->child(), -1, -1, -1};
    if (event->type() == QAccessible::TableModelChanged) {
        const auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
        heard.modelChange = change->modelChangeType();
        heard.firstRow = change->firstRow();
        heard.lastRow = change->lastRow();
    }
    Heard().push_back(heard);
}

// Sixty members m100 to m159, every third online; the logins sort as numbered.
std::vector<std::string> SixtyMembers() {
    std::vector<std::string> lines;
    for (int number = 0; number < 60; ++number) {
        lines.push_back(std::string(number % 3 == 0 ? "ARLM:on,," : "ARLM:,,") + "m" +
                        std::to_string(100 + number) + "=pw,chat news;bot" + std::to_string(number) + ";");
    }
    lines.push_back("ARLC");
    return lines;
}

}  // namespace

class MemberListAccessibleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void tableReadsAsTheListShows();
    void cellsAndChildNumbersAgree();
    void selectedRowsFollowTheView();
    void severalSelectedRowsAreAllTold();
    void eachChangeIsToldOnce_data();
    void eachChangeIsToldOnce();
    void arrowKeysTellTheNewRowsLogin();
    void aCellHeldAcrossChangesIsNeverStale();

private:
    QAccessibleInterface* Table() { return QAccessible::queryAccessibleInterface(harness_->List()); }
    QAccessibleTableInterface* Cells() { return Table()->tableInterface(); }

    std::unique_ptr<WindowHarness> harness_;
};

void MemberListAccessibleTest::initTestCase() {
    // The bridge turns itself on once it has found the accessibility bus; the events then come
    // here rather than onto the bus.
    QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 60000);
    QAccessible::installUpdateHandler(&HearEvent);
}

void MemberListAccessibleTest::init() {
    harness_ = std::make_unique<WindowHarness>();
    harness_->LogIn();
    harness_->Serve(SixtyMembers());
    harness_->Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness_->Window()));
    Heard().clear();
}

void MemberListAccessibleTest::cleanup() {
    harness_.reset();
}

void MemberListAccessibleTest::tableReadsAsTheListShows() {
    QAccessibleInterface* table = Table();
    QVERIFY(table != nullptr);
    QCOMPARE(table->role(), QAccessible::Table);
    QCOMPARE(table->text(QAccessible::Name), QStringLiteral("Members"));
    QAccessibleTableInterface* cells = table->tableInterface();
    QVERIFY(cells != nullptr);
    QCOMPARE(cells->rowCount(), 60);
    QCOMPARE(cells->columnCount(), 3);
    const QAbstractItemModel* model = harness_->Model();
    for (int column = 0; column < 3; ++column) {
        const QString title = model->headerData(column, Qt::Horizontal).toString();
        QVERIFY(!title.isEmpty());
        QCOMPARE(cells->columnDescription(column), title);
        QAccessibleInterface* header = table->child(column);
        QCOMPARE(header->role(), QAccessible::ColumnHeader);
        QCOMPARE(header->text(QAccessible::Name), title);
        const auto headers = cells->cellAt(0, column)->tableCellInterface()->columnHeaderCells();
        QCOMPARE(headers.size(), 1);
        QCOMPARE(headers.front(), header);
    }
    // Row 0 is in sight, row 57 far below the viewport; both read alike.
    struct Expected {
        int row;
        QString login;
        QString protocols;
        QString bots;
        bool offscreen;
    };
    for (const Expected& expected : {Expected{0, "m100, online", "chat,news", "bot0", false},
                                     Expected{1, "m101, offline", "chat,news", "bot1", false},
                                     Expected{57, "m157, online", "chat,news", "bot57", true}}) {
        QAccessibleInterface* login = cells->cellAt(expected.row, 0);
        QCOMPARE(login->role(), QAccessible::Cell);
        QCOMPARE(login->text(QAccessible::Name), expected.login);
        QCOMPARE(cells->cellAt(expected.row, 1)->text(QAccessible::Name), expected.protocols);
        QCOMPARE(cells->cellAt(expected.row, 1)->text(QAccessible::Name), harness_->Cell(expected.row, 1));
        QCOMPARE(cells->cellAt(expected.row, 2)->text(QAccessible::Name), expected.bots);
        QCOMPARE(login->tableCellInterface()->rowIndex(), expected.row);
        QCOMPARE(login->tableCellInterface()->table(), table);
        QCOMPARE(login->parent(), table);
        QCOMPARE(bool(login->state().offscreen), expected.offscreen);
    }
    QVERIFY(cells->cellAt(60, 0) == nullptr);
    QVERIFY(cells->cellAt(0, 3) == nullptr);
    QVERIFY(cells->cellAt(-1, 0) == nullptr);
    // Asked twice, a cell is the same one.
    QCOMPARE(cells->cellAt(5, 1), cells->cellAt(5, 1));
}

void MemberListAccessibleTest::cellsAndChildNumbersAgree() {
    QAccessibleInterface* table = Table();
    QCOMPARE(table->childCount(), 61 * 3);
    for (const int index : {0, 2, 3, 4, 5, 100, 61 * 3 - 1}) {
        QAccessibleInterface* child = table->child(index);
        QVERIFY2(child != nullptr, qPrintable(QString::number(index)));
        QCOMPARE(table->indexOfChild(child), index);
        if (index >= 3) {
            QCOMPARE(child->tableCellInterface()->rowIndex(), index / 3 - 1);
            QCOMPARE(child->tableCellInterface()->columnIndex(), index % 3);
        }
    }
    QVERIFY(table->child(61 * 3) == nullptr);
    // A point on a cell finds that cell.
    const QRect second = Cells()->cellAt(1, 1)->rect();
    QCOMPARE(table->childAt(second.center().x(), second.center().y()), Cells()->cellAt(1, 1));
}

void MemberListAccessibleTest::selectedRowsFollowTheView() {
    QAbstractItemView* list = harness_->List();
    QAccessibleTableInterface* cells = Cells();
    QCOMPARE(cells->selectedRows(), QList<int>{});
    list->setCurrentIndex(harness_->Model()->index(4, 0));
    QCOMPARE(cells->selectedRows(), QList<int>{4});
    QVERIFY(cells->isRowSelected(4));
    QCOMPARE(cells->selectedRowCount(), 1);
    QCOMPARE(cells->selectedCellCount(), 3);
    QVERIFY(cells->cellAt(4, 2)->tableCellInterface()->isSelected());
    QVERIFY(cells->cellAt(4, 2)->state().selected);
    // A reader's choice of row is the view's, which holds several rows at a time.
    QVERIFY(cells->selectRow(9));
    QCOMPARE(cells->selectedRows(), (QList<int>{4, 9}));
    QVERIFY(list->selectionModel()->isRowSelected(4, {}));
    QVERIFY(cells->unselectRow(9));
    QCOMPARE(cells->selectedRows(), QList<int>{4});
    QVERIFY(!cells->selectRow(60));
    QCOMPARE(cells->selectedColumns(), QList<int>{});
}

void MemberListAccessibleTest::severalSelectedRowsAreAllTold() {
    harness_->List()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QAccessibleTableInterface* cells = Cells();
    QVERIFY(cells->selectRow(2));
    QVERIFY(cells->selectRow(40));
    QVERIFY(cells->selectRow(5));
    QCOMPARE(cells->selectedRows(), (QList<int>{2, 5, 40}));
    QCOMPARE(cells->selectedCellCount(), 9);
    const QList<QAccessibleInterface*> selected = cells->selectedCells();
    QCOMPARE(selected.size(), 9);
    QCOMPARE(selected.at(3)->text(QAccessible::Name), QStringLiteral("m105, offline"));
    QVERIFY(Table()->state().multiSelectable);
}

void MemberListAccessibleTest::eachChangeIsToldOnce_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("change");
    QTest::addColumn<int>("firstRow");
    // m100 is in sight at the top; m158 far below it.
    QTest::newRow("member added") << QStringList{"ARA:,,m1005=pw,chat;;"}
                                  << int(QAccessibleTableModelChangeEvent::RowsInserted) << 1;
    QTest::newRow("member deleted") << QStringList{"ARD_m103:"}
                                    << int(QAccessibleTableModelChangeEvent::RowsRemoved) << 3;
    QTest::newRow("member in sight rewritten")
        << QStringList{"ARM:,,m101=pw,chat;x;"} << int(QAccessibleTableModelChangeEvent::DataChanged) << 1;
    QTest::newRow("member out of sight rewritten")
        << QStringList{"ARM:on,,m158=pw,chat;x;"} << int(QAccessibleTableModelChangeEvent::DataChanged) << 58;
    QTest::newRow("list rebuilt") << QStringList{"ARLS", "ARLM:,,solo=pw,chat;;", "ARLC"}
                                  << int(QAccessibleTableModelChangeEvent::ModelReset) << -1;
}

void MemberListAccessibleTest::eachChangeIsToldOnce() {
    QFETCH(QStringList, lines);
    QFETCH(int, change);
    QFETCH(int, firstRow);
    Table();  // a reader is looking at the list
    std::vector<std::string> served;
    for (const QString& line : lines) {
        served.push_back(line.toStdString());
    }
    harness_->Serve(served);
    std::vector<HeardEvent> changes;
    for (const HeardEvent& heard : Heard()) {
        if (heard.type == QAccessible::TableModelChanged && heard.object == harness_->List()) {
            changes.push_back(heard);
        }
    }
    QCOMPARE(changes.size(), size_t{1});
    QCOMPARE(changes.front().modelChange, change);
    if (firstRow >= 0) {
        QCOMPARE(changes.front().firstRow, firstRow);
        QCOMPARE(changes.front().lastRow, firstRow);
    }
}

void MemberListAccessibleTest::arrowKeysTellTheNewRowsLogin() {
    QAbstractItemView* list = harness_->List();
    list->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(list->hasFocus());
    list->setCurrentIndex(harness_->Model()->index(6, 1));  // the protocols cell was clicked
    struct Step {
        Qt::Key key;
        QString heard;
        int row;
    };
    for (const Step& step : {Step{Qt::Key_Down, "m107, offline", 7}, Step{Qt::Key_Up, "m106, online", 6},
                             Step{Qt::Key_End, "m159, offline", 59}, Step{Qt::Key_Home, "m100, online", 0}}) {
        Heard().clear();
        QTest::keyClick(list, step.key);
        std::vector<HeardEvent> focus;
        std::vector<HeardEvent> selection;
        for (const HeardEvent& heard : Heard()) {
            (heard.type == QAccessible::Focus ? focus : selection).push_back(heard);
        }
        QCOMPARE(focus.size(), size_t{1});
        QAccessibleInterface* cell = Table()->child(focus.front().child);
        QVERIFY(cell != nullptr);
        QCOMPARE(cell->text(QAccessible::Name), step.heard);
        QVERIFY(cell->state().focused);
        QCOMPARE(cell->tableCellInterface()->rowIndex(), step.row);
        const auto told = std::find_if(selection.begin(), selection.end(), [](const HeardEvent& heard) {
            return heard.type == QAccessible::Selection;
        });
        QVERIFY(told != selection.end());
        QCOMPARE(told->child, focus.front().child);
    }
}

// A cell a reader was given follows its member while rows come and go before it, reads its
// member as it is now, and is gone once its member or the whole list is.
void MemberListAccessibleTest::aCellHeldAcrossChangesIsNeverStale() {
    QAccessibleInterface* held = Cells()->cellAt(50, 0);
    const QAccessible::Id id = QAccessible::uniqueId(held);
    QCOMPARE(held->text(QAccessible::Name), QStringLiteral("m150, offline"));
    harness_->Serve({"ARA:,,m1000=pw,chat;;", "ARA:,,m1001=pw,chat;;"});
    QCOMPARE(QAccessible::accessibleInterface(id), held);
    QCOMPARE(held->tableCellInterface()->rowIndex(), 52);
    QCOMPARE(held->text(QAccessible::Name), QStringLiteral("m150, offline"));
    QCOMPARE(Cells()->cellAt(52, 0), held);
    harness_->Serve({"ARD_m101:"});
    QCOMPARE(held->tableCellInterface()->rowIndex(), 51);
    harness_->Serve({"ARM:on,,m150=pw,chat;;"});
    QCOMPARE(held->text(QAccessible::Name), QStringLiteral("m150, online"));
    harness_->Serve({"ARD_m150:"});
    QVERIFY(QAccessible::accessibleInterface(id) == nullptr);
    QVERIFY(Cells()->cellAt(51, 0)->text(QAccessible::Name) != QStringLiteral("m150, online"));

    QAccessibleInterface* beforeRebuild = Cells()->cellAt(3, 0);
    const QAccessible::Id rebuiltId = QAccessible::uniqueId(beforeRebuild);
    harness_->Serve({"ARLS", "ARLM:,,solo=pw,chat;;", "ARLC"});
    QVERIFY(QAccessible::accessibleInterface(rebuiltId) == nullptr);
    const int solo = static_cast<int>(harness_->Captions().indexOf(QStringLiteral("solo")));
    QVERIFY(solo >= 0);
    QCOMPARE(Cells()->rowCount(), harness_->Model()->rowCount());
    QCOMPARE(Cells()->cellAt(solo, 0)->text(QAccessible::Name), QStringLiteral("solo, offline"));
}

QTEST_MAIN(MemberListAccessibleTest)
#include "MemberListAccessibleTest.moc"

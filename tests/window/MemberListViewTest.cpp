// The member list's flat view must look and answer the keyboard exactly as the list of rows it
// replaced: a tree view without branches, configured as the window used to configure it, on the
// same rows, side by side in the same window.

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <QTreeView>
#include <memory>
#include <string>
#include <vector>

#include "window/MemberListPane.hpp"
#include "window/WindowHarness.hpp"

class MemberListViewTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void looksAsTheListOfRowsDid_data();
    void looksAsTheListOfRowsDid();
    void keysMoveAsInTheListOfRowsBefore_data();
    void keysMoveAsInTheListOfRowsBefore();
    void clicksSelectAsInTheListOfRowsBefore_data();
    void clicksSelectAsInTheListOfRowsBefore();
    void severalRowsAreSelectedByKeysAndClicks_data();
    void severalRowsAreSelectedByKeysAndClicks();
    void selectionIsKeptByLoginAcrossReports();

private:
    std::unique_ptr<WindowHarness> harness_;
    QTreeView* before_ = nullptr;  // owned by the list's parent
};

namespace {

QTreeView* ListAsItWas(QAbstractItemView& list) {
    auto* tree = new QTreeView(list.parentWidget());
    tree->setGeometry(list.geometry());
    tree->setModel(list.model());
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setUniformRowHeights(true);
    tree->setAllColumnsShowFocus(true);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setIconSize(QSize(16, 16));
    tree->setSortingEnabled(false);
    tree->header()->setSectionsClickable(false);
    tree->header()->setSectionsMovable(false);
    tree->header()->setSectionResizeMode(QHeaderView::Stretch);
    tree->show();
    return tree;
}

QImage Shot(QAbstractItemView& view, bool focused) {
    if (focused) {
        view.setFocus(Qt::OtherFocusReason);
    } else {
        view.parentWidget()->setFocus(Qt::OtherFocusReason);
    }
    QApplication::processEvents();
    return view.grab().toImage();
}

int DifferentPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return a.width() * a.height();
    }
    int different = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            different += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return different;
}

}  // namespace

void MemberListViewTest::init() {
    harness_ = std::make_unique<WindowHarness>();
    harness_->LogIn();
    std::vector<std::string> lines;
    for (int number = 0; number < 60; ++number) {
        std::string line = number % 3 == 0 ? "ARLM:on,," : "ARLM:,,";
        line += number % 7 == 0 ? 'M' : 'm';
        line += std::to_string(100 + number);
        line += "=pw,chat news;";
        line += number % 5 == 0 ? std::string(80, 'b') : std::string("bot");
        line += ';';
        lines.push_back(line);
    }
    lines.push_back("ARLC");
    harness_->Serve(lines);
    before_ = ListAsItWas(*harness_->List());
    harness_->Window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness_->Window()));
}

void MemberListViewTest::cleanup() {
    harness_.reset();
}

void MemberListViewTest::looksAsTheListOfRowsDid_data() {
    QTest::addColumn<int>("topRow");
    QTest::addColumn<int>("currentRow");  // -1: none
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("keyboardUsed");
    QTest::newRow("as listed") << 0 << -1 << false << false;
    QTest::newRow("scrolled") << 23 << -1 << false << false;
    QTest::newRow("selected, focus elsewhere") << 0 << 4 << false << false;
    QTest::newRow("selected and focused") << 0 << 4 << true << false;
    QTest::newRow("selected, focused by keyboard") << 10 << 12 << true << true;
    QTest::newRow("scrolled to the end, last row") << 59 << 59 << true << false;
}

void MemberListViewTest::looksAsTheListOfRowsDid() {
    QFETCH(int, topRow);
    QFETCH(int, currentRow);
    QFETCH(bool, focused);
    QFETCH(bool, keyboardUsed);
    QAbstractItemView* list = harness_->List();
    if (keyboardUsed) {
        harness_->Window().setAttribute(Qt::WA_KeyboardFocusChange);
    }
    for (QAbstractItemView* view : {list, static_cast<QAbstractItemView*>(before_)}) {
        if (currentRow >= 0) {
            view->setCurrentIndex(view->model()->index(currentRow, 0));
        }
        view->scrollTo(view->model()->index(topRow, 0), QAbstractItemView::PositionAtTop);
    }
    const QImage now = Shot(*list, focused);
    const QImage then = Shot(*before_, focused);
    const int different = DifferentPixels(now, then);
    if (different != 0) {
        now.save(QDir::temp().filePath("member-list-now.png"));
        then.save(QDir::temp().filePath("member-list-before.png"));
    }
    QCOMPARE(different, 0);
}

void MemberListViewTest::keysMoveAsInTheListOfRowsBefore_data() {
    QTest::addColumn<int>("startRow");  // -1: none
    QTest::addColumn<QString>("keys");  // one character a key: d u h e p n l r, or typed text after '='
    QTest::newRow("down from nothing, then on") << -1 << "ddd";
    QTest::newRow("end and home") << 5 << "ehed";
    QTest::newRow("pages") << 2 << "nnpnu";
    QTest::newRow("left and right keep the row") << 7 << "lrlr";
    QTest::newRow("type-ahead from nothing") << -1 << "=m12";
    QTest::newRow("type-ahead goes down, never wraps") << 40 << "=m10";
    QTest::newRow("one key repeated walks the matches") << 0 << "=MMM";
}

void MemberListViewTest::keysMoveAsInTheListOfRowsBefore() {
    QFETCH(int, startRow);
    QFETCH(QString, keys);
    QAbstractItemView* list = harness_->List();
    QList<int> rowsNow;
    QList<int> rowsBefore;
    for (QAbstractItemView* view : {list, static_cast<QAbstractItemView*>(before_)}) {
        QList<int>& rows = view == list ? rowsNow : rowsBefore;
        if (startRow >= 0) {
            view->setCurrentIndex(view->model()->index(startRow, 0));
        }
        view->setFocus(Qt::OtherFocusReason);
        const qsizetype typed = keys.indexOf('=');
        for (const QChar key : keys.left(typed < 0 ? keys.size() : typed)) {
            static const QHash<QChar, Qt::Key> kKeys = {
                {'d', Qt::Key_Down},   {'u', Qt::Key_Up},       {'h', Qt::Key_Home}, {'e', Qt::Key_End},
                {'p', Qt::Key_PageUp}, {'n', Qt::Key_PageDown}, {'l', Qt::Key_Left}, {'r', Qt::Key_Right}};
            QTest::keyClick(view, kKeys.value(key));
            rows << view->currentIndex().row() << view->selectionModel()->selectedRows().value(0).row();
        }
        if (typed >= 0) {
            for (const QChar character : keys.mid(typed + 1)) {
                QTest::keyClicks(view, QString(character));
                rows << view->currentIndex().row();
            }
        }
    }
    QCOMPARE(rowsNow, rowsBefore);
}

void MemberListViewTest::clicksSelectAsInTheListOfRowsBefore_data() {
    QTest::addColumn<int>("topRow");
    QTest::addColumn<QList<QPoint>>("clicks");  // x: column, or -1 for below the last row; y: row
    QTest::newRow("a row by each column") << 0 << QList<QPoint>{{0, 3}, {1, 5}, {2, 1}};
    QTest::newRow("scrolled, the same row twice") << 30 << QList<QPoint>{{2, 33}, {2, 33}, {0, 31}};
    QTest::newRow("below the last row") << 59 << QList<QPoint>{{1, 58}, {-1, 0}};
}

void MemberListViewTest::clicksSelectAsInTheListOfRowsBefore() {
    QFETCH(int, topRow);
    QFETCH(QList<QPoint>, clicks);
    QAbstractItemView* list = harness_->List();
    QList<int> rowsNow;
    QList<int> rowsBefore;
    for (QAbstractItemView* view : {list, static_cast<QAbstractItemView*>(before_)}) {
        QList<int>& rows = view == list ? rowsNow : rowsBefore;
        view->scrollTo(view->model()->index(topRow, 0), QAbstractItemView::PositionAtTop);
        for (const QPoint& click : clicks) {
            const int lastRow = view->model()->rowCount() - 1;
            const QRect cell = view->visualRect(
                view->model()->index(click.x() < 0 ? lastRow : click.y(), std::max(click.x(), 0)));
            const QPoint at = click.x() < 0 ? QPoint(cell.center().x(), cell.bottom() + 2) : cell.center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            rows << view->currentIndex().row() << view->selectionModel()->selectedRows().value(0).row()
                 << static_cast<int>(view->selectionModel()->selectedIndexes().size());
        }
    }
    QCOMPARE(rowsNow, rowsBefore);
}

QTEST_MAIN(MemberListViewTest)
namespace {

QList<int> SelectedRows(QAbstractItemView& view) {
    QList<int> rows;
    for (const QModelIndex& index : view.selectionModel()->selectedRows()) {
        rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

// Steps: "cN" click row N, "^N" Ctrl+click, "+N" Shift+click, "v"/"^" Shift+Down/Up, "a" Ctrl+A,
// "d" a plain Down key.
void MemberListViewTest::severalRowsAreSelectedByKeysAndClicks_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("current");
    QTest::newRow("ctrl+click adds and takes away")
        << QStringList{"c3", "^5", "^8", "^5"} << QList<int>{3, 8} << 5;
    QTest::newRow("shift+click selects the run from the anchor")
        << QStringList{"c4", "+7"} << QList<int>{4, 5, 6, 7} << 7;
    QTest::newRow("shift+click upwards") << QStringList{"c9", "+6"} << QList<int>{6, 7, 8, 9} << 6;
    QTest::newRow("shift+arrows") << QStringList{"c2", "v", "v", "v", "^"} << QList<int>{2, 3, 4} << 4;
    QTest::newRow("a plain click after several selects one")
        << QStringList{"c2", "+6", "c4"} << QList<int>{4} << 4;
    QTest::newRow("a plain key after several selects one")
        << QStringList{"c2", "v", "v", "d"} << QList<int>{5} << 5;
    QList<int> every;
    for (int row = 0; row < 60; ++row) {
        every << row;
    }
    QTest::newRow("ctrl+a selects every row") << QStringList{"c7", "a"} << every << 7;
}

void MemberListViewTest::severalRowsAreSelectedByKeysAndClicks() {
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, selected);
    QFETCH(int, current);
    QAbstractItemView* list = harness_->List();
    list->setFocus(Qt::OtherFocusReason);
    for (const QString& step : steps) {
        const QChar kind = step.front();
        if (kind == 'a') {
            QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        } else if (kind == 'd') {
            QTest::keyClick(list, Qt::Key_Down);
        } else if (step == "v" || step == "^") {
            QTest::keyClick(list, step == "v" ? Qt::Key_Down : Qt::Key_Up, Qt::ShiftModifier);
        } else {
            const int row = step.mid(1).toInt();
            const Qt::KeyboardModifiers modifiers =
                kind == '^' ? Qt::ControlModifier : (kind == '+' ? Qt::ShiftModifier : Qt::NoModifier);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                              list->visualRect(harness_->Model()->index(row, 1)).center());
        }
    }
    QCOMPARE(SelectedRows(*list), selected);
    QCOMPARE(list->currentIndex().row(), current);
    auto* pane = harness_->Window().findChild<MemberListPane*>();
    QVERIFY(pane != nullptr);
    QCOMPARE(pane->SelectedCount(), selected.size());
    QCOMPARE(static_cast<qsizetype>(pane->SelectedLogins().size()), selected.size());
    QCOMPARE(QString::fromStdString(pane->SelectedLogins().front()), harness_->Cell(selected.front(), 0));
}

// The selection stays with the members, not with places in the list: rows coming in before and
// among them, one of them going, a rebuild and a scroll all leave the others selected.
void MemberListViewTest::selectionIsKeptByLoginAcrossReports() {
    QAbstractItemView* list = harness_->List();
    const auto selectedLogins = [&] {
        QStringList logins;
        for (const int row : SelectedRows(*list)) {
            logins << harness_->Cell(row, 0);
        }
        return logins;
    };
    list->setFocus(Qt::OtherFocusReason);
    for (const int row : {10, 11, 12, 30}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualRect(harness_->Model()->index(row, 0)).center());
    }
    const QStringList chosen = selectedLogins();
    QCOMPARE(chosen.size(), 4);
    harness_->Serve({"ARA:,,a000=pw,chat;;"});  // a row before them all
    QCOMPARE(selectedLogins(), chosen);
    const QString middle = chosen.at(1);
    harness_->Serve({"ARA:,," + chosen.at(0).toStdString() + "a=pw,chat;;"});  // a row among them
    QCOMPARE(selectedLogins(), chosen);
    harness_->Serve({"ARD_" + middle.toStdString() + ":"});  // one goes away and leaves the selection
    QStringList left = chosen;
    left.removeOne(middle);
    QCOMPARE(selectedLogins(), left);
    harness_->Session().SetSingleRowChanges(false);
    harness_->Serve({"ARA:,,zzz=pw,chat;;"});  // placed by a rebuild
    QCOMPARE(selectedLogins(), left);
    QCOMPARE(harness_->Model()->index(list->currentIndex().row(), 0).data().toString(), chosen.at(3));
    list->scrollToBottom();
    list->scrollToTop();
    QCOMPARE(selectedLogins(), left);
}

#include "MemberListViewTest.moc"

#include "window/untKrvClientA.hpp"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QShortcut>

#include "window/CellToolTips.hpp"
#include "window/ConnectionLog.hpp"
#include "window/ConnectionLogWindow.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberFindBar.hpp"
#include "window/MemberListModel.hpp"
#include "window/MemberListView.hpp"

// What the window offers besides its designed controls: finding a member, the connection log,
// and keys for the commands. None of it shows or acts until it is asked for.

namespace {

std::string WallClockNow() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString();
}

QShortcut* AddShortcut(QWidget* owner, const char* name, const QKeySequence& keys,
                       Qt::ShortcutContext context) {
    auto* shortcut = new QShortcut(keys, owner);
    shortcut->setObjectName(QLatin1String(name));
    shortcut->setContext(context);
    return shortcut;
}

// The menus look as they did before they had mnemonics: the underlines show only while Alt is
// held, the way keyboard users look for them.
class MnemonicsOnAltStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_UnderlineShortcut) {
            return (QApplication::keyboardModifiers() & Qt::AltModifier) ? 1 : 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

void TriggerAction(QWidget& window, const char* name) {
    if (auto* action = window.findChild<QAction*>(QLatin1String(name))) {
        action->trigger();
    }
}

}  // namespace

void TfrmKrvClientA::CreateExtras() {
    log_ = std::make_unique<ConnectionLog>(&WallClockNow);
    CreateFindBar();
    CreateConnectionLogEntry();
    CreateListKeys();
    onlinePanel_->setToolTip(QStringLiteral("members online"));
    memberCountPanel_->setToolTip(QStringLiteral("members listed"));
    new CellToolTips(*ListView1_);
    auto* style = new MnemonicsOnAltStyle;
    style->setParent(menuBar());
    menuBar()->setStyle(style);
    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        menu->setStyle(style);
    }
}

void TfrmKrvClientA::CreateFindBar() {
    findBar_ = new MemberFindBar(*ListView1_, *model_, ListView1_->parentWidget());
    const auto open = [this] { findBar_->Open(); };
    connect(AddShortcut(this, "scFind", QKeySequence(Qt::CTRL | Qt::Key_F), Qt::WindowShortcut),
            &QShortcut::activated, this, open);
    connect(AddShortcut(ListView1_, "scFindInList", QKeySequence(Qt::Key_Slash), Qt::WidgetShortcut),
            &QShortcut::activated, this, open);
    // Without a text there is nothing to go on with, so the keys open the field instead.
    connect(AddShortcut(this, "scFindNext", QKeySequence(Qt::Key_F3), Qt::WindowShortcut),
            &QShortcut::activated, this,
            [this] { findBar_->text().isEmpty() ? findBar_->Open() : findBar_->Next(); });
    connect(AddShortcut(this, "scFindPrevious", QKeySequence(Qt::SHIFT | Qt::Key_F3), Qt::WindowShortcut),
            &QShortcut::activated, this,
            [this] { findBar_->text().isEmpty() ? findBar_->Open() : findBar_->Previous(); });
}

void TfrmKrvClientA::CreateConnectionLogEntry() {
    QMenu* file = findChild<QMenu*>(QStringLiteral("mnuFile"));
    QAction* exit = findChild<QAction*>(QStringLiteral("mnuExit"));
    auto* entry = new QAction(QStringLiteral("Connection &log..."), file);
    entry->setObjectName(QStringLiteral("mnuConnectionLog"));
    entry->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    file->insertAction(exit, entry);
    file->insertSeparator(exit);
    connect(entry, &QAction::triggered, this, [this] { mnuConnectionLogClick(); });
}

// The list's keys act on the selected member as the popup's entries do.
void TfrmKrvClientA::CreateListKeys() {
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        connect(AddShortcut(ListView1_, "scPopup", keys, Qt::WidgetShortcut), &QShortcut::activated, this,
                [this] { PopupAtCurrentRow(); });
    }
    connect(AddShortcut(ListView1_, "scDeleteClient", QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut),
            &QShortcut::activated, this, [this] { TriggerAction(*this, "mnuDeleteClient"); });
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        connect(AddShortcut(ListView1_, "scEditClient", keys, Qt::WidgetShortcut), &QShortcut::activated,
                this, [this] { TriggerAction(*this, "mnuEditClient"); });
    }
}

void TfrmKrvClientA::PopupAtCurrentRow() {
    const QRect row = ListView1_->visualRect(ListView1_->currentIndex());
    puMembersPopup(row.isValid() ? row.bottomLeft() : ListView1_->viewport()->rect().center());
}

void TfrmKrvClientA::mnuConnectionLogClick() {
    if (!logWindow_) {
        logWindow_ = std::make_unique<ConnectionLogWindow>(*log_, this);
    }
    logWindow_->show();
    logWindow_->raise();
}

void TfrmKrvClientA::RecordLinkEvent(const LinkEvent& event) {
    log_->Record(event, *link_);
    // An error is always kept, so the newest entry is this one.
    if (event.kind == LinkEventKind::Error && !log_->Entries().empty()) {
        const ConnectionLogEntry& entry = log_->Entries().back();
        connectionPanel_->setToolTip(BytesToDisplay(entry.time + "  " + entry.text));
    }
}

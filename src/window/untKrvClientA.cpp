#include "window/untKrvClientA.hpp"

#include <algorithm>
#include <clocale>
#include <vector>

#include <QAbstractItemView>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPoint>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "dialogs/ProductTitle.hpp"
#include "rows/CaptionKeysAhead.hpp"
#include "session/ConnectionLog.hpp"
#include "settings/SettingsLocation.hpp"
#include "settings/StoredSettings.hpp"
#include "window/ConnectionLogWindow.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListModel.hpp"
#include "window/MemberListView.hpp"

namespace {
constexpr int kClientWidth = 328;
constexpr int kClientHeight = 278;
constexpr int kStatusBarHeight = 19;
constexpr int kCountPanelWidth = 30;
// The longest the timer sleeps while nothing is due, should anything ever fall due unannounced.
constexpr int64_t kLongestIdleWaitMs = 5000;
// 8 points at the 96 dots per inch the layout was drawn for, whatever the screen's density.
constexpr int kFontPixelSize = 11;
const char* const kApplicationTitle = "krvClientA";

// Chosen once, at start: beside the program where a krvClientA.portable marker there says so
// (the build tree), else the user's folder (~/.config/krvClientA, after the application's name;
// root's too), made when missing. A folder that cannot be made shows up as the save's "Unable
// to write to" with this path.
QString DefaultSettingsPath() {
    const std::string chosen = ChooseSettingsPath(
        DisplayToBytes(QCoreApplication::applicationFilePath()),
        DisplayToBytes(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)));
    PrepareSettingsFolder(chosen);
    return BytesToDisplay(chosen);
}

// Numbers are written with "." whatever the user's locale says, in Qt's formatting and in the
// C library's alike.
void FixDecimalSeparator() {
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, "C");
}

// The places of the controls are fixed; where the desktop's font is wider than the one they
// were laid out for, the caption gets a smaller font rather than being cut off.
void FitCaption(QWidget* control) {
    constexpr int kSmallestPixelSize = 8;
    QFont font = control->font();
    while (control->sizeHint().width() > control->width() && font.pixelSize() > kSmallestPixelSize) {
        font.setPixelSize(font.pixelSize() - 1);
        control->setFont(font);
    }
}

QToolButton* CreateGroupedButton(QWidget* parent, const char* name, const char* caption, const QRect& place) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(QLatin1String(caption));
    button->setCheckable(true);
    button->setGeometry(place);
    return button;
}

QLabel* CreateStatusPanel(QStatusBar* bar, const char* name, Qt::Alignment alignment) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QLatin1String(name));
    panel->setAlignment(alignment | Qt::AlignVCenter);
    // Hosts and logins come from the server and the settings file: never markup.
    panel->setTextFormat(Qt::PlainText);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return panel;
}

QAction* AddAction(QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QLatin1String(caption));
    action->setObjectName(QLatin1String(name));
    return action;
}
}  // namespace

TfrmKrvClientA::TfrmKrvClientA(std::unique_ptr<ClientSocket> socket, const QString& settingsPath,
                               const Clock& clock, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmKrvClientA"));
    CreateControls();
    CreateMenus();
    CreateMemberCommands();
    CreateExtras();
    FormCreate(std::move(socket), settingsPath, clock);
    CreateAboutBox();
}

TfrmKrvClientA::~TfrmKrvClientA() {
    // The rows read the records in place; emptied first, they have nothing to copy as they go.
    model_->ReplaceRows({});
    session_.reset();
}

void TfrmKrvClientA::FormCreate(std::unique_ptr<ClientSocket> socket, const QString& settingsPath,
                                const Clock& clock) {
    FixDecimalSeparator();
    QCoreApplication::setApplicationName(QLatin1String(kApplicationTitle));
    setWindowTitle(QLatin1String(kProductTitle));
    iniFileName_ = settingsPath.isEmpty() ? DefaultSettingsPath() : settingsPath;
    session_ =
        std::make_unique<ServerSession>(static_cast<SessionListener&>(*this), std::move(socket), clock);
    session_->SetOnEventQueued([this] { WakeTimer(); });
    session_->WatchMembers(model_);
    session_->SetSingleRowChanges(true);
    captionsAhead_ = std::make_unique<CaptionKeysAhead>(model_->Collator());
    LoadSettings();
    SaveSettings();
    onlineCount_ = 0;
    cbAutoReconnect_->setChecked(session_->Schedule().on);
    timerPeriod_ = std::max(timerPeriod_, kMinimumTimerPeriod);
    Timer1_->setInterval(timerPeriod_);
    Timer1_->start();
}

// A resolver that keeps failing fails every attempt of the schedule; a box of its own for each,
// each running its loop inside the last, would pile up until the program fell over.
void TfrmKrvClientA::ReportSocketFailure(const std::string& message) {
    // The box counts the failures; the log keeps each one, with its time.
    RecordLinkEvent({LinkEventKind::Error, LineState::LoggedOut, message}, {});
    QString text = BytesToDisplay(message);
    // A closed box is only deleted later.
    if (failureBox_ != nullptr && failureBox_->isVisible()) {
        ++failuresShown_;
        failureBox_->setText(text + QStringLiteral("\n\n%1 lookup attempts failed.").arg(failuresShown_));
        return;
    }
    failuresShown_ = 1;
    failureBox_ = new QMessageBox(QMessageBox::Critical, QCoreApplication::applicationName(), text,
                                  QMessageBox::Ok, this);
    failureBox_->setAttribute(Qt::WA_DeleteOnClose);
    failureBox_->setTextFormat(Qt::PlainText);
    // Modal for the administrator, but the timer, and with it the reconnection, goes on.
    failureBox_->setWindowModality(Qt::ApplicationModal);
    failureBox_->show();
}

void TfrmKrvClientA::CreateControls() {
    QFont font = this->font();
    font.setPixelSize(kFontPixelSize);
    setFont(font);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
    setCentralWidget(client);

    cbAutoReconnect_ = new QCheckBox(QStringLiteral("auto reconnect"), client);
    cbAutoReconnect_->setObjectName(QStringLiteral("cbAutoReconnect"));
    cbAutoReconnect_->setGeometry(64, 0, 97, 17);
    connect(cbAutoReconnect_, &QCheckBox::clicked, this, [this] { cbAutoReconnectClick(); });

    btConnect_ = CreateGroupedButton(client, "btConnect", "connect", QRect(192, 0, 65, 17));
    btDisconnect_ = CreateGroupedButton(client, "btDisconnect", "disconnect", QRect(256, 0, 65, 17));
    connectGroup_ = new QButtonGroup(this);
    connectGroup_->setExclusive(true);
    connectGroup_->addButton(btConnect_);
    connectGroup_->addButton(btDisconnect_);
    btDisconnect_->setChecked(true);
    connect(btConnect_, &QToolButton::clicked, this, [this] { btConnectClick(); });
    connect(btDisconnect_, &QToolButton::clicked, this, [this] { btDisconnectClick(); });

    CreateMemberList(client);
    CreateStatusBar();
    FitCaption(cbAutoReconnect_);
    // The two buttons of the group share one font, the one that fits the longer caption.
    FitCaption(btDisconnect_);
    btConnect_->setFont(btDisconnect_->font());

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TfrmKrvClientA::CreateMemberList(QWidget* client) {
    model_ = new MemberListModel(this);
    ListView1_ = new MemberListView(client);
    ListView1_->setObjectName(QStringLiteral("ListView1"));
    ListView1_->setGeometry(0, 32, 329, 225);
    ListView1_->setModel(model_);
    ListView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1_->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1_->setIconSize(QSize(16, 16));
    // Columns share the list's width instead of being measured, which would read every row.
    QHeaderView* header = ListView1_->ColumnHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Stretch);
    ListView1_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { puMembersPopup(position); });
    // Where a row in or out puts the top row back takes a walk over the rows the first time; after
    // a scroll it is taken once the list has stood still for a moment, so that the next report
    // finds it while a turning wheel pays nothing.
    topRowAhead_ = new QTimer(this);
    topRowAhead_->setSingleShot(true);
    topRowAhead_->setInterval(200);
    connect(topRowAhead_, &QTimer::timeout, this, [this] { FindTopRowsPlaceAhead(); });
    connect(ListView1_->verticalScrollBar(), &QScrollBar::valueChanged, topRowAhead_,
            qOverload<>(&QTimer::start));
}

void TfrmKrvClientA::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setFixedHeight(kStatusBarHeight);
    bar->setSizeGripEnabled(false);
    onlinePanel_ = CreateStatusPanel(bar, "StatusPanel0", Qt::AlignHCenter);
    memberCountPanel_ = CreateStatusPanel(bar, "StatusPanel1", Qt::AlignHCenter);
    connectionPanel_ = CreateStatusPanel(bar, "StatusPanel2", Qt::AlignLeft);
    onlinePanel_->setFixedWidth(kCountPanelWidth);
    memberCountPanel_->setFixedWidth(kCountPanelWidth);
    bar->addWidget(onlinePanel_);
    bar->addWidget(memberCountPanel_);
    bar->addWidget(connectionPanel_, 1);
}

void TfrmKrvClientA::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* exit = AddAction(file, "mnuExit", "E&xit");
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, [this] { mnuExitClick(); });
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* about = AddAction(help, "mnuHelpAbout", "&About");
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, [this] { mnuHelpAboutClick(); });
    // The menu bar takes its own height above the client area, which keeps its fixed size.
    setFixedSize(kClientWidth, bar->sizeHint().height() + kClientHeight);
}

void TfrmKrvClientA::CreateMemberCommands() {
    puMembers_ = new QMenu(this);
    puMembers_->setObjectName(QStringLiteral("puMembers"));
    struct Command {
        const char* name;
        const char* caption;
        void (TfrmKrvClientA::*handler)();
    };
    const std::vector<std::vector<Command>> groups = {
        {{"mnuAddClient", "add client", &TfrmKrvClientA::mnuAddClientClick},
         {"mnuEditClient", "edit client", &TfrmKrvClientA::mnuEditClientClick}},
        {{"mnuDeleteClient", "delete client", &TfrmKrvClientA::mnuDeleteClientClick},
         {"mnuExpelClient", "expel client", &TfrmKrvClientA::mnuExpelClientClick}},
        {{"mnuRequestClientLogoff", "request client logoff", &TfrmKrvClientA::mnuRequestClientLogoffClick},
         {"mnuRequestAllLogoffExcl", "request all logoff (but you)",
          &TfrmKrvClientA::mnuRequestAllLogoffExclClick},
         {"mnuRequestAllLogoffInc", "request all logoff (you too)",
          &TfrmKrvClientA::mnuRequestAllLogoffIncClick}},
        {{"mnuRequestClientReconnect", "request client reconnect",
          &TfrmKrvClientA::mnuRequestClientReconnectClick},
         {"mnuRequestAllReconnecteExc", "request all reconnect (but you)",
          &TfrmKrvClientA::mnuRequestAllReconnecteExcClick},
         {"mnuRequestAllReconnectIncl", "request all reconnect (you too)",
          &TfrmKrvClientA::mnuRequestAllReconnectInclClick}},
    };
    for (const auto& group : groups) {
        if (!puMembers_->isEmpty()) {
            puMembers_->addSeparator();
        }
        for (const Command& command : group) {
            QAction* action = AddAction(puMembers_, command.name, command.caption);
            connect(action, &QAction::triggered, this,
                    [this, handler = command.handler] { (this->*handler)(); });
        }
    }
}

void TfrmKrvClientA::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TfrmKrvClientA::FormClose() {
    Timer1_->stop();
    SaveSettings();
}

void TfrmKrvClientA::btConnectClick() {
    if (session_->Link().Connected()) {
        return;
    }
    // "connect" shows down only once the link reports the connection.
    btDisconnect_->setChecked(true);
    RunConnectDialog();
}

void TfrmKrvClientA::btDisconnectClick() {
    session_->StayDisconnected();
}

void TfrmKrvClientA::cbAutoReconnectClick() {
    session_->SetAutoReconnect(cbAutoReconnect_->isChecked());
    ScheduleTimer();
}

void TfrmKrvClientA::Timer1Timer() {
    session_->Tick();
    ScheduleTimer();
}

// The timer runs at its period while the link has work queued; otherwise it sleeps until the
// heartbeat or a reconnection falls due, and a queued event wakes it (WakeTimer).
void TfrmKrvClientA::ScheduleTimer() {
    if (!Timer1_->isActive()) {
        return;  // stopped for good by closing
    }
    int64_t interval = timerPeriod_;
    if (!session_->HasPendingWork()) {
        const auto due = session_->TimeUntilDue();
        interval =
            std::clamp<int64_t>(due ? due->count() : kLongestIdleWaitMs, timerPeriod_, kLongestIdleWaitMs);
    }
    if (Timer1_->interval() != interval) {
        Timer1_->start(static_cast<int>(interval));
    }
}

// Called by the link from inside a socket notification: only the timer is touched. It goes off
// once the notification and what the event loop holds before it are done, so the event reaches
// the window from the timer as always, without waiting a period for it.
void TfrmKrvClientA::WakeTimer() {
    if (Timer1_->isActive() && Timer1_->interval() != 0) {
        Timer1_->start(0);
    }
}

void TfrmKrvClientA::mnuExitClick() {
    close();
}

void TfrmKrvClientA::puMembersPopup(const QPoint& position) {
    puMembers_->popup(ListView1_->viewport()->mapToGlobal(position));
}

void TfrmKrvClientA::RefreshMembers() {
    const std::string topCaption = TopRowCaption();
    std::vector<MemberRow> rows;
    rows.reserve(static_cast<size_t>(MemberCount()));
    onlineCount_ = 0;
    const TkvCLDataCollection& members = session_->Members();
    for (int32_t position = 0; position < MemberCount(); ++position) {
        const TkvCLData* record = members.Items(position);
        if (record == nullptr) {
            continue;
        }
        rows.emplace_back(*record);
        onlineCount_ += record->Online() ? 1 : 0;
    }
    model_->ReplaceRows(std::move(rows), captionsAhead_->Take(members));
    session_->RowsRebuilt();
    RestoreTopRow(topCaption);
    ShowCounters();
    // Beside the rebuild the walk costs little, and the report that follows it may come at once.
    FindTopRowsPlaceAhead();
}

// A new member's row goes where a rebuild would sort it: after the rows that sort before it
// and, among those that sort equal, after the members added before it. The top row, the
// counters and panels 0 and 1 then come out as a rebuild leaves them.
void TfrmKrvClientA::InsertMemberRow(const std::string& login) {
    const TkvCLDataCollection& members = session_->Members();
    const int32_t position = members.IndexOf(login);
    const TkvCLData* record = members.Items(position);
    if (record == nullptr) {
        RefreshMembers();
        return;
    }
    const std::string topCaption = TopRowCaption();
    int row = model_->LowerBound(record->Login());
    while (row < model_->RowCount() && model_->SortsEqual(row, record->Login()) &&
           members.IndexOf(model_->Row(row).Login()) < position) {
        ++row;
    }
    model_->InsertRow(row, MemberRow(*record));
    ForgetSelectionAsARebuildDoes();
    onlineCount_ += record->Online() ? 1 : 0;
    RestoreTopRow(topCaption);
    ShowCounters();
}

void TfrmKrvClientA::RemoveMemberRow(const std::string& caption) {
    int row = model_->LowerBound(caption);
    while (row < model_->RowCount() && model_->SortsEqual(row, caption) &&
           model_->Row(row).Login() != caption) {
        ++row;
    }
    if (row >= model_->RowCount() || model_->Row(row).Login() != caption) {
        RefreshMembers();
        return;
    }
    const std::string topCaption = TopRowCaption();
    onlineCount_ -= model_->Row(row).Online() ? 1 : 0;
    model_->RemoveRow(row);
    ForgetSelectionAsARebuildDoes();
    RestoreTopRow(topCaption);
    ShowCounters();
}

// A rebuild resets the rows, which takes the selection and the current row with it, silently.
void TfrmKrvClientA::ForgetSelectionAsARebuildDoes() {
    ListView1_->selectionModel()->reset();
}

// The caption of the row at the top of the list, or empty when there is none to come back to.
std::string TfrmKrvClientA::TopRowCaption() const {
    const QModelIndex top = ListView1_->indexAt(QPoint(1, 1));
    return top.isValid() ? model_->Row(top.row()).Login() : std::string();
}

void TfrmKrvClientA::RestoreTopRow(const std::string& caption) {
    ListView1_->scrollToTop();
    if (caption.empty()) {
        return;
    }
    const int row = model_->LastRowAtOrBefore(caption);
    if (row > 0) {
        ListView1_->scrollTo(model_->index(row, 0), QAbstractItemView::PositionAtTop);
    }
}

void TfrmKrvClientA::FindTopRowsPlaceAhead() {
    const std::string caption = TopRowCaption();
    if (!caption.empty()) {
        model_->LastRowAtOrBefore(caption);
    }
}

void TfrmKrvClientA::RefreshMember(const std::string& login) {
    const TkvCLData* record = session_->Members().RecordOf(login);
    const int row = model_->FindCaption(login);
    if (record == nullptr || row < 0) {
        RefreshMembers();
        return;
    }
    onlineCount_ -= model_->Row(row).Online() ? 1 : 0;
    model_->SetRow(row, MemberRow(*record), RowInSight(row));
    onlineCount_ += record->Online() ? 1 : 0;
    onlinePanel_->setText(QString::number(onlineCount_));
}

// From the rows at the view's top and bottom edges, which the view finds without a search.
bool TfrmKrvClientA::RowInSight(int row) const {
    const QRect area = ListView1_->viewport()->rect();
    const QModelIndex top = ListView1_->indexAt(area.topLeft());
    if (!top.isValid() || row < top.row()) {
        return !top.isValid();
    }
    const QModelIndex bottom = ListView1_->indexAt(QPoint(area.left(), area.bottom()));
    return !bottom.isValid() || row <= bottom.row();
}

void TfrmKrvClientA::ShowCounters() {
    memberCountPanel_->setText(QString::number(MemberCount()));
    onlinePanel_->setText(QString::number(onlineCount_));
}

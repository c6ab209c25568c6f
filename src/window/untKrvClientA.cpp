#include "window/untKrvClientA.hpp"

#include <algorithm>
#include <clocale>
#include <vector>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPoint>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "dialogs/FormPlacement.hpp"
#include "dialogs/ProductTitle.hpp"
#include "dialogs/krvClientAAbout.hpp"
#include "session/ConnectionLog.hpp"
#include "session/SessionJournal.hpp"
#include "settings/PasswordKeyring.hpp"
#include "settings/SettingsLocation.hpp"
#include "settings/StoredSettings.hpp"
#include "window/ConnectionLogWindow.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberCommands.hpp"
#include "window/MemberListPane.hpp"
#include "window/ServersMenu.hpp"
#include "window/StateButton.hpp"

namespace {
constexpr int kClientWidth = 328;
constexpr int kClientHeight = 278;
constexpr int kStatusBarHeight = 19;
constexpr int kCountPanelWidth = 30;
// Room beside a count that has outgrown the drawn width, beyond the panel's frame.
constexpr int kCountPanelPadding = 4;
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
    auto* button = new StateButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(QLatin1String(caption));
    button->setCheckable(true);
    button->setGeometry(place);
    return button;
}

// A count panel keeps its drawn width until its number no longer fits in it (ten thousand
// members and more); it is measured only when the number's length changes.
void ShowCount(QLabel& panel, int32_t count) {
    const QString text = QString::number(count);
    if (text.size() != panel.text().size()) {
        const int needed = panel.fontMetrics().horizontalAdvance(text) + 2 * panel.frameWidth();
        panel.setFixedWidth(needed <= kCountPanelWidth ? kCountPanelWidth : needed + kCountPanelPadding);
    }
    panel.setText(text);
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

std::string WallClockNow() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString();
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

QAction* AddAction(QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QLatin1String(caption));
    action->setObjectName(QLatin1String(name));
    return action;
}
}  // namespace

TfrmKrvClientA::TfrmKrvClientA(std::unique_ptr<ClientSocket> socket, const QString& settingsPath,
                               const Clock& clock, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                              Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmKrvClientA"));
    socket_ = socket.get();
    session_ =
        std::make_unique<ServerSession>(static_cast<SessionListener&>(*this), std::move(socket), clock);
    session_->SetSingleRowChanges(true);
    log_ = std::make_unique<ConnectionLog>(&WallClockNow);
    CreateControls();
    CreateMenus();
    commands_ = new MemberCommands(*this, *session_, *list_);
    commands_->JournalWith([this] { return journal_.get(); });
    FormCreate(settingsPath);
    about_ = new TfrmkrvClientAAbout(this);
}

TfrmKrvClientA::~TfrmKrvClientA() {
    list_->LetGoOfRecords();
    // A command on many members still running hears no more: the session it follows goes now.
    commands_ = nullptr;
    // What the link says while it closes is no longer journaled; what was is written now.
    journal_.reset();
    session_.reset();
}

void TfrmKrvClientA::FormCreate(const QString& settingsPath) {
    FixDecimalSeparator();
    QCoreApplication::setApplicationName(QLatin1String(kApplicationTitle));
    setWindowTitle(QLatin1String(kProductTitle));
    iniFileName_ = settingsPath.isEmpty() ? DefaultSettingsPath() : settingsPath;
    session_->SetOnEventQueued([this] { WakeTimer(); });
    LoadSettings();
    SaveSettings();
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
    // The designed size is the smallest; the list takes whatever room the window is given.
    client->setMinimumSize(kClientWidth, kClientHeight - kStatusBarHeight);
    setCentralWidget(client);

    cbAutoReconnect_ = new QCheckBox(QStringLiteral("auto reconnect"), client);
    cbAutoReconnect_->setObjectName(QStringLiteral("cbAutoReconnect"));
    cbAutoReconnect_->setGeometry(64, 0, 97, 17);
    connect(cbAutoReconnect_, &QCheckBox::clicked, this, [this] { cbAutoReconnectClick(); });

    btConnect_ = CreateGroupedButton(client, "btConnect", "connect", QRect(192, 0, 65, 17));
    btDisconnect_ = CreateGroupedButton(client, "btDisconnect", "disconnect", QRect(256, 0, 65, 17));
    auto* connectGroup = new QButtonGroup(this);
    connectGroup->setExclusive(true);
    connectGroup->addButton(btConnect_);
    connectGroup->addButton(btDisconnect_);
    btDisconnect_->setChecked(true);
    connect(btConnect_, &QToolButton::clicked, this, [this] { btConnectClick(); });
    connect(btDisconnect_, &QToolButton::clicked, this, [this] { btDisconnectClick(); });

    list_ = new MemberListPane(*client, *this, *session_);
    CreateStatusBar();
    FitCaption(cbAutoReconnect_);
    // The two buttons of the group share one font, the one that fits the longer caption.
    FitCaption(btDisconnect_);
    btConnect_->setFont(btDisconnect_->font());

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
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
    onlinePanel_->setToolTip(QStringLiteral("members online"));
    memberCountPanel_->setToolTip(QStringLiteral("members listed"));
}

void TfrmKrvClientA::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* log = AddAction(file, "mnuConnectionLog", "Connection &log...");
    log->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(log, &QAction::triggered, this, [this] { mnuConnectionLogClick(); });
    QAction* journal = AddAction(file, "mnuJournal", "&Journal...");
    journal->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    connect(journal, &QAction::triggered, this, [this] { mnuJournalClick(); });
    file->addSeparator();
    QAction* exit = AddAction(file, "mnuExit", "E&xit");
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, [this] { mnuExitClick(); });
    QMenu* servers = bar->addMenu(QStringLiteral("&Servers"));
    servers_ = new ServersMenu(*this, *servers);
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* about = AddAction(help, "mnuHelpAbout", "&About");
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, [this] { mnuHelpAboutClick(); });
    auto* style = new MnemonicsOnAltStyle;
    style->setParent(bar);
    for (QWidget* styled : std::initializer_list<QWidget*>{bar, file, servers, help}) {
        styled->setStyle(style);
    }
    // The menu bar takes its own height above the client area, which opens at its designed size.
    setMinimumSize(DesignedSize());
    resize(DesignedSize());
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
    StartConnect();
}

void TfrmKrvClientA::btDisconnectClick() {
    if (journal_) {
        journal_->Disconnecting("the administrator disconnected");
    }
    session_->StayDisconnected();
}

void TfrmKrvClientA::cbAutoReconnectClick() {
    session_->SetAutoReconnect(cbAutoReconnect_->isChecked());
    ScheduleTimer();
}

void TfrmKrvClientA::Timer1Timer() {
    session_->Tick();
    commands_->AfterTick();
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

QSize TfrmKrvClientA::DesignedSize() const {
    return {kClientWidth, menuBar()->sizeHint().height() + kClientHeight};
}

int32_t TfrmKrvClientA::OnlineCount() const {
    return list_->OnlineCount();
}

void TfrmKrvClientA::ShowCounters() {
    ShowCount(*memberCountPanel_, MemberCount());
    ShowOnlineCount();
}

void TfrmKrvClientA::ShowOnlineCount() {
    ShowCount(*onlinePanel_, list_->OnlineCount());
}

void TfrmKrvClientA::mnuHelpAboutClick() {
    CenterFormOver(*about_, *this);
    about_->Fill();
    about_->exec();
}

void TfrmKrvClientA::mnuConnectionLogClick() {
    if (!logWindow_) {
        logWindow_ = std::make_unique<ConnectionLogWindow>(*log_, this);
    }
    logWindow_->show();
    logWindow_->raise();
}

#include "window/untKrvClientA.hpp"

#include <algorithm>
#include <string>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QString>

#include "dialogs/MessageBoxes.hpp"
#include "settings/IniStore.hpp"
#include "settings/SavedServers.hpp"
#include "settings/StoredSettings.hpp"

namespace {

std::string FilePath(const QString& path) {
    QByteArray encoded = QFile::encodeName(path);
    return std::string(encoded.constData(), static_cast<size_t>(encoded.size()));
}

}  // namespace

void TfrmKrvClientA::LoadSettings() {
    // An unreadable file reads as an empty one: the defaults apply.
    IniStore ini(FilePath(iniFileName_));
    ini.Load();
    const StoredSettings stored = ReadStoredSettings(ini);

    const QSize screen = QGuiApplication::primaryScreen()->size();
    move(ClampToScreen(stored.windowLeft, screen.width()), ClampToScreen(stored.windowTop, screen.height()));
    if (stored.sizeWidth > 0 && stored.sizeHeight > 0) {
        resize(QSize(stored.sizeWidth, stored.sizeHeight).expandedTo(minimumSize()).boundedTo(screen));
    }
    if (stored.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    timerPeriod_ = std::max(kMinimumTimerPeriod, stored.heartbeat);
    policy_ = ReadPasswordPolicy(ini);
    session_->SetCredentials(stored.login, policy_.remember ? stored.password : std::string());
    session_->SetServer(stored.host, stored.port);
    session_->ApplySchedule(ReconnectSchedule::From(stored));
    StartJournal(stored);
    SetReach(ReadServerReach(ini, kClientSection));
}

void TfrmKrvClientA::SaveSettings() {
    StoredSettings current;
    const QRect outer = frameGeometry();
    current.windowLeft = outer.left();
    current.windowTop = outer.top();
    current.windowWidth = outer.width();
    current.windowHeight = outer.height();
    // Maximised, the size to come back to is the one before.
    current.maximized = isMaximized();
    const QSize size = current.maximized ? normalGeometry().size() : this->size();
    if (size != DesignedSize()) {
        current.sizeWidth = size.width();
        current.sizeHeight = size.height();
    }
    current.heartbeat = timerPeriod_;
    // A server's redirect lasts for this run only: the file keeps what the administrator set.
    const ServerAccount kept = session_->AccountToKeep();
    current.login = kept.login;
    // Where a keyring keeps the password, or none does, the file keeps only one it could not move.
    current.password = CurrentPasswordPlace() == PasswordPlace::File ? kept.password : passwordLeftInFile_;
    current.host = kept.host;
    current.port = kept.port;
    const ReconnectSchedule schedule = session_->Schedule();
    current.reconnectOn = schedule.on;
    current.reconnectDelay = schedule.delay;
    current.reconnectAttempts = schedule.attempts;
    current.reconnectPause = schedule.pause;
    current.reconnectCycles = schedule.cycles;

    // A file that exists but cannot be read is not overwritten: its other contents would be lost.
    // The window goes on working after a failed save; the user learns that nothing was kept.
    IniStore ini(FilePath(iniFileName_));
    bool written = ini.Load() && WriteStoredSettings(ini, current) && WritePasswordPolicy(ini, policy_) &&
                   WriteServerReach(ini, kClientSection, reach_);
    for (const RecentConnection& recent : recentToKeep_) {
        written = written && RememberRecentConnection(ini, recent);
    }
    if (!written || !ini.Save()) {
        ShowPlainMessage(this, QString("Unable to write to %1").arg(iniFileName_));
        return;
    }
    recentToKeep_.clear();
}

StoredSettings TfrmKrvClientA::ConnectionInUse() const {
    StoredSettings current;
    const ServerAccount kept = session_->AccountToKeep();
    current.login = kept.login;
    current.host = kept.host;
    current.port = kept.port;
    const ReconnectSchedule schedule = session_->Schedule();
    current.reconnectOn = schedule.on;
    current.reconnectDelay = schedule.delay;
    current.reconnectAttempts = schedule.attempts;
    current.reconnectPause = schedule.pause;
    current.reconnectCycles = schedule.cycles;
    return current;
}

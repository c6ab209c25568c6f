#include "window/untKrvClientA.hpp"

#include <algorithm>
#include <string>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QString>

#include "dialogs/MessageBoxes.hpp"
#include "settings/IniStore.hpp"
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
    timerPeriod_ = std::max(kMinimumTimerPeriod, stored.heartbeat);
    link_->SetLogin(stored.login);
    link_->SetPassword(stored.password);
    link_->SetHost(stored.host);
    link_->SetPort(stored.port);
    link_->SetAutoReconnect(stored.reconnectOn);
    link_->SetReconnectDelay(stored.reconnectDelay);
    link_->SetReconnectAttempts(stored.reconnectAttempts);
    link_->SetReconnectPause(stored.reconnectPause);
    link_->SetReconnectCycles(stored.reconnectCycles);
}

void TfrmKrvClientA::SaveSettings() {
    StoredSettings current;
    const QRect outer = frameGeometry();
    current.windowLeft = outer.left();
    current.windowTop = outer.top();
    current.windowWidth = outer.width();
    current.windowHeight = outer.height();
    current.heartbeat = timerPeriod_;
    current.login = beforeRedirect_ ? beforeRedirect_->login : link_->Login();
    current.password = beforeRedirect_ ? beforeRedirect_->password : link_->Password();
    current.host = beforeRedirect_ ? beforeRedirect_->host : link_->Host();
    current.port = beforeRedirect_ ? beforeRedirect_->port : link_->Port();
    current.reconnectOn = link_->AutoReconnect();
    current.reconnectDelay = link_->ReconnectDelay();
    current.reconnectAttempts = link_->ReconnectAttempts();
    current.reconnectPause = link_->ReconnectPause();
    current.reconnectCycles = link_->ReconnectCycles();

    // A file that exists but cannot be read is not overwritten: its other contents would be lost.
    // The window goes on working after a failed save; the user learns that nothing was kept.
    IniStore ini(FilePath(iniFileName_));
    if (!ini.Load() || !WriteStoredSettings(ini, current) || !ini.Save()) {
        ShowPlainMessage(this, QString("Unable to write to %1").arg(iniFileName_));
    }
}

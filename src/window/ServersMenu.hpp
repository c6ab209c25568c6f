#pragma once

#include <QObject>
#include <QString>

#include "settings/IniStore.hpp"
#include "settings/SavedServers.hpp"

class QMenu;
class TfrmKrvClientA;

// The "Servers" menu: the saved servers (the one in use marked) and the recent connections,
// each of which becomes the connection in use and opens the connection dialog; the current
// connection saved under a name; a saved server renamed or deleted; whether the password is
// remembered. It reads the settings file each time it opens, which is where the servers live.
class ServersMenu final : public QObject {
    Q_OBJECT

public:
    ServersMenu(TfrmKrvClientA& window, QMenu& menu);

    void Rebuild();
    // The current connection under a name (asked); a name that exists is replaced only if the
    // administrator agrees. False when nothing was saved.
    bool SaveCurrentAs();
    void AskSshTarget();
    bool Rename(const std::string& name);
    bool Delete(const std::string& name);
    // The name of the saved server with this host, port and login; empty when none is saved.
    std::string NameOf(const StoredSettings& connection) const;

private:
    IniStore SettingsFile() const;
    bool Store(IniStore& ini);
    // Empty when the administrator cancels.
    QString AskName(const QString& title, const QString& initial);
    void Choose(const std::string& name);
    void ChooseRecent(const RecentConnection& recent);

    TfrmKrvClientA& window_;
    QMenu& menu_;
    QMenu* renameMenu_ = nullptr;
    QMenu* deleteMenu_ = nullptr;
};

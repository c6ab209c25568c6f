#include "window/ServersMenu.hpp"

#include <QAction>
#include <QFile>
#include <QInputDialog>
#include <QMenu>

#include "dialogs/MessageBoxes.hpp"
#include "settings/PasswordPlace.hpp"
#include "window/DisplayText.hpp"
#include "window/untKrvClientA.hpp"

namespace {

QAction* NamedAction(QMenu& menu, const QString& objectName, const QString& caption) {
    QAction* action = menu.addAction(caption);
    action->setObjectName(objectName);
    return action;
}

}  // namespace

ServersMenu::ServersMenu(TfrmKrvClientA& window, QMenu& menu) : QObject(&menu), window_(window), menu_(menu) {
    menu_.setObjectName(QStringLiteral("mnuServers"));
    renameMenu_ = new QMenu(QStringLiteral("&Rename"), &menu_);
    renameMenu_->setObjectName(QStringLiteral("mnuServerRename"));
    deleteMenu_ = new QMenu(QStringLiteral("&Delete"), &menu_);
    deleteMenu_->setObjectName(QStringLiteral("mnuServerDelete"));
    // The window's settings file is not known yet; the menu is filled as it opens.
    connect(&menu_, &QMenu::aboutToShow, this, &ServersMenu::Rebuild);
}

IniStore ServersMenu::SettingsFile() const {
    const QByteArray path = QFile::encodeName(window_.IniFileName());
    IniStore ini(std::string(path.constData(), static_cast<size_t>(path.size())));
    // An unreadable file lists no servers; saving into it is refused in Store.
    ini.Load();
    return ini;
}

bool ServersMenu::Store(IniStore& ini) {
    if (!ini.Save()) {
        ShowPlainMessage(&window_, QStringLiteral("Unable to write to %1").arg(window_.IniFileName()));
        return false;
    }
    return true;
}

std::string ServersMenu::NameOf(const StoredSettings& connection) const {
    for (const SavedServer& server : ReadSavedServers(SettingsFile())) {
        if (IsServerInUse(server, connection)) {
            return server.name;
        }
    }
    return {};
}

void ServersMenu::Rebuild() {
    menu_.clear();
    renameMenu_->clear();
    deleteMenu_->clear();
    const IniStore ini = SettingsFile();
    const StoredSettings inUse = window_.ConnectionInUse();
    const std::vector<SavedServer> servers = ReadSavedServers(ini);
    for (const SavedServer& server : servers) {
        const QString name = BytesToDisplay(server.name);
        QAction* choose = NamedAction(menu_, QStringLiteral("mnuServer_") + name, name);
        choose->setCheckable(true);
        choose->setChecked(IsServerInUse(server, inUse));
        connect(choose, &QAction::triggered, this, [this, key = server.name] { Choose(key); });
        connect(NamedAction(*renameMenu_, QStringLiteral("mnuServerRename_") + name, name),
                &QAction::triggered, this, [this, key = server.name] { Rename(key); });
        connect(NamedAction(*deleteMenu_, QStringLiteral("mnuServerDelete_") + name, name),
                &QAction::triggered, this, [this, key = server.name] { Delete(key); });
    }
    const std::vector<RecentConnection> recent = ReadRecentConnections(ini);
    if (!recent.empty()) {
        menu_.addSection(QStringLiteral("Recent"));
    }
    for (size_t i = 0; i < recent.size(); ++i) {
        const RecentConnection& connection = recent[i];
        QAction* choose =
            NamedAction(menu_, QStringLiteral("mnuRecent_%1").arg(i + 1),
                        BytesToDisplay(ConnectionKey(connection.login, connection.host, connection.port)));
        connect(choose, &QAction::triggered, this, [this, connection] { ChooseRecent(connection); });
    }
    menu_.addSeparator();
    connect(NamedAction(menu_, QStringLiteral("mnuServerSaveAs"), QStringLiteral("&Save as...")),
            &QAction::triggered, this, [this] { SaveCurrentAs(); });
    menu_.addMenu(renameMenu_)->setEnabled(!servers.empty());
    menu_.addMenu(deleteMenu_)->setEnabled(!servers.empty());
    menu_.addSeparator();
    QAction* remember =
        NamedAction(menu_, QStringLiteral("mnuRememberPassword"), QStringLiteral("Remember the &password"));
    remember->setCheckable(true);
    remember->setChecked(window_.Policy().remember);
    connect(remember, &QAction::triggered, this, [this](bool on) { window_.SetRememberPassword(on); });
    QAction* tls = NamedAction(menu_, QStringLiteral("mnuReachTls"), QStringLiteral("Encrypt with &TLS"));
    tls->setCheckable(true);
    tls->setChecked(KindOf(window_.Reach()) == ReachKind::Tls);
    connect(tls, &QAction::triggered, this, [this](bool on) { window_.SetTlsOn(on); });
    QAction* ssh = NamedAction(menu_, QStringLiteral("mnuReachSsh"), QStringLiteral("Through &SSH..."));
    ssh->setCheckable(true);
    ssh->setChecked(KindOf(window_.Reach()) == ReachKind::Ssh);
    connect(ssh, &QAction::triggered, this, [this] { AskSshTarget(); });
    QAction* forget = NamedAction(menu_, QStringLiteral("mnuForgetCertificates"),
                                  QStringLiteral("&Forget the accepted certificates"));
    forget->setEnabled(!window_.Reach().tlsPins.empty());
    connect(forget, &QAction::triggered, this, [this] { window_.ForgetAcceptedCertificates(); });
}

QString ServersMenu::AskName(const QString& title, const QString& initial) {
    QInputDialog dialog(&window_);
    dialog.setObjectName(QStringLiteral("dlgServerName"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(QStringLiteral("Name of the server:"));
    dialog.setTextValue(initial);
    while (dialog.exec() == QDialog::Accepted) {
        const QString name = dialog.textValue().trimmed();
        if (IsValidServerName(DisplayToBytes(name))) {
            return name;
        }
        ShowPlainMessage(&window_, QStringLiteral("A server's name cannot be empty or hold \"[\" or \"]\"."));
    }
    return {};
}

bool ServersMenu::SaveCurrentAs() {
    const QString name = AskName(QStringLiteral("Save server as"), {});
    if (name.isEmpty()) {
        return false;
    }
    IniStore ini = SettingsFile();
    if (FindSavedServer(ini, DisplayToBytes(name)) &&
        !AskConfirmation(&window_,
                         QStringLiteral("A server named %1 is saved already. Replace it?").arg(name))) {
        return false;
    }
    SavedServer server = ServerFromSettings(DisplayToBytes(name), window_.ConnectionInUse());
    server.rememberPassword = window_.Policy().remember;
    SetReach(server, window_.Reach());
    // The file keeps a server's password only where it keeps the connection in use's.
    if (ChoosePasswordPlace(window_.Policy(), window_.KeyringStatus()) == PasswordPlace::File) {
        server.password = window_.Session().AccountToKeep().password;
    }
    // A server saved in another spelling is replaced; deleting it first keeps the new spelling.
    DeleteSavedServer(ini, server.name);
    return WriteSavedServer(ini, server) && Store(ini);
}

bool ServersMenu::Rename(const std::string& name) {
    const QString to = AskName(QStringLiteral("Rename server"), BytesToDisplay(name));
    if (to.isEmpty()) {
        return false;
    }
    IniStore ini = SettingsFile();
    if (!RenameSavedServer(ini, name, DisplayToBytes(to))) {
        ShowPlainMessage(&window_, QStringLiteral("A server named %1 is saved already.").arg(to));
        return false;
    }
    return Store(ini);
}

bool ServersMenu::Delete(const std::string& name) {
    if (!AskConfirmation(&window_, QStringLiteral("Delete the saved server %1?").arg(BytesToDisplay(name)))) {
        return false;
    }
    IniStore ini = SettingsFile();
    return DeleteSavedServer(ini, name) && Store(ini);
}

void ServersMenu::Choose(const std::string& name) {
    if (const std::optional<SavedServer> server = FindSavedServer(SettingsFile(), name)) {
        window_.MakeConnectionInUse(*server);
    }
}

void ServersMenu::AskSshTarget() {
    QInputDialog dialog(&window_);
    dialog.setObjectName(QStringLiteral("dlgSshTarget"));
    dialog.setWindowTitle(QStringLiteral("Through SSH"));
    dialog.setLabelText(QStringLiteral("SSH host, as [user@]host[:port] (empty: connect directly):"));
    dialog.setTextValue(BytesToDisplay(SshTargetOf(window_.Reach())));
    if (dialog.exec() == QDialog::Accepted) {
        window_.SetSshTarget(DisplayToBytes(dialog.textValue().trimmed()));
    }
}

void ServersMenu::ChooseRecent(const RecentConnection& recent) {
    SavedServer server = ServerFromSettings({}, window_.ConnectionInUse());
    server.login = recent.login;
    server.host = recent.host;
    server.port = recent.port;
    server.rememberPassword = window_.Policy().remember;
    SetReach(server, window_.Reach());
    window_.MakeConnectionInUse(server);
}

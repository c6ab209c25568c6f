#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>

#include "admin/AdminArguments.hpp"
#include "admin/AdminCommands.hpp"
#include "admin/AdminSession.hpp"
#include "admin/ConnectionTarget.hpp"
#include "admin/ExitStatus.hpp"
#include "admin/JournalOutput.hpp"
#include "keyring/QtKeychainKeyring.hpp"
#include "settings/SavedServers.hpp"
#include "util/MemoryRetention.hpp"

namespace {

void StopOnSignal(int) {
    RequestAdminStop();
}

std::string ConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

std::string ProgramPath() {
    return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}

// The window's entry for this connection, if a keyring holds one. Nothing else runs yet, so
// waiting here for the job holds nobody up.
void ReadKeyring(ConnectionTarget& target) {
    QtKeychainKeyring keyring;
    if (!keyring.Present()) {
        return;
    }
    const std::string key = ConnectionKey(target.login, target.host, target.port);
    QEventLoop wait;
    keyring.Read(key, [&](const PasswordKeyring::Answer& answer) {
        if (answer.outcome == PasswordKeyring::Outcome::Done) {
            target.password = answer.password;
        } else if (answer.outcome == PasswordKeyring::Outcome::Failed) {
            std::fprintf(stderr, "krvadmin: the keyring did not give the password of %s: %s\n", key.c_str(),
                         answer.error.c_str());
        }
        wait.quit();
    });
    wait.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    KeepFreedMemoryForReuse();
    // The arguments are taken as bytes, before Qt would decode them.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedArguments parsed = ParseAdminArguments(arguments);
    if (parsed.help) {
        std::fputs(parsed.helpText.c_str(), stdout);
        return ExitStatus::Done;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "krvadmin: %s\nTry 'krvadmin --help'.\n", parsed.error.c_str());
        return ExitStatus::Usage;
    }
    if (parsed.version) {
        std::fputs(ProgramVersion().c_str(), stdout);
        return ExitStatus::Done;
    }
    if (parsed.command.command == AdminCommand::Journal) {
        return RunJournalCommand(parsed.command);
    }
    QCoreApplication application(argc, argv);
    ConnectionTarget target;
    std::string error;
    if (!ResolveConnectionTarget(parsed.connection, std::getenv("KRVADMIN_PASSWORD"), target, error,
                                 WindowSettingsPath(ProgramPath(), ConfigHome()))) {
        std::fprintf(stderr, "krvadmin: %s\n", error.c_str());
        return ExitStatus::Usage;
    }
    if (target.MayAskKeyring()) {
        ReadKeyring(target);
    }
    if (!target.password) {
        std::string password;
        if (!AskPasswordOnTerminal("Password for " + target.login + ": ", password)) {
            std::fputs(
                "krvadmin: no password: give --password-file or KRVADMIN_PASSWORD, or run on a terminal\n",
                stderr);
            return ExitStatus::Usage;
        }
        target.password = password;
    }

    if (parsed.command.command == AdminCommand::Watch) {
        std::signal(SIGINT, StopOnSignal);
        std::signal(SIGTERM, StopOnSignal);
    }
    AdminSession session(std::move(target), std::chrono::seconds(parsed.connection.timeoutSeconds));
    int status = session.Open();
    if (status == ExitStatus::Done) {
        status = RunAdminCommand(session, parsed.command);
    }
    session.Close();
    return status;
}

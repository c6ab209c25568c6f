#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "admin/AdminArguments.hpp"
#include "link/LinkProtection.hpp"
#include "settings/StoredSettings.hpp"

// Everything needed to connect and log in, gathered from the options, the settings file and
// the environment.
struct ConnectionTarget {
    // Where the password came from; the keyring is asked before the settings file.
    enum class PasswordSource { None, PasswordFile, Environment, SettingsFile };

    std::string host;
    int32_t port = 0;
    std::string login;
    std::optional<std::string> password;  // unset: ask on the terminal
    StoredSettings schedule;              // the reconnect schedule to run under
    std::string serverName;               // the saved server's (--server), as it is saved
    PasswordSource passwordSource = PasswordSource::None;
    TlsPolicy tls;
    SshPolicy ssh;

    // Whether the keyring is asked: only where neither the options nor the variable gave it.
    bool MayAskKeyring() const {
        return passwordSource == PasswordSource::None || passwordSource == PasswordSource::SettingsFile;
    }
};

// The window's settings file as the window finds it, for a krvadmin at adminProgramPath:
// the window's program is looked for beside it, and in the folder above (the build tree).
std::string WindowSettingsPath(const std::string& adminProgramPath, const std::string& configHome);

// The first line of the file, without its line end. False with the reason when it cannot be read.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error);

// Options win over the settings file, or the saved server (--server, read from --settings or
// from windowSettingsPath). The password comes from --password-file, then from
// environmentPassword (KRVADMIN_PASSWORD; nullptr when unset), then from the settings file.
// False with the reason when a file cannot be read or host, port or login is missing.
bool ResolveConnectionTarget(const ConnectionOptions& options, const char* environmentPassword,
                             ConnectionTarget& target, std::string& error,
                             const std::string& windowSettingsPath = {});

// Asks on the controlling terminal with echo off. False when there is no terminal.
bool AskPasswordOnTerminal(const std::string& prompt, std::string& password);

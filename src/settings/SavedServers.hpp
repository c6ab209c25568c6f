#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniStore.hpp"
#include "settings/ServerReach.hpp"
#include "settings/StoredSettings.hpp"

// A server the administrator saved under a name. Each lives in a section of its own,
// "[Server: NAME]", beside "Parameters" and "Client", which keep the connection in use; a program
// that knows nothing of saved servers reads and keeps the file as before.
struct SavedServer {
    std::string name;
    std::string host;
    int32_t port = 0;
    std::string login;
    bool reconnectOn = true;
    int32_t reconnectDelay = 10;
    int32_t reconnectAttempts = 6;
    int32_t reconnectPause = 60;
    int32_t reconnectCycles = -1;
    // Off: the password is kept nowhere and asked at every connect.
    bool rememberPassword = true;
    // Clear text; the file holds it scrambled, and only where no keyring keeps it.
    std::string password;
    // How the server is reached (ServerReach's keys); a way the program does not know is kept
    // as text, so that it survives a program that does not know it.
    std::string reach;
    std::string tlsCaFile;
    std::string tlsPins;
    std::string sshCommand;

    bool operator==(const SavedServer&) const = default;
};

// A connection used lately, saved or not.
struct RecentConnection {
    std::string login;
    std::string host;
    int32_t port = 0;

    bool operator==(const RecentConnection&) const = default;
};

inline constexpr std::string_view kServerSectionPrefix = "Server: ";
inline constexpr size_t kMaxRecentConnections = 5;

// A name is stored in a section header: not empty, no blanks around it, nothing that ends the
// header or the line.
bool IsValidServerName(std::string_view name);
std::string ServerSection(std::string_view name);

// In the file's order; sections of the prefix with an invalid name are left alone.
std::vector<SavedServer> ReadSavedServers(const IniStore& ini);
// Names are compared without regard to the case of ASCII letters, as the file's sections are.
std::optional<SavedServer> FindSavedServer(const IniStore& ini, std::string_view name);
// Replaces a server of the same name (in whatever case) with this one, under the new spelling.
bool WriteSavedServer(IniStore& ini, const SavedServer& server);
bool DeleteSavedServer(IniStore& ini, std::string_view name);
// False when there is no such server, the new name is invalid or taken by another server.
bool RenameSavedServer(IniStore& ini, std::string_view from, std::string_view to);

ServerReach ReachOf(const SavedServer& server);
void SetReach(SavedServer& server, const ServerReach& reach);

// The connection in use as a server of that name, and a saved server as the connection in use
// (the window's position and the heartbeat stay as they were).
SavedServer ServerFromSettings(std::string_view name, const StoredSettings& settings);
void ApplyServerToSettings(const SavedServer& server, StoredSettings& settings);
// Whether the server is the connection in use: the same host, port and login.
bool IsServerInUse(const SavedServer& server, const StoredSettings& settings);

// "login@host:port": the name the connection's password is kept under in a keyring, and the
// text the recent list shows.
std::string ConnectionKey(std::string_view login, std::string_view host, int32_t port);
std::optional<RecentConnection> ParseConnectionKey(std::string_view key);

std::vector<RecentConnection> ReadRecentConnections(const IniStore& ini);
// Puts the connection first, removing an earlier entry of it; the oldest beyond the limit go.
bool RememberRecentConnection(IniStore& ini, const RecentConnection& connection);

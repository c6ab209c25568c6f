#include "settings/SavedServers.hpp"

#include <algorithm>

#include "util/untCalc1.hpp"

namespace {

constexpr std::string_view kRecentSection = "Recent connections";

bool StartsWithPrefix(std::string_view section) {
    return section.size() > kServerSectionPrefix.size() &&
           SameTextAscii(section.substr(0, kServerSectionPrefix.size()), kServerSectionPrefix);
}

SavedServer ReadServer(const IniStore& ini, std::string_view name) {
    const std::string section = ServerSection(name);
    SavedServer s;
    s.name = std::string(name);
    s.host = ini.ReadString(section, "Host", "");
    s.port = ReadIniInteger(ini, section, "Port", 0);
    s.login = ini.ReadString(section, "Login", "");
    s.reconnectOn = ReadIniBool(ini, section, "ReconnectOn", true);
    s.reconnectDelay = ReadIniInteger(ini, section, "ReconnectDelay", 10);
    s.reconnectAttempts = ReadIniInteger(ini, section, "ReconnectAttempts", 6);
    s.reconnectPause = ReadIniInteger(ini, section, "ReconnectPause", 60);
    s.reconnectCycles = ReadIniInteger(ini, section, "ReconnectCycles", -1);
    s.rememberPassword = ReadIniBool(ini, section, "RememberPassword", true);
    s.password = ReadStoredPassword(ini.ReadString(section, "Password", ""));
    SetReach(s, ReadServerReach(ini, section));
    return s;
}

}  // namespace

bool IsValidServerName(std::string_view name) {
    if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.back() == ' ' ||
        name.back() == '\t') {
        return false;
    }
    return name.find_first_of(std::string_view("[]\r\n\0", 5)) == std::string_view::npos;
}

std::string ServerSection(std::string_view name) {
    return std::string(kServerSectionPrefix) + std::string(name);
}

std::vector<SavedServer> ReadSavedServers(const IniStore& ini) {
    std::vector<SavedServer> servers;
    for (const std::string& section : ini.SectionNames()) {
        if (!StartsWithPrefix(section)) {
            continue;
        }
        const std::string name = section.substr(kServerSectionPrefix.size());
        const bool seen = std::any_of(servers.begin(), servers.end(),
                                      [&](const SavedServer& s) { return SameTextAscii(s.name, name); });
        // A second section of the same name is one the file's readers never see.
        if (IsValidServerName(name) && !seen) {
            servers.push_back(ReadServer(ini, name));
        }
    }
    return servers;
}

std::optional<SavedServer> FindSavedServer(const IniStore& ini, std::string_view name) {
    for (SavedServer& server : ReadSavedServers(ini)) {
        if (SameTextAscii(server.name, name)) {
            return std::move(server);
        }
    }
    return std::nullopt;
}

bool WriteSavedServer(IniStore& ini, const SavedServer& s) {
    if (!IsValidServerName(s.name)) {
        return false;
    }
    ini.EraseSection(ServerSection(s.name));
    const std::string section = ServerSection(s.name);
    auto text = [](int32_t value) { return std::to_string(value); };
    bool written = ini.WriteString(section, "Host", s.host) &&
                   ini.WriteString(section, "Port", text(s.port)) &&
                   ini.WriteString(section, "Login", s.login) &&
                   ini.WriteString(section, "ReconnectOn", s.reconnectOn ? "1" : "0") &&
                   ini.WriteString(section, "ReconnectDelay", text(s.reconnectDelay)) &&
                   ini.WriteString(section, "ReconnectAttempts", text(s.reconnectAttempts)) &&
                   ini.WriteString(section, "ReconnectPause", text(s.reconnectPause)) &&
                   ini.WriteString(section, "ReconnectCycles", text(s.reconnectCycles)) &&
                   ini.WriteString(section, "RememberPassword", s.rememberPassword ? "1" : "0");
    if (written && !s.password.empty()) {
        written = ini.WriteString(section, "Password", ScrambledPassword(s.password));
    }
    return written && WriteServerReach(ini, section, ReachOf(s));
}

bool DeleteSavedServer(IniStore& ini, std::string_view name) {
    return FindSavedServer(ini, name).has_value() && ini.EraseSection(ServerSection(name));
}

bool RenameSavedServer(IniStore& ini, std::string_view from, std::string_view to) {
    std::optional<SavedServer> server = FindSavedServer(ini, from);
    if (!server || !IsValidServerName(to)) {
        return false;
    }
    // Only a change of letter case may reuse the name.
    if (!SameTextAscii(from, to) && FindSavedServer(ini, to)) {
        return false;
    }
    // The section is rewritten in place of the old one's keys: erase, then write anew.
    ini.EraseSection(ServerSection(from));
    server->name = std::string(to);
    return WriteSavedServer(ini, *server);
}

ServerReach ReachOf(const SavedServer& server) {
    return {server.reach, server.tlsCaFile, server.tlsPins, server.sshCommand};
}

void SetReach(SavedServer& server, const ServerReach& reach) {
    server.reach = reach.way;
    server.tlsCaFile = reach.tlsCaFile;
    server.tlsPins = reach.tlsPins;
    server.sshCommand = reach.sshCommand;
}

SavedServer ServerFromSettings(std::string_view name, const StoredSettings& settings) {
    SavedServer s;
    s.name = std::string(name);
    s.host = settings.host;
    s.port = settings.port;
    s.login = settings.login;
    s.reconnectOn = settings.reconnectOn;
    s.reconnectDelay = settings.reconnectDelay;
    s.reconnectAttempts = settings.reconnectAttempts;
    s.reconnectPause = settings.reconnectPause;
    s.reconnectCycles = settings.reconnectCycles;
    return s;
}

void ApplyServerToSettings(const SavedServer& server, StoredSettings& settings) {
    settings.host = server.host;
    settings.port = server.port;
    settings.login = server.login;
    settings.reconnectOn = server.reconnectOn;
    settings.reconnectDelay = server.reconnectDelay;
    settings.reconnectAttempts = server.reconnectAttempts;
    settings.reconnectPause = server.reconnectPause;
    settings.reconnectCycles = server.reconnectCycles;
}

bool IsServerInUse(const SavedServer& server, const StoredSettings& settings) {
    return server.port == settings.port && server.login == settings.login &&
           SameTextAscii(server.host, settings.host);
}

std::string ConnectionKey(std::string_view login, std::string_view host, int32_t port) {
    return std::string(login) + "@" + std::string(host) + ":" + std::to_string(port);
}

std::optional<RecentConnection> ParseConnectionKey(std::string_view key) {
    // A host has no "@", a login no ":"; a numeric IPv6 host may have colons, the port is last.
    const size_t colon = key.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view address = key.substr(0, colon);
    const size_t at = address.rfind('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == address.size()) {
        return std::nullopt;
    }
    RecentConnection connection{std::string(address.substr(0, at)), std::string(address.substr(at + 1)),
                                StrToIntDef(key.substr(colon + 1), 0)};
    if (connection.port <= 0 || connection.port > 65535) {
        return std::nullopt;
    }
    return connection;
}

std::vector<RecentConnection> ReadRecentConnections(const IniStore& ini) {
    std::vector<RecentConnection> recent;
    for (size_t i = 1; i <= kMaxRecentConnections; ++i) {
        const std::string key = ini.ReadString(kRecentSection, "Connection" + std::to_string(i), "");
        if (std::optional<RecentConnection> connection = ParseConnectionKey(key)) {
            recent.push_back(std::move(*connection));
        }
    }
    return recent;
}

bool RememberRecentConnection(IniStore& ini, const RecentConnection& connection) {
    std::vector<RecentConnection> recent = ReadRecentConnections(ini);
    recent.erase(std::remove(recent.begin(), recent.end(), connection), recent.end());
    recent.insert(recent.begin(), connection);
    if (recent.size() > kMaxRecentConnections) {
        recent.resize(kMaxRecentConnections);
    }
    ini.EraseSection(kRecentSection);
    for (size_t i = 0; i < recent.size(); ++i) {
        const RecentConnection& c = recent[i];
        if (!ini.WriteString(kRecentSection, "Connection" + std::to_string(i + 1),
                             ConnectionKey(c.login, c.host, c.port))) {
            return false;
        }
    }
    return true;
}

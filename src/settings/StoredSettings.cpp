#include "settings/StoredSettings.hpp"

#include <algorithm>

#include "util/EncryptIt.hpp"
#include "util/untCalc1.hpp"

namespace {

// StrToIntDef after "0x…" has become "$…", so both hexadecimal forms are read.
int32_t ToInteger(std::string_view value, int32_t defaultValue) {
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        std::string dollar(1, '$');
        dollar.append(value.substr(2));
        return StrToIntDef(dollar, defaultValue);
    }
    return StrToIntDef(value, defaultValue);
}

constexpr std::string_view kSizeKey = "wndMainSize";
constexpr std::string_view kMaximizedKey = "wndMainMaximized";

// One field of "left, top, …", popped off the front of rest.
int32_t NextInteger(std::string& rest) {
    std::string field;
    SplitFirst(rest, ",", true, field, rest);
    return StrToIntDef(field, 0);
}

}  // namespace

int32_t ReadIniInteger(const IniStore& ini, std::string_view section, std::string_view key,
                       int32_t defaultValue) {
    const std::string value = ini.ReadString(section, key, std::to_string(defaultValue));
    return ToInteger(value, defaultValue);
}

bool ReadIniBool(const IniStore& ini, std::string_view section, std::string_view key, bool defaultValue) {
    return ReadIniInteger(ini, section, key, defaultValue ? 1 : 0) != 0;
}

std::string ReadStoredPassword(std::string_view value) {
    if (value.size() > 1 && value.front() == '?') {
        return std::string(value.substr(1));
    }
    if (value == "?") {
        return {};
    }
    return DecryptFromHex(value, kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
}

std::string ScrambledPassword(std::string_view password) {
    return EncryptToHex(password, kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
}

StoredSettings ReadStoredSettings(const IniStore& ini) {
    StoredSettings s;
    std::string position = ini.ReadString(kParametersSection, "wndMain", "0, 0, 0, 0");
    s.windowLeft = NextInteger(position);
    s.windowTop = NextInteger(position);
    std::string size = ini.ReadString(kParametersSection, kSizeKey, "0, 0");
    s.sizeWidth = std::max(0, NextInteger(size));
    s.sizeHeight = std::max(0, NextInteger(size));
    s.maximized = ReadIniBool(ini, kParametersSection, kMaximizedKey, false);
    s.heartbeat = ReadIniInteger(ini, kClientSection, "Heartbeat", 10);
    s.login = ini.ReadString(kClientSection, "Login", "");
    s.password = ReadStoredPassword(ini.ReadString(kClientSection, "Password", ""));
    s.host = ini.ReadString(kClientSection, "Host", "");
    s.port = ReadIniInteger(ini, kClientSection, "Port", 0);
    s.reconnectOn = ReadIniBool(ini, kClientSection, "ReconnectOn", true);
    s.reconnectDelay = ReadIniInteger(ini, kClientSection, "ReconnectDelay", 10);
    s.reconnectAttempts = ReadIniInteger(ini, kClientSection, "ReconnectAttempts", 6);
    s.reconnectPause = ReadIniInteger(ini, kClientSection, "ReconnectPause", 60);
    s.reconnectCycles = ReadIniInteger(ini, kClientSection, "ReconnectCycles", -1);
    s.journalOn = ReadIniBool(ini, kJournalSection, "On", true);
    // Nonsense limits fall back to the defaults rather than prune everything.
    s.journalMaxAgeDays = ReadIniInteger(ini, kJournalSection, "MaxAgeDays", 180);
    if (s.journalMaxAgeDays < 1) {
        s.journalMaxAgeDays = 180;
    }
    s.journalMaxMegabytes = ReadIniInteger(ini, kJournalSection, "MaxMegabytes", 200);
    if (s.journalMaxMegabytes < 1) {
        s.journalMaxMegabytes = 200;
    }
    return s;
}

bool WriteStoredSettings(IniStore& ini, const StoredSettings& s) {
    auto text = [](int32_t value) { return std::to_string(value); };
    std::string position =
        text(s.windowLeft) + "," + text(s.windowTop) + "," + text(s.windowWidth) + "," + text(s.windowHeight);
    // A file of a window never resized stays as it was.
    const bool sized = s.sizeWidth > 0 || s.maximized ||
                       !ini.ReadString(kParametersSection, kSizeKey, "").empty() ||
                       !ini.ReadString(kParametersSection, kMaximizedKey, "").empty();
    if (sized &&
        !(ini.WriteString(kParametersSection, "wndMain", position) &&
          ini.WriteString(kParametersSection, kSizeKey, text(s.sizeWidth) + "," + text(s.sizeHeight)) &&
          ini.WriteString(kParametersSection, kMaximizedKey, s.maximized ? "1" : "0"))) {
        return false;
    }
    return ini.WriteString(kParametersSection, "wndMain", position) &&
           ini.WriteString(kClientSection, "Heartbeat", text(s.heartbeat)) &&
           ini.WriteString(kClientSection, "Login", s.login) &&
           ini.WriteString(kClientSection, "Password", ScrambledPassword(s.password)) &&
           ini.WriteString(kClientSection, "Host", s.host) &&
           ini.WriteString(kClientSection, "Port", text(s.port)) &&
           ini.WriteString(kClientSection, "ReconnectOn", s.reconnectOn ? "1" : "0") &&
           ini.WriteString(kClientSection, "ReconnectDelay", text(s.reconnectDelay)) &&
           ini.WriteString(kClientSection, "ReconnectAttempts", text(s.reconnectAttempts)) &&
           ini.WriteString(kClientSection, "ReconnectPause", text(s.reconnectPause)) &&
           ini.WriteString(kClientSection, "ReconnectCycles", text(s.reconnectCycles));
}

int32_t ClampToScreen(int32_t value, int32_t screenExtent) {
    return std::min(screenExtent - 32, std::max(0, value));
}

std::string SettingsPathFor(std::string_view programPath) {
    size_t slash = programPath.rfind('/');
    size_t dot = programPath.rfind('.');
    bool hasExtension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1);
    std::string_view stem = hasExtension ? programPath.substr(0, dot) : programPath;
    return std::string(stem) + ".ini";
}

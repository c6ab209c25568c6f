#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/IniStore.hpp"

// The values the program keeps between runs, as the settings file carries them. Reading
// applies the file's defaults and conversions; the clamps that need the screen or the link's
// own rules are left to whoever applies the values.
struct StoredSettings {
    int32_t windowLeft = 0;
    int32_t windowTop = 0;
    int32_t windowWidth = 0;   // written only; the window keeps its designed size on load
    int32_t windowHeight = 0;  // written only
    // The window's own size as the administrator left it, and whether maximised; 0 and false
    // mean its designed size, and the keys are then written only where the file has them.
    int32_t sizeWidth = 0;
    int32_t sizeHeight = 0;
    bool maximized = false;
    int32_t heartbeat = 10;
    std::string login;
    std::string password;  // clear text; the file holds it scrambled
    std::string host;
    int32_t port = 0;
    bool reconnectOn = true;
    int32_t reconnectDelay = 10;
    int32_t reconnectAttempts = 6;
    int32_t reconnectPause = 60;
    int32_t reconnectCycles = -1;
    // The journal's limits: older entries, then the oldest past the size, are pruned. Read
    // only, so that a file without them stays as it was.
    bool journalOn = true;  // off: nothing is journaled
    int32_t journalMaxAgeDays = 180;
    int32_t journalMaxMegabytes = 200;

    bool operator==(const StoredSettings&) const = default;
};

// The window's timer, in milliseconds, never runs faster than this whatever the file says.
inline constexpr int32_t kMinimumTimerPeriod = 10;

inline constexpr std::string_view kParametersSection = "Parameters";
inline constexpr std::string_view kClientSection = "Client";
inline constexpr std::string_view kJournalSection = "Journal";

// StrToIntDef after "0x…" has become "$…", so both hexadecimal forms are read.
int32_t ReadIniInteger(const IniStore& ini, std::string_view section, std::string_view key,
                       int32_t defaultValue);
// Any non-zero integer is true; text that does not convert gives the default.
bool ReadIniBool(const IniStore& ini, std::string_view section, std::string_view key, bool defaultValue);

// "?" and clear text is taken as typed (a lone "?" is an empty password); anything else is
// the scrambled hexadecimal form.
std::string ReadStoredPassword(std::string_view value);
std::string ScrambledPassword(std::string_view password);

StoredSettings ReadStoredSettings(const IniStore& ini);

// Writes the eleven keys in the file's order, and the window's size where it has one; false at
// the first key that cannot be stored.
bool WriteStoredSettings(IniStore& ini, const StoredSettings& settings);

// A coordinate read from the file, pulled back onto a screen of the given extent.
int32_t ClampToScreen(int32_t value, int32_t screenExtent);

// The program's path with its extension replaced by ".ini" (or ".ini" appended).
std::string SettingsPathFor(std::string_view programPath);

#pragma once

#include <functional>
#include <string>
#include <string_view>

// Whether this process may write there: to an existing file, or into a folder (create,
// replace or rename files in it).
using WritableTest = std::function<bool(const std::string& path)>;
// Whether there is a file or folder at that path.
using ExistsTest = std::function<bool(const std::string& path)>;

// The process's own rights as the system sees them (root's included), not the permission bits.
bool CanWrite(const std::string& path);
bool PathExists(const std::string& path);

// The settings file's name in the user's configuration folder.
inline constexpr std::string_view kUserSettingsFileName = "krvClientA.ini";

// The file whose presence keeps the settings beside the program: the program's path with
// ".portable" (krvClientA.portable). The build writes one beside the program it builds.
std::string PortableMarkerFor(std::string_view programPath);

// Where the settings live. Beside the program (its path with ".ini") only when the portable
// marker is there, the program is not in a system folder (/usr, /bin, /sbin) and the file can be
// written: it exists and can be written in a writable folder (it is saved through a temporary
// file and a rename), or it does not exist and the folder can be written. Otherwise
// kUserSettingsFileName in userConfigFolder. Whether a folder can be written never decides on
// its own: root may write into /usr/bin, and what it left there would outlive the package.
std::string ChooseSettingsPath(std::string_view programPath, std::string_view userConfigFolder,
                               const WritableTest& canWrite = CanWrite,
                               const ExistsTest& exists = PathExists);

// Creates the settings file's folder and any missing parents; a folder made here is the owner's
// only (0700), one that exists is left as it is. False when the folder is not there afterwards.
bool PrepareSettingsFolder(const std::string& settingsPath);

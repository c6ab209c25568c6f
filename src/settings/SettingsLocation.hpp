#pragma once

#include <functional>
#include <string>
#include <string_view>

// Whether this process may write there: to an existing file, or into a folder (create,
// replace or rename files in it).
using WritableTest = std::function<bool(const std::string& path)>;

// The process's own rights as the system sees them (root's included), not the permission bits.
bool CanWrite(const std::string& path);

// The settings file's name in the user's configuration folder.
inline constexpr std::string_view kUserSettingsFileName = "krvClientA.ini";

// Where the settings live: beside the program (its path with ".ini") when that file exists and
// can be written, or does not exist and the program's folder can be written (a portable copy,
// the build tree); otherwise kUserSettingsFileName in userConfigFolder, as for a program
// installed in a system folder. The file is saved through a temporary file and a rename in its
// folder, so an existing file needs a writable folder too.
std::string ChooseSettingsPath(std::string_view programPath, std::string_view userConfigFolder,
                               const WritableTest& canWrite = CanWrite);

// Creates the settings file's folder and any missing parents; a folder made here is the owner's
// only (0700), one that exists is left as it is. False when the folder is not there afterwards.
bool PrepareSettingsFolder(const std::string& settingsPath);

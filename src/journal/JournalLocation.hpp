#pragma once

#include <string>
#include <string_view>

// The journal is one file per user, shared by the window and krvadmin:
// $XDG_DATA_HOME/krvClientA/journal.sqlite3, or ~/.local/share/krvClientA/ without it.
inline constexpr std::string_view kJournalFileName = "journal.sqlite3";

// xdgDataHome and home as the environment gives them (empty when unset); a relative
// XDG_DATA_HOME is ignored, as the convention asks.
std::string JournalPathFor(std::string_view xdgDataHome, std::string_view home);
// From this process's environment.
std::string DefaultJournalPath();

// Makes the journal's folder (0700) and file (0600) if they are missing, and takes back rights
// that others were given on them. An empty answer when the folder and file are ready; otherwise
// why not.
std::string PrepareJournalFile(const std::string& path);

#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "members/TkvCLDataCollection.hpp"

// The accounts a bulk delete or edit is about to change, kept where only their owner may read
// them (they hold passwords), in the CSV that "krvadmin import --update" reads back.

// $XDG_DATA_HOME/krvClientA/backups, or ~/.local/share/krvClientA/backups without it; a relative
// XDG_DATA_HOME is ignored, as the convention asks. Both as the environment gives them.
std::string BackupFolderFor(std::string_view xdgDataHome, std::string_view home);
std::string DefaultBackupFolder();

// The header and one row per listed login, in the order given; logins no longer listed are left
// out, since there is nothing of them to keep.
std::string AccountsBackupCsv(const TkvCLDataCollection& members, const std::vector<std::string>& logins);

struct BackupWritten {
    std::string path;   // empty when nothing was written
    std::string error;  // why, then
};

// Writes the text to a new file of the folder (made owner-only if need be) named after what is
// about to happen and when: "delete-20261211-031500.csv", with "-2", "-3"... if that is taken.
// The file is created owner-only; an existing file is never overwritten.
BackupWritten WriteBackupFile(const std::string& folder, std::string_view what, std::time_t when,
                              std::string_view text);

// The command line that puts the accounts of the file back, its path quoted for a shell.
std::string RestoreCommand(const std::string& path);

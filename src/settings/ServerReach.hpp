#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/IniStore.hpp"

// How a server is reached, as a settings file keeps it: for a saved server in its own section,
// for the connection in use in "Client". Every key is left out while it says nothing, so
// a file of plain connections reads as before.
//
//   Reach       "" or "tcp": plain TCP; "tls"; "ssh USER@HOST[:PORT]"
//   TlsCaFile   authorities trusted beside the system's (PEM)
//   TlsPins     accepted certificates, "host:port=SHA256HEX" separated by commas
//   SshCommand  the ssh program and its extra options, split at blanks ("ssh -F FILE")
struct ServerReach {
    std::string way;
    std::string tlsCaFile;
    std::string tlsPins;
    std::string sshCommand;

    bool operator==(const ServerReach&) const = default;
};

enum class ReachKind { Plain, Tls, Ssh };

// A way the program does not know reads as plain TCP, and is written back as it was.
ReachKind KindOf(const ServerReach& reach);
// "USER@HOST[:PORT]" of an "ssh" way; empty otherwise.
std::string SshTargetOf(const ServerReach& reach);
std::string SshWay(std::string_view target);

ServerReach ReadServerReach(const IniStore& ini, std::string_view section);
// Writes the keys that say something, and empties those the section had that no longer do.
bool WriteServerReach(IniStore& ini, std::string_view section, const ServerReach& reach);

// How the status bar and the log name the way: "TLS", "SSH through USER@HOST", nothing for TCP.
std::string ReachDescription(const ServerReach& reach);

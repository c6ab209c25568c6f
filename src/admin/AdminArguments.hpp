#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admin/MemberOutput.hpp"
#include "session/BulkCommand.hpp"
#include "session/MemberFilter.hpp"

enum class AdminCommand {
    None,
    List,
    Show,
    Add,
    Edit,
    Delete,
    Expel,
    Logoff,
    Reconnect,
    Import,
    Watch,
    Journal
};

enum class WatchFormat { Text, Jsonl };

enum class JournalFormat { Table, Csv, Json };

// Where to connect and as whom; what is not given comes from the settings file, if any.
struct ConnectionOptions {
    std::optional<std::string> host;
    std::optional<int32_t> port;
    std::optional<std::string> login;
    std::optional<std::string> passwordFile;
    std::optional<std::string> settingsFile;
    // A server the window saved, read from --settings or from the window's own settings file.
    std::optional<std::string> server;
    int32_t timeoutSeconds = 15;
    // How the server is reached; any of the three asks for TLS.
    bool tls = false;
    std::optional<std::string> tlsCaFile;
    std::optional<std::string> tlsFingerprint;  // NormalFingerprint's form once read
    std::optional<std::string> ssh;             // [USER@]HOST[:PORT]
    std::optional<std::string> sshCommand;
};

struct CommandOptions {
    AdminCommand command = AdminCommand::None;
    std::string login;  // show, add, edit, delete, expel, one-member logoff and reconnect
    std::string file;   // import
    bool all = false;
    bool butMe = false;
    bool onlineOnly = false;
    bool sorted = false;
    bool dryRun = false;
    bool update = false;
    OutputFormat format = OutputFormat::Table;
    WatchFormat watchFormat = WatchFormat::Text;
    // journal: what to print of this user's journal; times as ParseJournalTime reads them.
    JournalFormat journalFormat = JournalFormat::Table;
    std::optional<std::string> since;
    std::optional<std::string> until;
    std::optional<std::string> server;
    std::optional<std::string> member;
    // The member's account fields (add, edit); unset ones are empty for add and kept for edit.
    std::optional<std::string> password;
    std::optional<std::string> passwordFile;
    std::optional<std::string> protocols;
    std::optional<std::string> userBots;

    // Delete, expel, logoff, reconnect and edit on many members.
    std::vector<std::string> logins;  // every LOGIN named
    std::optional<std::string> fromFile;
    std::optional<std::string> match;
    bool offlineOnly = false;  // onlineOnly is the other half
    std::optional<std::string> protocol;
    BulkEdit bulkEdit;
    bool yes = false;
    // Delete, expel, logoff, reconnect and edit, on one member or many: why, for the journal.
    std::optional<std::string> reason;

    // The command takes the road of many members: more than one login, a file, a filter, a
    // change by one name or a dry run. One login and nothing else is the road of one member.
    bool ManyMembers() const;
    MemberFilter Filter() const;
};

struct ParsedArguments {
    ConnectionOptions connection;
    CommandOptions command;
    bool help = false;     // print helpText and stop
    std::string helpText;  // the program's or the command's
    bool version = false;  // print ProgramVersion() and stop (after help)
    std::string error;     // a usage error, to print with the help's pointer
};

// The arguments after the program name. Connection options may stand before or after the
// command; after it, the command's own options win where a name is shared (--password-file of
// add and edit is the member's password, not the administrator's).
ParsedArguments ParseAdminArguments(const std::vector<std::string>& arguments);

std::string ProgramHelp();
// The program's name and version, with a line end.
std::string ProgramVersion();
std::string CommandHelp(AdminCommand command);

#include "admin/AdminArguments.hpp"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>

#include "admin/AdminVersion.hpp"
#include "link/LinkProtection.hpp"

namespace {

struct CommandInfo {
    AdminCommand command;
    std::string_view name;
    std::string_view usage;
    std::string_view summary;
    std::string_view options;  // help lines of the command's own options
};

const CommandInfo kCommands[] = {
    {AdminCommand::List, "list", "list [--online] [--sort] [--format table|csv|tsv|json]",
     "Print the member list once the server has sent all of it.",
     "  --online          only members that are online\n"
     "  --sort            by login, letter case ignored (default: the server's order)\n"
     "  --format NAME     table (default), csv, tsv or json; csv reads back with import\n"},
    {AdminCommand::Show, "show", "show LOGIN [--format table|csv|tsv|json]", "Print one member.",
     "  --format NAME     table (default), csv, tsv or json\n"},
    {AdminCommand::Add, "add",
     "add LOGIN [--password TEXT | --password-file FILE] [--protocols LIST] [--bots LIST]",
     "Create an account and wait for the server to confirm it.",
     "  --password TEXT       the account's password (visible to other users of this machine)\n"
     "  --password-file FILE  the account's password: the file's first line\n"
     "  --protocols LIST      granted protocols, comma-separated\n"
     "  --bots LIST           user bots, comma-separated\n"},
    {AdminCommand::Edit, "edit",
     "edit LOGIN [--password TEXT | --password-file FILE] [--protocols LIST] [--bots LIST]\n"
     "  edit TARGETS... (--add-protocol NAME | --remove-protocol NAME | --add-bot NAME | --remove-bot "
     "NAME)...",
     "Change an account; what is not given stays as it is. With the --add and --remove options,\n"
     "change many accounts by one protocol or user bot each, every other field kept.",
     "  --password TEXT       the new password (visible to other users of this machine)\n"
     "  --password-file FILE  the new password: the file's first line\n"
     "  --protocols LIST      the new protocols, comma-separated\n"
     "  --bots LIST           the new user bots, comma-separated\n"
     "  --add-protocol NAME   grant the protocol to every target\n"
     "  --remove-protocol NAME  take the protocol from every target\n"
     "  --add-bot NAME        give every target the user bot\n"
     "  --remove-bot NAME     take the user bot from every target\n"},
    {AdminCommand::Delete, "delete", "delete TARGETS...",
     "Delete accounts; an online member is expelled as well.", ""},
    {AdminCommand::Expel, "expel", "expel TARGETS...", "Close the connections of online members.", ""},
    {AdminCommand::Logoff, "logoff", "logoff TARGETS... | --all [--but-me]",
     "Ask online members, or everyone, to log off.",
     "  --all             everyone, this connection included\n"
     "  --but-me          with --all: everyone except this connection\n"},
    {AdminCommand::Reconnect, "reconnect", "reconnect TARGETS... | --all [--but-me]",
     "Ask online members, or everyone, to reconnect to this server in 5 seconds.",
     "  --all             everyone, this connection included\n"
     "  --but-me          with --all: everyone except this connection\n"},
    {AdminCommand::Import, "import", "import FILE.csv [--dry-run] [--update]",
     "Add one account per row of a CSV file with a header row (login, password, protocols, "
     "user_bots;\nother columns are ignored).",
     "  --update          edit rows whose login exists instead of refusing them; columns\n"
     "                    missing from the file keep the account's values\n"
     "  --dry-run         check the file and say what would be sent; send nothing\n"},
    {AdminCommand::Watch, "watch", "watch [--format text|jsonl]",
     "Print every change to the member list as it arrives, until interrupted (Ctrl+C).",
     "  --format NAME     text (default) or jsonl, one JSON object per line\n"},
    {AdminCommand::Journal, "journal",
     "journal [--since TIME] [--until TIME] [--server NAME] [--member TEXT] [--format table|csv|json]",
     "Print the requests this user sent from the window or krvadmin, newest first, with what\n"
     "became of them. Reads the journal file alone: no connection is made.",
     "  --since TIME      from this time on: YYYY-MM-DD[ HH:MM[:SS]] (local time) or an age\n"
     "                    such as 90m, 12h, 7d\n"
     "  --until TIME      before this time, in the same forms\n"
     "  --server NAME     only requests to this server (HOST:PORT)\n"
     "  --member TEXT     only requests about members whose login holds TEXT (case ignored)\n"
     "  --format NAME     table (default), csv or json\n"},
};

constexpr std::string_view kConnectionHelp =
    "Connection options (before or after the command):\n"
    "  --host HOST           server host (default: from --settings)\n"
    "  --port N              server port (default: from --settings)\n"
    "  --login NAME          administrator login (default: from --settings)\n"
    "  --password-file FILE  the administrator's password: the file's first line\n"
    "  --settings FILE       host, port, login, password and reconnect schedule from a settings\n"
    "                        file of the window\n"
    "  --server NAME         host, port, login and reconnect schedule of a server saved in the\n"
    "                        window, from --settings or the window's own settings file\n"
    "  --timeout SECONDS     the longest wait for the server, each time (default 15)\n"
    "  --tls                 speak TLS; the certificate must verify against the system's\n"
    "                        authorities and carry the host's name, or match the pin\n"
    "  --tls-ca FILE         trust the authorities in FILE (PEM) too; implies --tls\n"
    "  --tls-fingerprint FP  accept exactly the certificate of this SHA-256 fingerprint, as\n"
    "                        openssl x509 -noout -fingerprint -sha256 prints it (colons\n"
    "                        optional, any case); implies --tls\n"
    "  -h, --help            this text; COMMAND --help for a command's own\n"
    "  --version             the program's version\n"
    "Without --password-file the password comes from the variable KRVADMIN_PASSWORD, then\n"
    "from the desktop's keyring, then from the settings file, and otherwise it is asked for on\n"
    "the terminal.\n"
    "With --server, the saved server's way (TLS, its authorities and accepted certificate) is\n"
    "used unless these options say otherwise. A certificate that does not verify is refused,\n"
    "and its SHA-256 fingerprint printed for --tls-fingerprint.\n";

constexpr std::string_view kTargetsHelp =
    "Targets (delete, expel, logoff, reconnect, edit):\n"
    "  LOGIN...              one or more logins; one login alone is the command on one member\n"
    "  --from FILE           the logins of FILE: the CSV of \"list --format csv\" when its first\n"
    "                        line is that header, otherwise a login a line\n"
    "  --match TEXT          only members whose login, protocols or user bots hold TEXT\n"
    "  --online, --offline   only members online, or offline\n"
    "  --protocol NAME       only members with the protocol NAME\n"
    "  Without LOGIN or --from, the filters choose among every listed member.\n"
    "  --dry-run             print what would be sent; send nothing\n"
    "  --yes                 go on without asking; more than one target needs it, or the count\n"
    "                        typed on the terminal\n"
    "  --reason TEXT         why: kept in the journal with each request (also for one member)\n"
    "The account of this connection never takes part. Before a delete or edit of many, the\n"
    "accounts are written to an owner-only file in ~/.local/share/krvClientA/backups/ (or\n"
    "$XDG_DATA_HOME/krvClientA/backups/); the summary names it and the command that restores\n"
    "them. Requests go out paced; each counts as confirmed only when the server reports it\n"
    "done. The summary reads \"N confirmed, M refused, K unconfirmed\". Interrupted (Ctrl+C),\n"
    "nothing more is sent and what was sent is still followed to its answer; the targets never\n"
    "sent are \"not sent\" in the summary and cancelled in the journal.\n";

constexpr std::string_view kExitHelp =
    "Exit status:\n"
    "  0   done: the server confirmed the request (or the list was printed); with many\n"
    "      targets, every one of them\n"
    "  1   refused: by the server (its reason is printed), or before sending (a field the\n"
    "      request cannot carry, an unknown or offline member); for import, any row refused\n"
    "      or skipped; with many targets, any target refused or skipped\n"
    "  2   no connection: it could not be made, or it ended before the command did\n"
    "  3   the login has no administrator rights, or the server refused the login\n"
    "  4   no answer from the server within --timeout; with many targets, any left unconfirmed\n"
    "      or not sent (interrupted)\n"
    "  64  bad arguments, or an import file or the journal that cannot be read\n";

const CommandInfo* FindCommand(std::string_view name) {
    for (const CommandInfo& info : kCommands) {
        if (info.name == name) {
            return &info;
        }
    }
    return nullptr;
}

const CommandInfo& InfoOf(AdminCommand command) {
    return *std::find_if(std::begin(kCommands), std::end(kCommands),
                         [&](const CommandInfo& info) { return info.command == command; });
}

bool ReadNumber(std::string_view text, int32_t low, int32_t high, int32_t& value) {
    int32_t read = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), read);
    if (failure != std::errc() || end != text.data() + text.size() || read < low || read > high) {
        return false;
    }
    value = read;
    return true;
}

// Walks the arguments: "--name value", "--name=value", flags and positional words.
class ArgumentWalk {
public:
    explicit ArgumentWalk(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool Done() const { return at_ >= arguments_.size(); }
    const std::string& Peek() const { return arguments_[at_]; }

    // Takes the next argument as an option; name is without its value.
    void TakeOption(std::string& name, std::optional<std::string>& inlineValue) {
        const std::string& word = arguments_[at_++];
        const size_t equals = word.find('=');
        name = word.substr(0, equals);
        inlineValue.reset();
        if (equals != std::string::npos) {
            inlineValue = word.substr(equals + 1);
        }
    }

    bool TakeValue(const std::string& name, std::optional<std::string>& inlineValue, std::string& value,
                   std::string& error) {
        if (inlineValue) {
            value = *inlineValue;
            return true;
        }
        if (Done()) {
            error = name + " needs a value";
            return false;
        }
        value = arguments_[at_++];
        return true;
    }

    std::string TakeWord() { return arguments_[at_++]; }

private:
    const std::vector<std::string>& arguments_;
    size_t at_ = 0;
};

bool IsOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

using ValueSetter = std::function<bool(const std::string& value, std::string& error)>;

// Stores the value as it is.
ValueSetter TextSetter(std::optional<std::string>& target) {
    return [&target](const std::string& value, std::string&) {
        target = value;
        return true;
    };
}

// A connection option; false when name is none of them.
bool ConnectionOptionSetter(ConnectionOptions& options, const std::string& name, ValueSetter& setter) {
    if (name == "--host") {
        setter = TextSetter(options.host);
    } else if (name == "--login") {
        setter = TextSetter(options.login);
    } else if (name == "--password-file") {
        setter = TextSetter(options.passwordFile);
    } else if (name == "--settings") {
        setter = TextSetter(options.settingsFile);
    } else if (name == "--server") {
        setter = TextSetter(options.server);
    } else if (name == "--ssh") {
        setter = TextSetter(options.ssh);
    } else if (name == "--ssh-command") {
        setter = TextSetter(options.sshCommand);
    } else if (name == "--tls-ca") {
        setter = TextSetter(options.tlsCaFile);
    } else if (name == "--tls-fingerprint") {
        setter = [&options](const std::string& value, std::string& error) {
            const std::string fingerprint = NormalFingerprint(value);
            if (fingerprint.empty()) {
                error =
                    "--tls-fingerprint wants a SHA-256 fingerprint: 64 hexadecimal digits, colons optional";
                return false;
            }
            options.tlsFingerprint = fingerprint;
            return true;
        };
    } else if (name == "--port") {
        setter = [&options](const std::string& value, std::string& error) {
            int32_t port = 0;
            if (!ReadNumber(value, 1, 65535, port)) {
                error = "--port wants a number from 1 to 65535";
                return false;
            }
            options.port = port;
            return true;
        };
    } else if (name == "--timeout") {
        setter = [&options](const std::string& value, std::string& error) {
            if (!ReadNumber(value, 1, 86400, options.timeoutSeconds)) {
                error = "--timeout wants a whole number of seconds from 1 to 86400";
                return false;
            }
            return true;
        };
    } else {
        return false;
    }
    return true;
}

bool IsAccountCommand(AdminCommand command) {
    return command == AdminCommand::Add || command == AdminCommand::Edit;
}

bool IsManyMembersCommand(AdminCommand command) {
    return command == AdminCommand::Delete || command == AdminCommand::Expel ||
           command == AdminCommand::Logoff || command == AdminCommand::Reconnect ||
           command == AdminCommand::Edit;
}

bool IsFormattedCommand(AdminCommand command) {
    return command == AdminCommand::List || command == AdminCommand::Show;
}

// The command's own option, flag or value; false when the command has none of that name.
bool CommandOptionSetter(CommandOptions& options, const std::string& name, bool& flag, ValueSetter& setter) {
    const AdminCommand command = options.command;
    const auto store = [&](std::optional<std::string>& target) {
        setter = TextSetter(target);
        return true;
    };
    const auto set = [&](bool& target) {
        target = true;
        flag = true;
        return true;
    };
    if (command == AdminCommand::List && name == "--online") {
        return set(options.onlineOnly);
    }
    if (command == AdminCommand::List && name == "--sort") {
        return set(options.sorted);
    }
    if ((command == AdminCommand::Logoff || command == AdminCommand::Reconnect) && name == "--all") {
        return set(options.all);
    }
    if ((command == AdminCommand::Logoff || command == AdminCommand::Reconnect) && name == "--but-me") {
        return set(options.butMe);
    }
    if (command == AdminCommand::Import && name == "--dry-run") {
        return set(options.dryRun);
    }
    if (command == AdminCommand::Import && name == "--update") {
        return set(options.update);
    }
    if (IsManyMembersCommand(command)) {
        if (name == "--from") {
            return store(options.fromFile);
        }
        if (name == "--match") {
            return store(options.match);
        }
        if (name == "--protocol") {
            return store(options.protocol);
        }
        if (name == "--online") {
            return set(options.onlineOnly);
        }
        if (name == "--offline") {
            return set(options.offlineOnly);
        }
        if (name == "--dry-run") {
            return set(options.dryRun);
        }
        if (name == "--yes") {
            return set(options.yes);
        }
        if (name == "--reason") {
            return store(options.reason);
        }
    }
    if (command == AdminCommand::Edit) {
        if (name == "--add-protocol") {
            return store(options.bulkEdit.addProtocol);
        }
        if (name == "--remove-protocol") {
            return store(options.bulkEdit.removeProtocol);
        }
        if (name == "--add-bot") {
            return store(options.bulkEdit.addUserBot);
        }
        if (name == "--remove-bot") {
            return store(options.bulkEdit.removeUserBot);
        }
    }
    if (IsAccountCommand(command)) {
        if (name == "--password") {
            return store(options.password);
        }
        if (name == "--password-file") {
            return store(options.passwordFile);
        }
        if (name == "--protocols") {
            return store(options.protocols);
        }
        if (name == "--bots") {
            return store(options.userBots);
        }
    }
    if (command == AdminCommand::Journal) {
        if (name == "--since") {
            return store(options.since);
        }
        if (name == "--until") {
            return store(options.until);
        }
        if (name == "--server") {
            return store(options.server);
        }
        if (name == "--member") {
            return store(options.member);
        }
        if (name == "--format") {
            setter = [&options](const std::string& value, std::string& error) {
                if (value == "table" || value == "csv" || value == "json") {
                    options.journalFormat = value == "table" ? JournalFormat::Table
                                            : value == "csv" ? JournalFormat::Csv
                                                             : JournalFormat::Json;
                    return true;
                }
                error = "--format of journal is table, csv or json";
                return false;
            };
            return true;
        }
    }
    if (name == "--format" && (IsFormattedCommand(command) || command == AdminCommand::Watch)) {
        setter = [&options](const std::string& value, std::string& error) {
            if (options.command == AdminCommand::Watch) {
                if (value == "text" || value == "jsonl") {
                    options.watchFormat = value == "text" ? WatchFormat::Text : WatchFormat::Jsonl;
                    return true;
                }
                error = "--format of watch is text or jsonl";
                return false;
            }
            if (!ReadOutputFormat(value, options.format)) {
                error = "--format is table, csv, tsv or json";
                return false;
            }
            return true;
        };
        return true;
    }
    return false;
}

// What a command on one or many members is given to choose its targets, and the combinations
// it forbids.
std::string CheckTargets(const CommandOptions& options, const std::vector<std::string>& words) {
    const AdminCommand command = options.command;
    const std::string name(InfoOf(command).name);
    if (options.onlineOnly && options.offlineOnly) {
        return "give --online or --offline, not both";
    }
    const bool chosen = !words.empty() || options.fromFile || !options.Filter().Empty();
    if (command == AdminCommand::Logoff || command == AdminCommand::Reconnect) {
        if (options.butMe && !options.all) {
            return "--but-me goes with --all";
        }
        if (options.all == chosen) {
            return name + " wants one LOGIN or --all";
        }
        return {};
    }
    if (!chosen) {
        return name + " wants LOGIN..., --from FILE or a filter";
    }
    if (command == AdminCommand::Edit) {
        const bool oneMemberFields =
            options.password || options.passwordFile || options.protocols || options.userBots;
        if (!options.bulkEdit.Empty() && oneMemberFields) {
            return "give --password, --protocols or --bots for one member, or the --add and --remove "
                   "options; "
                   "not both";
        }
        if (options.bulkEdit.Empty() && (words.size() > 1 || options.ManyMembers())) {
            return "edit of many members wants --add-protocol, --remove-protocol, --add-bot or --remove-bot";
        }
    }
    return {};
}

// The positional words each command takes, and the combinations it forbids.
std::string CheckCommand(const CommandOptions& options, const std::vector<std::string>& words) {
    const AdminCommand command = options.command;
    const std::string name(InfoOf(command).name);
    if (IsManyMembersCommand(command)) {
        return CheckTargets(options, words);
    }
    if (command == AdminCommand::Import) {
        return words.size() == 1 ? std::string() : "import wants one FILE";
    }
    if (command == AdminCommand::Show || command == AdminCommand::Add) {
        return words.size() == 1 ? std::string() : name + " wants one LOGIN";
    }
    return words.empty() ? std::string() : "unexpected argument: " + words.front();
}

}  // namespace

ParsedArguments ParseAdminArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    CommandOptions& options = parsed.command;
    std::vector<std::string> words;
    ArgumentWalk walk(arguments);
    bool optionsEnded = false;
    while (!walk.Done()) {
        if (optionsEnded || !IsOption(walk.Peek())) {
            std::string word = walk.TakeWord();
            if (options.command == AdminCommand::None) {
                const CommandInfo* info = FindCommand(word);
                if (info == nullptr) {
                    parsed.error = "unknown command: " + word;
                    return parsed;
                }
                options.command = info->command;
            } else {
                words.push_back(std::move(word));
            }
            continue;
        }
        std::string name;
        std::optional<std::string> inlineValue;
        walk.TakeOption(name, inlineValue);
        if (name == "--") {
            optionsEnded = true;
            continue;
        }
        if (name == "-h" || name == "--help") {
            parsed.help = true;
            continue;
        }
        if (name == "--tls") {
            if (inlineValue) {
                parsed.error = name + " takes no value";
                return parsed;
            }
            parsed.connection.tls = true;
            continue;
        }
        if (name == "--version") {
            if (inlineValue) {
                parsed.error = name + " takes no value";
                return parsed;
            }
            parsed.version = true;
            continue;
        }
        bool flag = false;
        ValueSetter setter;
        const bool known =
            (options.command != AdminCommand::None && CommandOptionSetter(options, name, flag, setter)) ||
            ConnectionOptionSetter(parsed.connection, name, setter);
        if (!known) {
            parsed.error = "unknown option: " + name;
            return parsed;
        }
        if (flag) {
            if (inlineValue) {
                parsed.error = name + " takes no value";
                return parsed;
            }
            continue;
        }
        std::string value;
        if (!walk.TakeValue(name, inlineValue, value, parsed.error) || !setter(value, parsed.error)) {
            return parsed;
        }
    }
    if (parsed.help) {
        parsed.helpText =
            options.command == AdminCommand::None ? ProgramHelp() : CommandHelp(options.command);
        return parsed;
    }
    if (parsed.version) {
        return parsed;
    }
    if (options.command == AdminCommand::None) {
        parsed.error = "no command given";
        return parsed;
    }
    parsed.error = CheckCommand(options, words);
    if (parsed.error.empty() && IsAccountCommand(options.command) && options.password &&
        options.passwordFile) {
        parsed.error = "give --password or --password-file, not both";
    }
    if (parsed.error.empty() && !words.empty()) {
        (options.command == AdminCommand::Import ? options.file : options.login) = words.front();
        if (IsManyMembersCommand(options.command)) {
            options.logins = std::move(words);
        }
    }
    return parsed;
}

bool CommandOptions::ManyMembers() const {
    if (!IsManyMembersCommand(command)) {
        return false;
    }
    return logins.size() > 1 || fromFile || !Filter().Empty() || !bulkEdit.Empty() || dryRun;
}

MemberFilter CommandOptions::Filter() const {
    MemberFilter filter;
    filter.text = match.value_or(std::string());
    filter.protocol = protocol.value_or(std::string());
    // list's --online is its own option; for the other commands it is this filter.
    if (command != AdminCommand::List) {
        filter.presence = onlineOnly    ? MemberFilter::Presence::Online
                          : offlineOnly ? MemberFilter::Presence::Offline
                                        : MemberFilter::Presence::Any;
    }
    return filter;
}

std::string ProgramHelp() {
    std::string text =
        "Usage: krvadmin [connection options] COMMAND [command options]\n"
        "Administers the accounts and connections of a Korvane server from the command line.\n\n"
        "Commands:\n";
    for (const CommandInfo& info : kCommands) {
        text += "  " + std::string(info.usage) + "\n";
    }
    text += "\n";
    text += kTargetsHelp;
    text += "\n";
    text += kConnectionHelp;
    text += "\n";
    text += kExitHelp;
    return text;
}

std::string ProgramVersion() {
    return kAdminVersionLine;
}

std::string CommandHelp(AdminCommand command) {
    const CommandInfo& info = InfoOf(command);
    std::string text = "Usage: krvadmin [connection options] " + std::string(info.usage) + "\n" +
                       std::string(info.summary) + "\n";
    if (!info.options.empty()) {
        text += "\nOptions:\n" + std::string(info.options);
    }
    if (IsManyMembersCommand(command)) {
        text += "\n";
        text += kTargetsHelp;
    }
    text += "\n";
    text += kConnectionHelp;
    text += "\n";
    text += kExitHelp;
    return text;
}

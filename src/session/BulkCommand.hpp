#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "members/TkvCLData.hpp"
#include "protocol/AdminRequest.hpp"

// What a command on many members does to each of them.
enum class BulkAction { Delete, Expel, LogOff, Reconnect, Edit };

// An edit of many accounts changes one list of each by one name; every other field of every
// account stays as the server listed it.
struct BulkEdit {
    std::optional<std::string> addProtocol;
    std::optional<std::string> removeProtocol;
    std::optional<std::string> addUserBot;
    std::optional<std::string> removeUserBot;

    bool Empty() const { return !addProtocol && !removeProtocol && !addUserBot && !removeUserBot; }
};

struct BulkCommand {
    BulkAction action = BulkAction::Delete;
    BulkEdit edit;  // Edit only

    // Delete and edit lose what the accounts held, so a backup is written first.
    bool NeedsBackup() const { return action == BulkAction::Delete || action == BulkAction::Edit; }
    // Expel, log off and reconnect reach a session, which an offline member has not.
    bool NeedsOnline() const {
        return action == BulkAction::Expel || action == BulkAction::LogOff || action == BulkAction::Reconnect;
    }
};

// The verb for messages and summaries: "delete", "expel", "log off", "reconnect", "edit".
std::string_view BulkActionWord(BulkAction action);
// The word a request of the action goes by where requests are recorded: "delete", "expel",
// "logoff", "reconnect", "edit".
std::string_view BulkRequestWord(BulkAction action);

// The account's fields after the edit; nullopt when the edit changes nothing of it. Names are
// compared without regard to ASCII letter case, as the server does.
std::optional<AccountFields> EditedAccount(const TkvCLData& account, const BulkEdit& edit);

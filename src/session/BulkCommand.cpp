#include "session/BulkCommand.hpp"

#include <algorithm>

#include "util/untCalc1.hpp"

namespace {

// Adds or removes one name; false when the list already is as asked.
bool ChangeList(TextList& items, const std::optional<std::string>& add,
                const std::optional<std::string>& remove) {
    bool changed = false;
    if (remove) {
        const std::string name = Trim(*remove);
        const auto removed = std::remove_if(
            items.begin(), items.end(), [&](const std::string& item) { return SameTextAscii(item, name); });
        changed = removed != items.end();
        items.erase(removed, items.end());
    }
    if (add) {
        const std::string name = Trim(*add);
        const bool present = std::any_of(items.begin(), items.end(),
                                         [&](const std::string& item) { return SameTextAscii(item, name); });
        if (!present && !name.empty()) {
            items.push_back(name);
            changed = true;
        }
    }
    return changed;
}

}  // namespace

std::string_view BulkActionWord(BulkAction action) {
    switch (action) {
        case BulkAction::Delete:
            return "delete";
        case BulkAction::Expel:
            return "expel";
        case BulkAction::LogOff:
            return "log off";
        case BulkAction::Reconnect:
            return "reconnect";
        case BulkAction::Edit:
            return "edit";
    }
    return {};
}

std::string_view BulkRequestWord(BulkAction action) {
    return action == BulkAction::LogOff ? "logoff" : BulkActionWord(action);
}

std::optional<AccountFields> EditedAccount(const TkvCLData& account, const BulkEdit& edit) {
    TextList protocols = account.Protocols();
    TextList userBots = account.UserBots();
    const bool protocolsChanged = ChangeList(protocols, edit.addProtocol, edit.removeProtocol);
    const bool userBotsChanged = ChangeList(userBots, edit.addUserBot, edit.removeUserBot);
    if (!protocolsChanged && !userBotsChanged) {
        return std::nullopt;
    }
    AccountFields fields;
    fields.login = account.Login();
    fields.password = account.Password();
    fields.protocols = protocolsChanged ? WriteCommaList(protocols) : account.GetProtocolsText();
    fields.userBots = userBotsChanged ? WriteUserBotsText(userBots) : account.GetUserBotsText();
    return fields;
}

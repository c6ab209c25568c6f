#include "ReportBurst.hpp"

#include <cstddef>

namespace {

bool LeftAlone(const Account& account) {
    return account.connections > 0 || IsAdministrator(account);
}

// want: which presence an account must have now to be picked; flip: every account qualifies.
std::vector<std::string> ChangePresence(MemberStore& store, std::string_view code, int count, bool want,
                                        bool flip) {
    std::vector<std::string> lines;
    for (Account& account : store.Accounts()) {
        if (static_cast<int>(lines.size()) >= count) {
            break;
        }
        if (LeftAlone(account) || (!flip && account.simulatedOnline != want)) {
            continue;
        }
        account.simulatedOnline = !account.simulatedOnline;
        lines.push_back(std::string(code) + ":" + MemberText(account));
    }
    return lines;
}

std::vector<std::string> AddAccounts(MemberStore& store, int count) {
    std::vector<std::string> lines;
    // Sample logins are a word and a number, so "burst" and a number rarely collides; when it
    // does (an administrator added one by hand), the next number is tried.
    for (std::size_t serial = store.Count() + 1; static_cast<int>(lines.size()) < count; ++serial) {
        Account account{"burst" + std::to_string(serial), "burst", "chat", "echo", 0, false, {}};
        const std::string text = MemberText(account);
        if (store.Add(std::move(account))) {
            lines.push_back("ARA:" + text);
        }
    }
    return lines;
}

std::vector<std::string> RemoveAccounts(MemberStore& store, int count) {
    std::vector<std::string> lines;
    std::vector<std::string> logins;
    const std::vector<Account>& accounts = store.Accounts();
    for (auto account = accounts.rbegin(); account != accounts.rend(); ++account) {
        if (static_cast<int>(logins.size()) >= count) {
            break;
        }
        if (!LeftAlone(*account)) {
            logins.push_back(account->login);
        }
    }
    for (const std::string& login : logins) {
        store.Remove(login);
        lines.push_back("ARD_" + login + ":");
    }
    return lines;
}

}  // namespace

std::vector<std::string> MakeReportBurst(MemberStore& store, std::string_view code, int count) {
    if (count <= 0) {
        return {};
    }
    if (code == "ARI") {
        return ChangePresence(store, code, count, false, false);
    }
    if (code == "ARO") {
        return ChangePresence(store, code, count, true, false);
    }
    if (code == "ARM") {
        return ChangePresence(store, code, count, false, true);
    }
    if (code == "ARA") {
        return AddAccounts(store, count);
    }
    if (code == "ARD") {
        return RemoveAccounts(store, count);
    }
    return {};
}

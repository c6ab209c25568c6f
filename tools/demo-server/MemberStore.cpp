#include "MemberStore.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

#include "util/untCalc1.hpp"

bool IsOnline(const Account& account) {
    return account.connections > 0 || account.simulatedOnline;
}

bool IsAdministrator(const Account& account) {
    const TextList granted = ReadCommaList(account.protocols);
    return std::any_of(granted.begin(), granted.end(),
                       [](const std::string& name) { return SameTextAscii(name, "administrator"); });
}

std::string MemberText(const Account& account) {
    std::string presence1;
    std::string presence2;
    if (account.connections > 0) {
        presence1 = account.lastAddress;
        presence2 = std::to_string(account.connections);
    } else if (account.simulatedOnline) {
        presence1 = "simulated";
        presence2 = "1";
    }
    return presence1 + "," + presence2 + "," + account.login + "=" + account.password + "," +
           account.protocols + ";" + account.userBots + ";";
}

bool MemberStore::Add(Account account) {
    if (!foldedLogins_.insert(FoldAscii(account.login)).second) {
        return false;
    }
    accounts_.push_back(std::move(account));
    return true;
}

// Logins are unique, so the walk may start from the end, where the newest accounts are.
bool MemberStore::Remove(std::string_view login) {
    auto found = std::find_if(accounts_.rbegin(), accounts_.rend(),
                              [&](const Account& account) { return SameTextAscii(account.login, login); });
    if (found == accounts_.rend()) {
        return false;
    }
    foldedLogins_.erase(FoldAscii(found->login));
    accounts_.erase(std::next(found).base());
    return true;
}

Account* MemberStore::Find(std::string_view login) {
    return const_cast<Account*>(std::as_const(*this).Find(login));
}

const Account* MemberStore::Find(std::string_view login) const {
    auto found = std::find_if(accounts_.begin(), accounts_.end(),
                              [&](const Account& account) { return SameTextAscii(account.login, login); });
    return found == accounts_.end() ? nullptr : &*found;
}

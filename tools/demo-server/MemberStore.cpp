#include "MemberStore.hpp"

#include <algorithm>
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
    // Built by construction rather than by assigning a literal, which g++ 12 at -O3 takes
    // for an overlapping copy.
    const bool connected = account.connections > 0;
    const bool simulated = !connected && account.simulatedOnline;
    const std::string presence1 = connected ? account.lastAddress : std::string(simulated ? "simulated" : "");
    const std::string presence2 =
        connected ? std::to_string(account.connections) : std::string(simulated ? "1" : "");
    return presence1 + "," + presence2 + "," + account.login + "=" + account.password + "," +
           account.protocols + ";" + account.userBots + ";";
}

bool MemberStore::Add(Account account) {
    if (!places_.try_emplace(FoldAscii(account.login), accounts_.size()).second) {
        return false;
    }
    accounts_.push_back(std::move(account));
    return true;
}

bool MemberStore::Remove(std::string_view login) {
    const auto found = places_.find(FoldAscii(login));
    if (found == places_.end()) {
        return false;
    }
    const std::size_t place = found->second;
    places_.erase(found);
    accounts_.erase(accounts_.begin() + static_cast<std::ptrdiff_t>(place));
    for (std::size_t i = place; i < accounts_.size(); ++i) {
        places_[FoldAscii(accounts_[i].login)] = i;
    }
    return true;
}

Account* MemberStore::Find(std::string_view login) {
    return const_cast<Account*>(std::as_const(*this).Find(login));
}

const Account* MemberStore::Find(std::string_view login) const {
    const auto found = places_.find(FoldAscii(login));
    return found == places_.end() ? nullptr : &accounts_[found->second];
}

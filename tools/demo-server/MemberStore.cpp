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
    removed_.push_back(false);
    return true;
}

bool MemberStore::Remove(std::string_view login) {
    const auto found = places_.find(FoldAscii(login));
    if (found == places_.end()) {
        return false;
    }
    const std::size_t place = found->second;
    places_.erase(found);
    accounts_[place] = Account{};
    removed_[place] = true;
    ++holes_;
    if (holes_ * 2 > accounts_.size()) {
        CloseHoles();
    }
    return true;
}

void MemberStore::CloseHoles() const {
    if (holes_ == 0) {
        return;
    }
    std::size_t kept = 0;
    for (std::size_t place = 0; place < accounts_.size(); ++place) {
        if (removed_[place]) {
            continue;
        }
        if (kept != place) {
            accounts_[kept] = std::move(accounts_[place]);
            places_[FoldAscii(accounts_[kept].login)] = kept;
        }
        ++kept;
    }
    accounts_.resize(kept);
    removed_.assign(kept, false);
    holes_ = 0;
}

const std::vector<Account>& MemberStore::Accounts() const {
    CloseHoles();
    return accounts_;
}

std::vector<Account>& MemberStore::Accounts() {
    CloseHoles();
    return accounts_;
}

Account* MemberStore::Find(std::string_view login) {
    return const_cast<Account*>(std::as_const(*this).Find(login));
}

const Account* MemberStore::Find(std::string_view login) const {
    const auto found = places_.find(FoldAscii(login));
    return found == places_.end() ? nullptr : &accounts_[found->second];
}

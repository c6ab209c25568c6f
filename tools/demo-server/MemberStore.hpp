#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One account of the server. The presence fields are filled while the account is online, either
// through real connections or because the churn simulation says so.
struct Account {
    std::string login;
    std::string password;
    std::string protocols;
    std::string userBots;
    int connections = 0;
    bool simulatedOnline = false;
    std::string lastAddress;
};

bool IsOnline(const Account& account);
bool IsAdministrator(const Account& account);

// The account as a report carries it: presence1 "," presence2 "," login "=" password ","
// protocols ";" user bots ";".
std::string MemberText(const Account& account);

// Every account, in the order created; logins are unique without regard to ASCII letter case.
// A removed account leaves a hole that is closed up once holes are half the store, or when the
// accounts are next walked in order, so that removing a hundred thousand of a million, from
// the front or anywhere, is not a walk over every later account each time.
class MemberStore {
public:
    // False when the login is taken.
    bool Add(Account account);
    bool Remove(std::string_view login);
    Account* Find(std::string_view login);
    const Account* Find(std::string_view login) const;
    const std::vector<Account>& Accounts() const;
    std::vector<Account>& Accounts();
    std::size_t Count() const { return accounts_.size() - holes_; }

private:
    // Moves the accounts after each hole up, in order, and tells the index where they went.
    void CloseHoles() const;

    mutable std::vector<Account> accounts_;
    mutable std::vector<bool> removed_;  // beside accounts_: the holes
    mutable std::size_t holes_ = 0;
    // Each folded login's place in accounts_, so that adding a million sample accounts, or
    // editing a hundred thousand of them, is not a quadratic walk.
    mutable std::unordered_map<std::string, std::size_t> places_;
};

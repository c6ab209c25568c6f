#include "LoginDialogue.hpp"

LoginDialogue::Reply LoginDialogue::Take(std::string_view line) {
    if (!awaitingPassword_) {
        login_ = line;
        awaitingPassword_ = true;
        return {Outcome::Continue, {"send password:"}};
    }
    return CheckPassword(line);
}

LoginDialogue::Reply LoginDialogue::CheckPassword(std::string_view password) {
    const Account* account = store_.Find(login_);
    if (account == nullptr || account->password != password) {
        return {Outcome::Refused, {"login refused"}};
    }
    login_ = account->login;
    return {Outcome::Granted, {"protocols: " + account->protocols, ":)"}};
}

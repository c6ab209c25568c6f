#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "MemberStore.hpp"

// The server's side of the login: it prompts for the login, then for the password, and grants the
// account's protocols or refuses. One object per connection.
class LoginDialogue {
public:
    enum class Outcome { Continue, Granted, Refused };
    struct Reply {
        Outcome outcome = Outcome::Continue;
        std::vector<std::string> lines;
    };

    explicit LoginDialogue(const MemberStore& store) : store_(store) {}

    static std::string Greeting() { return "send login:"; }

    // Takes the client's answer to the last prompt.
    Reply Take(std::string_view line);

    // The account's login as stored, once granted.
    const std::string& Login() const { return login_; }

private:
    Reply CheckPassword(std::string_view password);

    const MemberStore& store_;
    bool awaitingPassword_ = false;
    std::string login_;
};

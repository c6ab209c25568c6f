#pragma once

#include <string>
#include <string_view>

#include "link/TkvClientProtocol.hpp"

// The server's two prompts; the connection log follows them too.
inline constexpr std::string_view kLoginPrompt = "send login:";
inline constexpr std::string_view kPasswordPrompt = "send password:";

// The client's side of the login dialogue: answers the two prompts, records the granted
// protocols, and ends the handshake at ":)".
class TkvClientLogin final : public TkvClientProtocol {
public:
    TkvClientLogin(std::string_view login, std::string_view password) : Login(login), Password(password) {}
    void Process(TkvClient& link, std::string_view line) override;

    std::string Login;
    std::string Password;
};

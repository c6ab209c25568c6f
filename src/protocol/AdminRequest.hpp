#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The administration request lines and the check that keeps them whole. A request is one line
// of the shape code "_" login ":" arguments; a field holding a line break, a zero byte or one
// of the line's own separators would cut the line or shift the server's reading of it.

struct AccountFields {
    std::string login;
    std::string password;
    std::string protocols;
    std::string userBots;
};

// Why a field cannot be sent, naming the field and the character; empty when every field fits.
std::string UnsendableAccountFields(const AccountFields& fields);
std::string UnsendableLogin(std::string_view login);

// code "_" login ":" password "," protocols ";" user bots (add and edit).
std::string AccountRequestLine(std::string_view code, const AccountFields& fields);
// code "_" login ":" arguments; the codes are those of RequestCode.
std::string LoginRequestLine(std::string_view code, std::string_view login, std::string_view arguments = {});
// The delay (always 5 seconds), port and host of a reconnect request: "5 , 5000 , host".
std::string ReconnectRequestArguments(int32_t port, std::string_view host);

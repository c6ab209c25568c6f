#include "protocol/AdminRequest.hpp"

#include "protocol/ServerLine.hpp"

namespace {

constexpr std::string_view kLineBreaking("\r\n\0", 3);

std::string CharacterName(char c) {
    switch (c) {
        case '\r':
            return "a carriage return";
        case '\n':
            return "a line feed";
        case '\0':
            return "a zero byte";
        default:
            return std::string("the character \"") + c + "\"";
    }
}

// Every field is tested for line breaks, then for the separators its place in the line forbids.
std::string Unsendable(std::string_view fieldName, std::string_view text, std::string_view separators) {
    size_t at = text.find_first_of(kLineBreaking);
    if (at == std::string_view::npos) {
        at = text.find_first_of(separators);
    }
    if (at == std::string_view::npos) {
        return {};
    }
    return "The " + std::string(fieldName) + " cannot contain " + CharacterName(text[at]) +
           ", so nothing was sent.";
}

}  // namespace

std::string UnsendableLogin(std::string_view login) {
    return Unsendable("login", login, ":=");
}

std::string UnsendableAccountFields(const AccountFields& fields) {
    for (std::string reason :
         {UnsendableLogin(fields.login), Unsendable("password", fields.password, ","),
          Unsendable("protocols", fields.protocols, ";"), Unsendable("user bots", fields.userBots, ";")}) {
        if (!reason.empty()) {
            return reason;
        }
    }
    return {};
}

std::string AccountRequestLine(std::string_view code, const AccountFields& fields) {
    return LoginRequestLine(code, fields.login,
                            fields.password + "," + fields.protocols + ";" + fields.userBots);
}

std::string LoginRequestLine(std::string_view code, std::string_view login, std::string_view arguments) {
    return JoinedLine(code, login, arguments);
}

std::string ReconnectRequestArguments(int32_t port, std::string_view host) {
    return "5 , " + std::to_string(port) + " , " + std::string(host);
}

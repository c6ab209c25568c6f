#pragma once

#include <string>
#include <string_view>

// One account as a server report carries it.
struct TkvMemberText {
    std::string Login;
    std::string Presence1;
    std::string Presence2;
    std::string ProtocolsText;
    std::string Password;
    std::string UserBotsText;
    bool Online = false;
};

// Splits one member text: presence1 "," presence2 "," login "=" password "," protocols ";" user bots ";".
TkvMemberText ParseMemberText(std::string_view text);

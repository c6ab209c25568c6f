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

// The same fields as views into the text they were cut from.
struct TkvMemberTextView {
    std::string_view Login;
    std::string_view Presence1;
    std::string_view Presence2;
    std::string_view ProtocolsText;
    std::string_view Password;
    std::string_view UserBotsText;
    bool Online = false;
};

// Splits one member text: presence1 "," presence2 "," login "=" password "," protocols ";" user bots ";".
TkvMemberText ParseMemberText(std::string_view text);
// The same cut without copying a byte, for reports that only store the fields.
TkvMemberTextView ParseMemberTextView(std::string_view text);

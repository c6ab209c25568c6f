#pragma once

#include <string>

// What one row of the member list shows, as the bytes the server sent: a snapshot taken at
// the last rebuild, so that the member list may change under it until the next one.
struct MemberRow {
    std::string Login;
    std::string ProtocolsText;
    std::string UserBotsText;
    bool Online = false;
};

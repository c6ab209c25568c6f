#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What an "SRE" line orders: reconnect after a delay, possibly to another port and host and
// under other credentials.
struct ServerReconnectOrder {
    int32_t delaySeconds = 0;
    int32_t port = 0;
    std::string host;   // empty: keep the current host
    std::string login;  // empty: keep the current login and password
    std::string password;

    bool operator==(const ServerReconnectOrder&) const = default;
};

// payload: delay "," port "," host, optionally "," login "," password; blanks around each.
// A host "0" means the current host; numbers that do not convert are 0.
ServerReconnectOrder ReadServerReconnect(std::string_view payload);

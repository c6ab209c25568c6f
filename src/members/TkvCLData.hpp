#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "util/untCalc1.hpp"

// One member account as the server reports it.
class TkvCLData {
public:
    const std::string& Login() const { return login_; }
    const std::string& Password() const { return password_; }
    const std::string& Presence1() const { return presence1_; }
    const std::string& Presence2() const { return presence2_; }
    const TextList& Protocols() const { return protocols_; }
    const TextList& UserBots() const { return userBots_; }
    bool Online() const { return online_; }

    void SetLogin(std::string_view login) { login_ = login; }
    void SetPassword(std::string_view password) { password_ = password; }
    void SetPresence1(std::string_view presence) { presence1_ = presence; }
    void SetPresence2(std::string_view presence) { presence2_ = presence; }
    void SetOnline(bool online) { online_ = online; }

    void SetProtocolsText(std::string_view text);
    std::string GetProtocolsText() const;
    bool HasProtocol(std::string_view name) const;
    void SetUserBotsText(std::string_view text);
    std::string GetUserBotsText() const;

private:
    friend class TkvCLDataCollection;

    std::string login_;
    std::string password_;
    std::string presence1_;
    std::string presence2_;
    TextList protocols_;
    TextList userBots_;
    bool online_ = false;
    size_t position_ = 0;  // kept current by the collection, so IndexOf needs no walk
};

// User bots in their text form: joined with "," and no blanks; read back trimmed, empty pieces dropped.
std::string WriteUserBotsText(const TextList& userBots);
TextList ReadUserBotsText(std::string_view text);

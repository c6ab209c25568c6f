#include "SampleMembers.hpp"

#include <array>
#include <random>
#include <string>
#include <string_view>

namespace {

// No word ends in a digit, so word + index is unique for distinct indexes.
constexpr std::array<std::string_view, 24> kWords = {
    "alder",  "birch",   "cedar",   "dune",  "ember", "fjord",  "gale",   "heath",
    "inlet",  "juniper", "kestrel", "larch", "maple", "nettle", "orchid", "pine",
    "quartz", "reed",    "sorrel",  "thorn", "umber", "vale",   "willow", "yarrow"};
constexpr std::array<std::string_view, 6> kProtocols = {"chat", "files", "news", "voice", "games", "mail"};
constexpr std::array<std::string_view, 8> kBots = {"echo",  "weather", "dice",       "quotes",
                                                   "alarm", "trivia",  "translator", "reminder"};
constexpr std::string_view kPasswordAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";

// The engine's output sequence is fixed by the standard; the library's distributions are not, so
// the draws are reduced by hand.
class Draw {
public:
    explicit Draw(uint32_t seed) : engine_(seed) {}
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(engine_() % bound); }
    bool Chance(uint32_t oneIn) { return Below(oneIn) == 0; }

private:
    std::mt19937 engine_;
};

std::string SampleLogin(Draw& draw, int index) {
    std::string login(kWords[draw.Below(kWords.size())]);
    if (draw.Chance(4)) {
        login[0] = static_cast<char>(login[0] - 'a' + 'A');
    }
    return login + std::to_string(index + 1);
}

std::string SamplePassword(Draw& draw) {
    std::string password;
    for (int i = 0; i < 8; ++i) {
        password += kPasswordAlphabet[draw.Below(kPasswordAlphabet.size())];
    }
    return password;
}

std::string SampleProtocols(Draw& draw) {
    std::string protocols;
    for (std::string_view protocol : kProtocols) {
        if (draw.Chance(2)) {
            if (!protocols.empty()) {
                protocols += ',';
            }
            protocols += protocol;
        }
    }
    return protocols.empty() ? std::string(kProtocols[draw.Below(kProtocols.size())]) : protocols;
}

std::string SampleUserBots(Draw& draw) {
    std::string bots;
    const uint32_t count = draw.Below(4);
    for (uint32_t i = 0; i < count; ++i) {
        if (!bots.empty()) {
            bots += ',';
        }
        bots += kBots[draw.Below(kBots.size())];
    }
    return bots;
}

}  // namespace

std::vector<Account> GenerateSampleMembers(int count, uint32_t seed) {
    Draw draw(seed);
    std::vector<Account> members;
    for (int index = 0; index < count; ++index) {
        Account account;
        account.login = SampleLogin(draw, index);
        account.password = SamplePassword(draw);
        account.protocols = SampleProtocols(draw);
        account.userBots = SampleUserBots(draw);
        members.push_back(std::move(account));
    }
    return members;
}

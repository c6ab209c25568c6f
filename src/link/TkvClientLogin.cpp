#include "link/TkvClientLogin.hpp"

#include "link/TkvClient.hpp"
#include "util/untCalc1.hpp"

namespace {

constexpr std::string_view kProtocolsMark = "protocols:";
constexpr std::string_view kLoginDoneMark = ":)";

bool Contains(std::string_view line, std::string_view part) {
    return line.find(part) != std::string_view::npos;
}

TextList GrantedProtocols(std::string_view line) {
    std::string names = ReplaceAll(std::string(line), kProtocolsMark, "");
    names = ReplaceAll(names, kLoginDoneMark, "");
    return ReadCommaList(Trim(names));
}

}  // namespace

void TkvClientLogin::Process(TkvClient& link, std::string_view line) {
    if (link.LoggedIn()) {
        return;
    }
    if (line == kLoginPrompt) {
        link.SendLine(Login);
    } else if (line == kPasswordPrompt) {
        link.SendLine(Password);
    } else if (Contains(line, kProtocolsMark)) {
        link.SetServerProtocols(GrantedProtocols(line));
    }
    if (Contains(line, kLoginDoneMark)) {
        link.LoginDone();
    }
}

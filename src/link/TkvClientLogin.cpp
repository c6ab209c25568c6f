#include "link/TkvClientLogin.hpp"

#include "link/TkvClient.hpp"
#include "util/untCalc1.hpp"

namespace {

constexpr std::string_view kProtocolsMark = "protocols:";
constexpr std::string_view kLoginDoneMark = ":)";

bool Contains(const std::string& line, std::string_view part) {
    return line.find(part) != std::string::npos;
}

TextList GrantedProtocols(const std::string& line) {
    std::string names = ReplaceAll(line, kProtocolsMark, "");
    names = ReplaceAll(names, kLoginDoneMark, "");
    return ReadCommaList(Trim(names));
}

}  // namespace

void TkvClientLogin::Process(TkvClient& link, const std::string& line) {
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

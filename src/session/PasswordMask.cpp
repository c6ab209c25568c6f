#include "session/PasswordMask.hpp"

#include "members/MemberText.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "protocol/ServerLine.hpp"
#include "protocol/ServerReports.hpp"

namespace {

bool CarriesMemberText(std::string_view code) {
    for (const std::string_view withText :
         {ReportCode::ListMember, ReportCode::AccountAdded, ReportCode::AccountModified,
          ReportCode::MemberLoggedIn, ReportCode::MemberLoggedOut, ReportCode::MemberQuery}) {
        if (code == withText) {
            return true;
        }
    }
    return false;
}

// line with the part password (a view into it) hidden; nothing when that part is empty.
std::optional<std::string> Hidden(std::string_view line, std::string_view password) {
    if (password.empty()) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(password.data() - line.data());
    std::string masked(line.substr(0, at));
    masked += kHiddenPassword;
    masked += line.substr(at + password.size());
    return masked;
}

}  // namespace

std::optional<std::string> MaskedReport(std::string_view line) {
    const ServerLineView cut = CutServerLineView(line);
    if (CarriesMemberText(cut.code)) {
        return Hidden(line, ParseMemberTextView(cut.payload).Password);
    }
    const ConnectionEffect control = ServerReports::ConnectionControlOf(cut);
    if (control.order == ConnectionOrder::Reconnect && !control.reconnect.password.empty()) {
        // The order is written out again from what was read, so that no blank or field the
        // password might share survives.
        const ServerReconnectOrder& order = control.reconnect;
        return "SRE:" + std::to_string(order.delaySeconds) + "," + std::to_string(order.port) + "," +
               order.host + "," + order.login + "," + std::string(kHiddenPassword);
    }
    return std::nullopt;
}

std::optional<std::string> MaskedRequest(std::string_view line) {
    const ServerLineView cut = CutServerLineView(line);
    if (cut.code != RequestCode::AddAccount && cut.code != RequestCode::EditAccount) {
        return std::nullopt;
    }
    // code "_" login ":" password "," protocols ";" user bots; a password holds no ",".
    return Hidden(line, cut.payload.substr(0, cut.payload.find(',')));
}

#include "session/MemberReport.hpp"

#include "members/MemberText.hpp"
#include "protocol/ProtocolCodes.hpp"

namespace {

// "ARD" and "ARE" name the login as their subject; the others carry the member's text.
MemberReport About(MemberEvent event, const ServerLineView& line) {
    return {event, ParseMemberTextView(line.payload).Login};
}

}  // namespace

std::optional<MemberReport> MemberReportOf(const ServerLineView& line) {
    const std::string_view code = line.code;
    if (code == ReportCode::ListComplete) {
        return MemberReport{MemberEvent::ListComplete, {}};
    }
    if (code == ReportCode::AccountAdded) {
        return About(MemberEvent::Added, line);
    }
    if (code == ReportCode::AccountModified || code == ReportCode::MemberQuery) {
        return About(MemberEvent::Changed, line);
    }
    if (code == ReportCode::MemberLoggedIn) {
        return About(MemberEvent::LoggedIn, line);
    }
    if (code == ReportCode::MemberLoggedOut) {
        return About(MemberEvent::LoggedOut, line);
    }
    if (code == ReportCode::AccountDeleted) {
        return MemberReport{MemberEvent::Deleted, line.subject};
    }
    if (code == ReportCode::Refused) {
        return MemberReport{MemberEvent::Refused, line.subject};
    }
    return std::nullopt;
}

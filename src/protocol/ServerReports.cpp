#include "protocol/ServerReports.hpp"

#include "members/MemberText.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "protocol/ServerLine.hpp"

RowsEffect ServerReports::ApplyReport(std::string_view text) {
    const ServerLine line = CutServerLine(text);
    const std::string_view code = line.code;
    if (code == ReportCode::ListMember) {
        // A list is being sent: the rows catch up at its end.
        const TkvMemberText member = ParseMemberText(line.payload);
        members_.AddOrUpdate(member.Login, member.Presence1, member.Presence2, member.ProtocolsText,
                             member.Password, member.UserBotsText, member.Online);
        return {};
    }
    if (code == ReportCode::ListComplete) {
        return {RowsChange::RebuildAll, {}};
    }
    if (code == ReportCode::AccountAdded) {
        return ApplyMemberText(line.payload, true);
    }
    if (code == ReportCode::AccountModified || code == ReportCode::MemberLoggedIn ||
        code == ReportCode::MemberLoggedOut || code == ReportCode::MemberQuery) {
        return ApplyMemberText(line.payload, false);
    }
    if (code == ReportCode::AccountDeleted) {
        members_.Delete(line.subject);
        return {RowsChange::RebuildAll, {}};
    }
    // The start of a list, refusals, acknowledgements, connection control and unknown codes
    // leave the list alone.
    return {};
}

// A member known before is rewritten in its row; a new one needs its sorted place, and so
// does an added account even when it was known.
RowsEffect ServerReports::ApplyMemberText(std::string_view payload, bool rebuildAlways) {
    const TkvMemberText member = ParseMemberText(payload);
    const bool existed = members_.Exists(member.Login);
    members_.AddOrUpdate(member.Login, member.Presence1, member.Presence2, member.ProtocolsText,
                         member.Password, member.UserBotsText, member.Online);
    if (existed && !rebuildAlways) {
        return {RowsChange::RewriteOne, member.Login};
    }
    return {RowsChange::RebuildAll, {}};
}

ConnectionEffect ServerReports::ConnectionControlOf(std::string_view text) {
    const ServerLine line = CutServerLine(text);
    if (line.code == ControlCode::Reconnect) {
        return {ConnectionOrder::Reconnect, ReadServerReconnect(line.payload)};
    }
    if (line.code == ControlCode::Close) {
        return {ConnectionOrder::Close, {}};
    }
    return {};
}

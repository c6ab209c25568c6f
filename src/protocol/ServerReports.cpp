#include "protocol/ServerReports.hpp"

#include <algorithm>

#include "members/MemberText.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "protocol/ServerLine.hpp"

RowsEffect ServerReports::ApplyReport(const ServerLineView& line) {
    const std::string_view code = line.code;
    if (code == ReportCode::ListMember) {
        // A list is being sent: the rows catch up at its end.
        const TkvMemberTextView member = ParseMemberTextView(line.payload);
        members_.AddOrUpdate(member.Login, member.Presence1, member.Presence2, member.ProtocolsText,
                             member.Password, member.UserBotsText, member.Online);
        rowsBehind_ = listArriving_ = true;
        return {};
    }
    if (code == ReportCode::ListComplete) {
        return Rebuild();
    }
    if (code == ReportCode::AccountAdded) {
        return ApplyMemberText(line.payload, true);
    }
    if (code == ReportCode::AccountModified || code == ReportCode::MemberLoggedIn ||
        code == ReportCode::MemberLoggedOut || code == ReportCode::MemberQuery) {
        return ApplyMemberText(line.payload, false);
    }
    if (code == ReportCode::AccountDeleted) {
        const TkvCLData* record = members_.RecordOf(line.subject);
        const std::string caption(record != nullptr ? record->Login() : std::string_view());
        members_.Delete(line.subject);
        // Rows are the list's records one for one here, so the row goes by its caption; an
        // unknown login changes no row, but a rebuild also puts the top row back its own way.
        if (record != nullptr && OneRowWillDo()) {
            return {RowsChange::RemoveOne, caption};
        }
        return Rebuild();
    }
    // The start of a list, refusals, acknowledgements, connection control and unknown codes
    // leave the list alone.
    return {};
}

// A member known before is rewritten in its row; a new one needs its sorted place, and so
// does an added account even when it was known.
RowsEffect ServerReports::ApplyMemberText(std::string_view payload, bool rebuildAlways) {
    const TkvMemberTextView member = ParseMemberTextView(payload);
    const TkvCLData* known = members_.RecordOf(member.Login);
    const bool existed = known != nullptr;
    // A row rewritten in place keeps its place even when its caption changes letter case, so
    // the rows may no longer be in order: only a rebuild puts the next member right.
    if (existed && !rebuildAlways && known->Login() != member.Login) {
        rowsBehind_ = true;
    }
    members_.AddOrUpdate(member.Login, member.Presence1, member.Presence2, member.ProtocolsText,
                         member.Password, member.UserBotsText, member.Online);
    if (existed && !rebuildAlways) {
        return {RowsChange::RewriteOne, std::string(member.Login)};
    }
    if (!existed && OneRowWillDo()) {
        return {RowsChange::InsertOne, std::string(member.Login)};
    }
    return Rebuild();
}

RowsEffect ServerReports::Rebuild() {
    rowsBehind_ = listArriving_ = false;
    return {RowsChange::RebuildAll, {}};
}

ConnectionEffect ServerReports::ConnectionControlOf(std::string_view text) {
    // Every line of a million-member list comes through here, twice: a line whose first byte
    // past the blanks is not the S that both codes begin with is not cut at all.
    const auto visible =
        std::find_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > ' '; });
    if (visible == text.end() || *visible != 'S') {
        return {};
    }
    return ConnectionControlOf(CutServerLineView(text));
}

ConnectionEffect ServerReports::ConnectionControlOf(const ServerLineView& line) {
    if (line.code == ControlCode::Reconnect) {
        return {ConnectionOrder::Reconnect, ReadServerReconnect(line.payload)};
    }
    if (line.code == ControlCode::Close) {
        return {ConnectionOrder::Close, {}};
    }
    return {};
}

#include "window/untKrvClientA.hpp"

#include <string>

#include <QLabel>
#include <QToolButton>

#include "dialogs/DisplayText.hpp"
#include "members/MemberText.hpp"
#include "util/untCalc1.hpp"

namespace {
// A line after the login: code, optionally "_" and a subject, optionally ":" and a payload.
struct ServerLine {
    std::string code;
    std::string subject;
    std::string payload;
};

// Only the first ":" separates; the subject and the payload keep their blanks.
ServerLine CutServerLine(const std::string& line) {
    ServerLine cut;
    std::string head;
    SplitFirst(line, ":", false, head, cut.payload);
    SplitFirst(Trim(head), "_", false, cut.code, cut.subject);
    return cut;
}

constexpr int32_t kReconnectFields = 5;
}  // namespace

void TfrmKrvClientA::ClientEvent(uint8_t kind, const std::string& name, const std::string& text) {
    ApplyClientEvent(kind, name, text);
    if (name.empty()) {
        return;
    }
    if (name == "Login") {
        // Only administrators may stay; anyone else is sent away without a word. A session
        // that has already ended has lost its granted protocols and has nothing left to close.
        if (link_->LoggedIn() && !link_->HasGrantedProtocol("administrator")) {
            link_->Disconnect();
        }
        return;
    }
    if (name != "Read") {
        return;
    }
    // Connection control is obeyed even before the login has completed.
    const ServerLine line = CutServerLine(text);
    if (line.code == "SRE") {
        ObeyServerReconnect(line.payload);
    } else if (line.code == "SRC") {
        link_->Disconnect();
    }
}

void TfrmKrvClientA::ApplyClientEvent(uint8_t kind, const std::string& name, const std::string& text) {
    const ServerLine line = CutServerLine(text);
    if (name == "Lookup") {
        members_->Clear();
        RefreshMembers();
        ShowConnectionState(" - lookup...");
    } else if (name == "Connecting") {
        ShowConnectionState(" - connecting...");
    } else if (name == "Connect") {
        btConnect_->setChecked(true);
        ShowConnectionState(" - connected, logging in...");
    } else if (name == "Login") {
        ShowConnectionState(" - logged in as " + link_->Login());
    } else if (name == "Read") {
        // Reports count only once the login has completed.
        if (kind == 1 && !line.code.empty()) {
            DispatchReport(line.code, line.subject, line.payload);
        }
    } else if (name == "Disconnect") {
        members_->Clear();
        btDisconnect_->setChecked(true);
        RefreshMembers();
        ShowConnectionState(" - disconnected");
    }
}

void TfrmKrvClientA::DispatchReport(const std::string& code, const std::string& subject,
                                    const std::string& payload) {
    if (code == "ARLM") {
        // A list is being sent: the rows catch up at its end ("ARLC").
        const TkvMemberText member = ParseMemberText(payload);
        members_->AddOrUpdate(member.Login, member.Presence1, member.Presence2, member.ProtocolsText,
                              member.Password, member.UserBotsText, member.Online);
    } else if (code == "ARLC") {
        RefreshMembers();
    } else if (code == "ARA") {
        ApplyMemberReport(payload, true);
    } else if (code == "ARM" || code == "ARI" || code == "ARO" || code == "ARQ") {
        ApplyMemberReport(payload, false);
    } else if (code == "ARD") {
        members_->Delete(subject);
        RefreshMembers();
    }
    // "ARLS", "ARE", "ARK", "SRE", "SRC" and unknown codes leave the list alone.
}

// A member known before is rewritten in its row; a new one needs its sorted place.
void TfrmKrvClientA::ApplyMemberReport(const std::string& payload, bool rebuildAlways) {
    const TkvMemberText member = ParseMemberText(payload);
    const bool existed = members_->Exists(member.Login);
    members_->AddOrUpdate(member.Login, member.Presence1, member.Presence2, member.ProtocolsText,
                          member.Password, member.UserBotsText, member.Online);
    if (existed && !rebuildAlways) {
        RefreshMember(member.Login);
    } else {
        RefreshMembers();
    }
}

// payload: delay "," port "," host, optionally "," login "," password; blanks around each.
void TfrmKrvClientA::ObeyServerReconnect(const std::string& payload) {
    std::string fields[kReconnectFields];
    std::string rest = payload;
    for (std::string& field : fields) {
        SplitFirst(rest, ",", true, field, rest);
    }
    const int32_t delay = StrToIntDef(fields[0], 0);
    const int32_t port = StrToIntDef(fields[1], 0);
    const std::string host = fields[2] == "0" ? std::string() : fields[2];
    const std::string& login = fields[3];
    const std::string& password = fields[4];
    if (login.empty()) {
        link_->ServerReconnect(delay, port, host);
    } else {
        link_->ServerReconnectAs(delay, port, host, login, password);
    }
}

void TfrmKrvClientA::ShowConnectionState(const std::string& state) {
    const std::string text = link_->Host() + ":" + std::to_string(link_->Port()) + state;
    connectionPanel_->setText(BytesToDisplay(text));
}

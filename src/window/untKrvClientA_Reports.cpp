#include "window/untKrvClientA.hpp"

#include <string>

#include <QLabel>
#include <QToolButton>

#include "rows/CaptionKeysAhead.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListModel.hpp"

void TfrmKrvClientA::EventArrived(const LinkEvent& event, const ConnectionEffect& control) {
    RecordLinkEvent(event, control);
}

// The rows read the records in place; emptied first, they have nothing to copy as the records go.
void TfrmKrvClientA::MembersClearing() {
    model_->ReplaceRows({});
}

void TfrmKrvClientA::MembersChanged(const RowsEffect& effect, const ServerLineView* /*report*/) {
    ShowRowsChange(effect);
    if (session_->ListArriving()) {
        captionsAhead_->Follow(session_->Members());
    }
}

void TfrmKrvClientA::ShowLinkState(LinkEventKind kind) {
    switch (kind) {
        case LinkEventKind::Lookup:
            ShowConnectionState(" - lookup...");
            break;
        case LinkEventKind::Connecting:
            ShowConnectionState(" - connecting...");
            break;
        case LinkEventKind::Connect:
            btConnect_->setChecked(true);
            ShowConnectionState(" - connected, logging in...");
            break;
        case LinkEventKind::Login:
            ShowConnectionState(" - logged in as " + session_->Link().Login());
            break;
        case LinkEventKind::Disconnect:
            btDisconnect_->setChecked(true);
            ShowConnectionState(" - disconnected");
            break;
        default:
            break;
    }
}

void TfrmKrvClientA::ShowRowsChange(const RowsEffect& effect) {
    switch (effect.change) {
        case RowsChange::None:
            break;
        case RowsChange::RebuildAll:
            RefreshMembers();
            break;
        case RowsChange::RewriteOne:
            RefreshMember(effect.login);
            break;
        case RowsChange::InsertOne:
            InsertMemberRow(effect.login);
            break;
        case RowsChange::RemoveOne:
            RemoveMemberRow(effect.login);
            break;
    }
}

void TfrmKrvClientA::ShowConnectionState(const std::string& state) {
    const TkvClient& link = session_->Link();
    const std::string text = link.Host() + ":" + std::to_string(link.Port()) + state;
    connectionPanel_->setText(ShortForDisplay(text));
}

#include "window/untKrvClientA.hpp"

#include <string>

#include <QLabel>
#include <QString>
#include <QToolButton>

#include "session/ConnectionLog.hpp"
#include "session/SessionJournal.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListPane.hpp"

void TfrmKrvClientA::EventArrived(const LinkEvent& event, const ConnectionEffect& control) {
    RecordLinkEvent(event, control);
    if (journal_) {
        journal_->EventArrived(event, control);
    }
}

void TfrmKrvClientA::MembersClearing() {
    list_->LetGoOfRecords();
}

void TfrmKrvClientA::MembersChanged(const RowsEffect& effect, const ServerLineView* /*report*/) {
    list_->ShowRowsChange(effect);
    // A member rewritten in place changes the online count alone; every line of a burst of
    // presence reports comes here.
    if (effect.change == RowsChange::RewriteOne) {
        ShowOnlineCount();
    } else if (effect.change != RowsChange::None) {
        ShowCounters();
    }
    if (session_->ListArriving()) {
        list_->FollowArrivingList();
    }
}

// A burst folded into one change of the rows is shown now; the counters followed every report.
void TfrmKrvClientA::ReportsDelivered() {
    list_->ReportsDelivered();
}

void TfrmKrvClientA::RecordLinkEvent(const LinkEvent& event, const ConnectionEffect& control) {
    log_->Record(event, control, *session_);
    // An error is always kept, so the newest entry is this one.
    if (event.kind == LinkEventKind::Error && !log_->Entries().empty()) {
        const ConnectionLogEntry& entry = log_->Entries().back();
        connectionPanel_->setToolTip(BytesToDisplay(entry.time + "  " + entry.text));
    }
    ShowLinkProtection(event);
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

void TfrmKrvClientA::ShowConnectionState(const std::string& state) {
    const TkvClient& link = session_->Link();
    const std::string text = link.Host() + ":" + std::to_string(link.Port()) + state;
    connectionPanel_->setText(ShortForDisplay(text));
}

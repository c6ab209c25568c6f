#include "window/untKrvClientA.hpp"

#include <string>

#include <QLabel>
#include <QToolButton>

#include "protocol/ServerReports.hpp"
#include "window/CaptionKeysAhead.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListModel.hpp"

void TfrmKrvClientA::ClientEvent(const LinkEvent& event) {
    RecordLinkEvent(event);
    ApplyClientEvent(event);
    if (event.kind == LinkEventKind::Login) {
        // Only administrators may stay; anyone else is sent away without a word. A session
        // that has already ended has lost its granted protocols and has nothing left to close.
        if (link_->LoggedIn() && !link_->HasGrantedProtocol("administrator")) {
            link_->Disconnect();
        }
    } else if (event.kind == LinkEventKind::Read && MayBeObeyed(event.state)) {
        // Connection control is obeyed even before the login has completed, but never from a
        // line the connection's end cut off or from a connection already replaced.
        ObeyConnectionControl(ServerReports::ConnectionControlOf(event.text));
    }
}

void TfrmKrvClientA::ApplyClientEvent(const LinkEvent& event) {
    if (event.kind == LinkEventKind::Read) {
        // Reports count only once the login has completed.
        if (event.state == LineState::LoggedIn) {
            ShowRowsChange(reports_->ApplyReport(event.text));
            if (reports_->ListArriving()) {
                captionsAhead_->Follow(*members_);
            }
        }
    } else if (event.kind == LinkEventKind::Lookup) {
        ClearMembers();
        ShowConnectionState(" - lookup...");
    } else if (event.kind == LinkEventKind::Connecting) {
        ShowConnectionState(" - connecting...");
    } else if (event.kind == LinkEventKind::Connect) {
        btConnect_->setChecked(true);
        ShowConnectionState(" - connected, logging in...");
    } else if (event.kind == LinkEventKind::Login) {
        ShowConnectionState(" - logged in as " + link_->Login());
    } else if (event.kind == LinkEventKind::Disconnect) {
        btDisconnect_->setChecked(true);
        ClearMembers();
        ShowConnectionState(" - disconnected");
    }
}

// The rows read the records in place; emptied first, they have nothing to copy as the records go.
void TfrmKrvClientA::ClearMembers() {
    model_->ReplaceRows({});
    members_->Clear();
    RefreshMembers();
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

void TfrmKrvClientA::ObeyConnectionControl(const ConnectionEffect& effect) {
    if (effect.order == ConnectionOrder::Close) {
        link_->Disconnect();
    } else if (effect.order == ConnectionOrder::Reconnect) {
        ObeyServerReconnect(effect.reconnect);
    }
}

void TfrmKrvClientA::ObeyServerReconnect(const ServerReconnectOrder& order) {
    // The order redirects this run only; the settings file keeps what was there before it.
    if (!beforeRedirect_) {
        beforeRedirect_ = StoredConnection{link_->Host(), link_->Port(), link_->Login(), link_->Password()};
    }
    if (order.login.empty()) {
        link_->ServerReconnect(order.delaySeconds, order.port, order.host);
    } else {
        link_->ServerReconnectAs(order.delaySeconds, order.port, order.host, order.login, order.password);
    }
}

void TfrmKrvClientA::ShowConnectionState(const std::string& state) {
    const std::string text = link_->Host() + ":" + std::to_string(link_->Port()) + state;
    connectionPanel_->setText(ShortForDisplay(text));
}

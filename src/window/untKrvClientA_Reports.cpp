#include "window/untKrvClientA.hpp"

#include <string>
#include <string_view>

#include <QLabel>
#include <QToolButton>

#include "protocol/ServerReports.hpp"
#include "rows/CaptionKeysAhead.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListModel.hpp"

// Names are compared as views, which look at the length first: every line of a long list
// passes here.
void TfrmKrvClientA::ClientEvent(uint8_t kind, const std::string& name, const std::string& text) {
    RecordLinkEvent(kind, name, text);
    ApplyClientEvent(kind, name, text);
    const std::string_view event = name;
    if (event == "Login") {
        // Only administrators may stay; anyone else is sent away without a word. A session
        // that has already ended has lost its granted protocols and has nothing left to close.
        if (link_->LoggedIn() && !link_->HasGrantedProtocol("administrator")) {
            link_->Disconnect();
        }
    } else if (event == "Read" && MayBeObeyed(kind)) {
        // Connection control is obeyed even before the login has completed, but never from a
        // line the connection's end cut off or from a connection already replaced.
        ObeyConnectionControl(ServerReports::ConnectionControlOf(text));
    }
}

void TfrmKrvClientA::ApplyClientEvent(uint8_t kind, const std::string& name, const std::string& text) {
    const std::string_view event = name;
    if (event == "Read") {
        // Reports count only once the login has completed.
        if (kind == 1) {
            ShowRowsChange(reports_->ApplyReport(text));
            if (reports_->ListArriving()) {
                captionsAhead_->Follow(*members_);
            }
        }
    } else if (event == "Lookup") {
        ClearMembers();
        ShowConnectionState(" - lookup...");
    } else if (event == "Connecting") {
        ShowConnectionState(" - connecting...");
    } else if (event == "Connect") {
        btConnect_->setChecked(true);
        ShowConnectionState(" - connected, logging in...");
    } else if (event == "Login") {
        ShowConnectionState(" - logged in as " + link_->Login());
    } else if (event == "Disconnect") {
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

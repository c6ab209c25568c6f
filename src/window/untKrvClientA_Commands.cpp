#include "window/untKrvClientA.hpp"

#include <memory>
#include <optional>
#include <string>

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QTreeView>

#include "dialogs/AccountRequest.hpp"
#include "dialogs/DisplayText.hpp"
#include "dialogs/FieldLook.hpp"
#include "dialogs/FormPlacement.hpp"
#include "dialogs/MessageBoxes.hpp"
#include "dialogs/krvServer_Client.hpp"
#include "util/untCalc1.hpp"
#include "window/MemberListModel.hpp"

// Commands never touch the member list: the server's reports do. Every box and dialog runs a
// nested event loop in which the timer delivers reports, so whatever a command found before a
// box may be gone after it; commands about online members or about everyone look again.

namespace {

enum class AccountMode { Add, Edit, Delete };

// One field of the account dialog: what it shows, the exact bytes behind that, and its look.
struct AccountField {
    FilledText text;
    bool open = true;
};

struct AccountDialogContent {
    QString title;
    QString instruction;
    AccountField login;
    AccountField password;
    AccountField protocols;
    AccountField userBots;
};

AccountDialogContent ContentFor(AccountMode mode, const TkvCLData* record, bool administratorLock) {
    if (mode == AccountMode::Add) {
        return {"Add Client", "Enter data of new client:", {}, {}, {}, {}};
    }
    const bool edit = mode == AccountMode::Edit;
    return {edit ? "Edit Client" : "Delete Client",
            edit ? "Edit data of client:" : "Data of client:",
            {FilledText(record->Login()), false},
            {FilledText(record->Password()), edit},
            {FilledText(record->GetProtocolsText()), edit && !administratorLock},
            {FilledText(record->GetUserBotsText()), edit}};
}

void Show(QLineEdit& field, const AccountField& content) {
    field.setText(content.text.Shown());
    SetFieldOpen(field, content.open);
}

std::string Read(const QLineEdit& field, const AccountField& content) {
    return Trim(content.text.BytesFor(field.text()));
}

// The dialog exists only for this call; the trimmed fields on "accept", nothing otherwise.
std::optional<AccountFields> RunAccountDialog(QWidget& window, const AccountDialogContent& content) {
    auto dialog = std::make_unique<TfrmServer_Client>(&window);
    CenterFormOver(*dialog, window);
    dialog->setWindowTitle(content.title);
    dialog->lbText->setText(content.instruction);
    Show(*dialog->edLogin, content.login);
    Show(*dialog->edPassword, content.password);
    Show(*dialog->edProtocols, content.protocols);
    Show(*dialog->edUserBots, content.userBots);
    if (dialog->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return AccountFields{Read(*dialog->edLogin, content.login), Read(*dialog->edPassword, content.password),
                         Read(*dialog->edProtocols, content.protocols),
                         Read(*dialog->edUserBots, content.userBots)};
}

std::optional<std::string> SelectedCaption(const QTreeView& view) {
    const QItemSelectionModel* selection = view.selectionModel();
    const QModelIndexList rows = selection ? selection->selectedRows(0) : QModelIndexList();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray login = rows.first().data(MemberListModel::LoginBytesRole).toByteArray();
    return std::string(login.constData(), static_cast<size_t>(login.size()));
}

const TkvCLData* RecordOf(const TkvCLDataCollection& members, const std::optional<std::string>& login) {
    return login ? members.Items(members.IndexOf(*login)) : nullptr;
}

bool IsOnline(const TkvCLDataCollection& members, const std::optional<std::string>& login) {
    const TkvCLData* record = RecordOf(members, login);
    return record != nullptr && record->Online();
}

// The logoff and reconnect requests for everyone are the one-client requests without a login,
// so a nameless member would turn a request for it into a request for all.
std::string UnsendableClientLogin(const std::string& login) {
    return login.empty() ? "The login cannot be empty, so nothing was sent." : UnsendableLogin(login);
}

// Refuses, with a message, a line that a field would corrupt; sends it otherwise.
bool SendUnlessUnsendable(QWidget* window, TkvClient& link, const std::string& reason,
                          const std::string& line) {
    if (!reason.empty()) {
        ShowPlainMessage(window, BytesToDisplay(reason));
        return false;
    }
    link.SendLine(line);
    return true;
}

}  // namespace

std::string TfrmKrvClientA::SelectedLogin() const {
    return SelectedCaption(*ListView1_).value_or("");
}

std::string TfrmKrvClientA::ReconnectArguments() const {
    return ReconnectRequestArguments(link_->Port(), link_->Host());
}

void TfrmKrvClientA::mnuAddClientClick() {
    const auto fields = RunAccountDialog(*this, ContentFor(AccountMode::Add, nullptr, false));
    if (!fields) {
        return;
    }
    if (members_->Exists(fields->login)) {
        ShowPlainMessage(this, "Login name exists!");
        return;
    }
    SendUnlessUnsendable(this, *link_, UnsendableAccountFields(*fields), AccountRequestLine("ADA_", *fields));
}

void TfrmKrvClientA::mnuEditClientClick() {
    const TkvCLData* record = RecordOf(*members_, SelectedCaption(*ListView1_));
    if (record == nullptr) {
        return;
    }
    // The account this client is logged in with cannot take away its own administrator right.
    const bool administratorLock =
        SameTextAscii(record->Login(), link_->Login()) && record->HasProtocol("administrator");
    const auto fields = RunAccountDialog(*this, ContentFor(AccountMode::Edit, record, administratorLock));
    if (!fields) {
        return;
    }
    SendUnlessUnsendable(this, *link_, UnsendableAccountFields(*fields), AccountRequestLine("ADE_", *fields));
}

void TfrmKrvClientA::mnuDeleteClientClick() {
    const TkvCLData* record = RecordOf(*members_, SelectedCaption(*ListView1_));
    if (record == nullptr) {
        return;
    }
    const auto fields = RunAccountDialog(*this, ContentFor(AccountMode::Delete, record, true));
    if (!fields) {
        return;
    }
    const std::string& login = fields->login;
    if (SendUnlessUnsendable(this, *link_, UnsendableLogin(login), LoginRequestLine("ADD_", login)) &&
        IsOnline(*members_, login)) {
        link_->SendLine(LoginRequestLine("ADX_", login));
    }
}

void TfrmKrvClientA::mnuExpelClientClick() {
    const auto login = SelectedCaption(*ListView1_);
    if (!IsOnline(*members_, login) || !AskConfirmation(this, "Expel " + BytesToDisplay(*login) + "?") ||
        !IsOnline(*members_, login)) {
        return;
    }
    SendUnlessUnsendable(this, *link_, UnsendableLogin(*login), LoginRequestLine("ADX_", *login));
}

void TfrmKrvClientA::mnuRequestClientLogoffClick() {
    const auto login = SelectedCaption(*ListView1_);
    if (!IsOnline(*members_, login) ||
        !AskWarning(this, "Request " + BytesToDisplay(*login) + " to log off?") ||
        !IsOnline(*members_, login)) {
        return;
    }
    SendUnlessUnsendable(this, *link_, UnsendableClientLogin(*login), LoginRequestLine("AEC_", *login));
}

void TfrmKrvClientA::mnuRequestClientReconnectClick() {
    const auto login = SelectedCaption(*ListView1_);
    if (!IsOnline(*members_, login) ||
        !AskConfirmation(this, "Request " + BytesToDisplay(*login) + " to reconnect?") ||
        !IsOnline(*members_, login)) {
        return;
    }
    SendUnlessUnsendable(this, *link_, UnsendableClientLogin(*login),
                         LoginRequestLine("ACR_", *login, ReconnectArguments()));
}

void TfrmKrvClientA::mnuRequestAllLogoffExclClick() {
    auto othersReachable = [this] { return link_->LoggedIn() && members_->Count() > 1; };
    if (othersReachable() && AskWarning(this, "Request all (except you) to logoff?") && othersReachable()) {
        link_->SendLine(LoginRequestLine("AEX_", ""));
    }
}

void TfrmKrvClientA::mnuRequestAllLogoffIncClick() {
    if (link_->LoggedIn() && AskWarning(this, "Request all (including you) to logoff?") &&
        link_->LoggedIn()) {
        link_->SendLine(LoginRequestLine("AEC_", ""));
    }
}

void TfrmKrvClientA::mnuRequestAllReconnecteExcClick() {
    auto othersReachable = [this] { return link_->LoggedIn() && members_->Count() > 1; };
    if (othersReachable() && AskConfirmation(this, "Request all (except you) to reconnect?") &&
        othersReachable()) {
        link_->SendLine(LoginRequestLine("ACX_", "", ReconnectArguments()));
    }
}

void TfrmKrvClientA::mnuRequestAllReconnectInclClick() {
    if (link_->LoggedIn() && AskConfirmation(this, "Request all (including you) to reconnect?") &&
        link_->LoggedIn()) {
        link_->SendLine(LoginRequestLine("ACR_", "", ReconnectArguments()));
    }
}

#include "window/untKrvClientA.hpp"

#include <memory>
#include <optional>
#include <string>

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include "dialogs/FieldLook.hpp"
#include "dialogs/FormPlacement.hpp"
#include "dialogs/MessageBoxes.hpp"
#include "dialogs/krvServer_Client.hpp"
#include "protocol/AdminRequest.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "util/untCalc1.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListModel.hpp"
#include "window/MemberListView.hpp"

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

std::optional<std::string> SelectedCaption(const QAbstractItemView& view) {
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
// so a nameless member would turn a request for it into a request for all; an expel or a
// delete without a login names no member at all.
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

std::string TfrmKrvClientA::ReconnectArguments() const {
    return ReconnectRequestArguments(link_->Port(), link_->Host());
}

// The selected member, when it is online both before and after the administrator agrees.
std::optional<std::string> TfrmKrvClientA::AskAboutOnlineMember(AskBox ask, const QString& question) {
    const auto login = SelectedCaption(*ListView1_);
    if (!IsOnline(*members_, login) || !ask(this, question.arg(ShortForDisplay(*login))) ||
        !IsOnline(*members_, login)) {
        return std::nullopt;
    }
    return login;
}

// True when someone (someone else, with othersOnly) can be reached both before and after the
// administrator agrees.
bool TfrmKrvClientA::AskAboutEveryone(AskBox ask, const QString& question, bool othersOnly) {
    auto reachable = [this, othersOnly] {
        return link_->LoggedIn() && (!othersOnly || members_->Count() > 1);
    };
    return reachable() && ask(this, question) && reachable();
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
    SendUnlessUnsendable(this, *link_, UnsendableAccountFields(*fields),
                         AccountRequestLine(RequestCode::AddAccount, *fields));
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
    SendUnlessUnsendable(this, *link_, UnsendableAccountFields(*fields),
                         AccountRequestLine(RequestCode::EditAccount, *fields));
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
    if (SendUnlessUnsendable(this, *link_, UnsendableClientLogin(login),
                             LoginRequestLine(RequestCode::DeleteAccount, login)) &&
        IsOnline(*members_, login)) {
        link_->SendLine(LoginRequestLine(RequestCode::Expel, login));
    }
}

void TfrmKrvClientA::mnuExpelClientClick() {
    if (const auto login = AskAboutOnlineMember(AskConfirmation, "Expel %1?")) {
        SendUnlessUnsendable(this, *link_, UnsendableClientLogin(*login),
                             LoginRequestLine(RequestCode::Expel, *login));
    }
}

void TfrmKrvClientA::mnuRequestClientLogoffClick() {
    if (const auto login = AskAboutOnlineMember(AskWarning, "Request %1 to log off?")) {
        SendUnlessUnsendable(this, *link_, UnsendableClientLogin(*login),
                             LoginRequestLine(RequestCode::Logoff, *login));
    }
}

void TfrmKrvClientA::mnuRequestClientReconnectClick() {
    if (const auto login = AskAboutOnlineMember(AskConfirmation, "Request %1 to reconnect?")) {
        SendUnlessUnsendable(this, *link_, UnsendableClientLogin(*login),
                             LoginRequestLine(RequestCode::Reconnect, *login, ReconnectArguments()));
    }
}

void TfrmKrvClientA::mnuRequestAllLogoffExclClick() {
    if (AskAboutEveryone(AskWarning, "Request all (except you) to logoff?", true)) {
        link_->SendLine(LoginRequestLine(RequestCode::LogoffAllButRequester, ""));
    }
}

void TfrmKrvClientA::mnuRequestAllLogoffIncClick() {
    if (AskAboutEveryone(AskWarning, "Request all (including you) to logoff?", false)) {
        link_->SendLine(LoginRequestLine(RequestCode::Logoff, ""));
    }
}

void TfrmKrvClientA::mnuRequestAllReconnecteExcClick() {
    if (AskAboutEveryone(AskConfirmation, "Request all (except you) to reconnect?", true)) {
        link_->SendLine(LoginRequestLine(RequestCode::ReconnectAllButRequester, "", ReconnectArguments()));
    }
}

void TfrmKrvClientA::mnuRequestAllReconnectInclClick() {
    if (AskAboutEveryone(AskConfirmation, "Request all (including you) to reconnect?", false)) {
        link_->SendLine(LoginRequestLine(RequestCode::Reconnect, "", ReconnectArguments()));
    }
}

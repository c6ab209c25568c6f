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

}  // namespace

// The session's rules refuse what must not be sent; the window says why in the words its users
// know. False when nothing was sent.
bool TfrmKrvClientA::ShowRefusal(const RequestResult& result) {
    switch (result.refusal) {
        case RequestRefusal::None:
            return true;
        case RequestRefusal::LoginExists:
            ShowPlainMessage(this, "Login name exists!");
            break;
        case RequestRefusal::EmptyLogin:
            ShowPlainMessage(this, "The login cannot be empty, so nothing was sent.");
            break;
        case RequestRefusal::Unsendable:
        case RequestRefusal::OwnAdministrator:
            ShowPlainMessage(this, BytesToDisplay(result.detail));
            break;
        case RequestRefusal::NotOnline:
        case RequestRefusal::NobodyToReach:
            // Asked before the box and again after it: gone meanwhile, as if never asked.
            break;
    }
    return false;
}

// The selected member, when it is online both before and after the administrator agrees.
std::optional<std::string> TfrmKrvClientA::AskAboutOnlineMember(AskBox ask, const QString& question) {
    const auto login = SelectedCaption(*ListView1_);
    const auto online = [this, &login] { return login && session_->IsOnline(*login); };
    if (!online() || !ask(this, question.arg(ShortForDisplay(*login))) || !online()) {
        return std::nullopt;
    }
    return login;
}

// True when someone (someone else, with othersOnly) can be reached both before and after the
// administrator agrees.
bool TfrmKrvClientA::AskAboutEveryone(AskBox ask, const QString& question, bool othersOnly) {
    return session_->CanReachEveryone(othersOnly) && ask(this, question) &&
           session_->CanReachEveryone(othersOnly);
}

void TfrmKrvClientA::mnuAddClientClick() {
    if (const auto fields = RunAccountDialog(*this, ContentFor(AccountMode::Add, nullptr, false))) {
        ShowRefusal(session_->AddAccount(*fields));
    }
}

void TfrmKrvClientA::mnuEditClientClick() {
    const TkvCLData* record = RecordOf(session_->Members(), SelectedCaption(*ListView1_));
    if (record == nullptr) {
        return;
    }
    // The field stays locked, so the account this client is logged in with keeps its right.
    const bool administratorLock = session_->KeepsAdministrator(*record);
    if (const auto fields =
            RunAccountDialog(*this, ContentFor(AccountMode::Edit, record, administratorLock))) {
        ShowRefusal(session_->EditAccount(*fields));
    }
}

void TfrmKrvClientA::mnuDeleteClientClick() {
    const TkvCLData* record = RecordOf(session_->Members(), SelectedCaption(*ListView1_));
    if (record == nullptr) {
        return;
    }
    if (const auto fields = RunAccountDialog(*this, ContentFor(AccountMode::Delete, record, true))) {
        ShowRefusal(session_->DeleteAccount(fields->login));
    }
}

void TfrmKrvClientA::mnuExpelClientClick() {
    if (const auto login = AskAboutOnlineMember(AskConfirmation, "Expel %1?")) {
        ShowRefusal(session_->Expel(*login));
    }
}

void TfrmKrvClientA::mnuRequestClientLogoffClick() {
    if (const auto login = AskAboutOnlineMember(AskWarning, "Request %1 to log off?")) {
        ShowRefusal(session_->AskToLogOff(*login));
    }
}

void TfrmKrvClientA::mnuRequestClientReconnectClick() {
    if (const auto login = AskAboutOnlineMember(AskConfirmation, "Request %1 to reconnect?")) {
        ShowRefusal(session_->AskToReconnect(*login));
    }
}

void TfrmKrvClientA::mnuRequestAllLogoffExclClick() {
    if (AskAboutEveryone(AskWarning, "Request all (except you) to logoff?", true)) {
        session_->AskEveryoneToLogOff(true);
    }
}

void TfrmKrvClientA::mnuRequestAllLogoffIncClick() {
    if (AskAboutEveryone(AskWarning, "Request all (including you) to logoff?", false)) {
        session_->AskEveryoneToLogOff(false);
    }
}

void TfrmKrvClientA::mnuRequestAllReconnecteExcClick() {
    if (AskAboutEveryone(AskConfirmation, "Request all (except you) to reconnect?", true)) {
        session_->AskEveryoneToReconnect(true);
    }
}

void TfrmKrvClientA::mnuRequestAllReconnectInclClick() {
    if (AskAboutEveryone(AskConfirmation, "Request all (including you) to reconnect?", false)) {
        session_->AskEveryoneToReconnect(false);
    }
}

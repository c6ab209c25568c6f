#include "window/MemberCommands.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QString>

#include "dialogs/FieldLook.hpp"
#include "dialogs/FormPlacement.hpp"
#include "dialogs/MessageBoxes.hpp"
#include "dialogs/krvServer_Client.hpp"
#include "session/BulkOperation.hpp"
#include "session/ServerSession.hpp"
#include "util/untCalc1.hpp"
#include "window/BulkConfirmDialog.hpp"
#include "window/BulkEditDialog.hpp"
#include "window/BulkRun.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListPane.hpp"
#include "window/MemberListView.hpp"
#include "window/Shortcuts.hpp"

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
            {FilledText(std::string(record->Login())), false},
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

const TkvCLData* RecordOf(const TkvCLDataCollection& members, const std::optional<std::string>& login) {
    return login ? members.Items(members.IndexOf(*login)) : nullptr;
}

}  // namespace

MemberCommands::MemberCommands(QWidget& window, ServerSession& session, MemberListPane& list)
    : QObject(&window), window_(window), session_(session), list_(list) {
    CreatePopup();
    CreatePopupForMany();
    CreateListKeys();
}

// With several rows selected, the commands on one member give way to their forms for many; adding
// a member and the commands for everyone stay as they are.
void MemberCommands::CreatePopupForMany() {
    puMembersMany_ = new QMenu(&window_);
    puMembersMany_->setObjectName(QStringLiteral("puMembersMany"));
    puMembersMany_->setAccessibleName(QStringLiteral("Commands on the selected members"));
    const auto add = [this](const char* name, const QString& caption, auto handler) {
        QAction* action = puMembersMany_->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
    };
    add("mnuManyAddClient", "add client", [this] { mnuAddClientClick(); });
    add("mnuBulkEdit", "edit selected clients", [this] { EditSelected(); });
    puMembersMany_->addSeparator();
    add("mnuBulkDelete", "delete selected clients", [this] { RunOnSelected({BulkAction::Delete, {}}); });
    add("mnuBulkExpel", "expel selected clients", [this] { RunOnSelected({BulkAction::Expel, {}}); });
    puMembersMany_->addSeparator();
    add("mnuBulkLogoff", "request selected clients logoff", [this] {
        RunOnSelected({BulkAction::LogOff, {}});
    });
    add("mnuManyAllLogoffExcl", "request all logoff (but you)", [this] { mnuRequestAllLogoffExclClick(); });
    add("mnuManyAllLogoffInc", "request all logoff (you too)", [this] { mnuRequestAllLogoffIncClick(); });
    puMembersMany_->addSeparator();
    add("mnuBulkReconnect", "request selected clients reconnect", [this] {
        RunOnSelected({BulkAction::Reconnect, {}});
    });
    add("mnuManyAllReconnectExc", "request all reconnect (but you)",
        [this] { mnuRequestAllReconnecteExcClick(); });
    add("mnuManyAllReconnectIncl", "request all reconnect (you too)",
        [this] { mnuRequestAllReconnectInclClick(); });
}

// One command on many members at a time: another waits until the summary of the first.
bool MemberCommands::BulkStillRunning() {
    if (bulk_ != nullptr && bulk_->Running()) {
        ShowPlainMessage(&window_, "A command on many members is still running.");
        return true;
    }
    return false;
}

void MemberCommands::RunOnSelected(const BulkCommand& command) {
    if (BulkStillRunning()) {
        return;
    }
    const std::vector<std::string> logins = list_.SelectedLogins();
    auto bulk = std::make_unique<BulkOperation>(session_, command, logins);
    const uint64_t listPlanned = session_.ListChanges();
    std::string reason;
    {
        BulkConfirmDialog confirm(*bulk, &window_);
        if (confirm.exec() != QDialog::Accepted || !session_.Link().LoggedIn()) {
            return;
        }
        reason = confirm.Reason();
    }
    // The plan is made again if reports came while the dialog was open: they may have changed who
    // is listed or online, and the backup must hold the accounts as they are now.
    if (session_.ListChanges() != listPlanned) {
        bulk = std::make_unique<BulkOperation>(session_, command, logins);
    }
    auto* run = new BulkRun(window_, session_, std::move(bulk), journal_);
    run->SetReason(std::move(reason));
    if (!run->Start()) {
        run->deleteLater();
        return;
    }
    bulk_ = run;
}

// The edit is chosen first; then it goes the way of every command on many members, so the
// accounts it would not change are skipped by the same rule as krvadmin's.
void MemberCommands::EditSelected() {
    if (BulkStillRunning()) {
        return;
    }
    if (const auto edit = BulkEditDialog::Ask(static_cast<int>(list_.SelectedCount()), &window_)) {
        RunOnSelected({BulkAction::Edit, *edit});
    }
}

void MemberCommands::AfterTick() {
    if (bulk_ != nullptr) {
        bulk_->AfterTick();
    }
}

void MemberCommands::Settled(const SettledRequest& request) {
    if (bulk_ != nullptr) {
        bulk_->Settled(request);
    }
}

void MemberCommands::CreatePopup() {
    puMembers_ = new QMenu(&window_);
    puMembers_->setObjectName(QStringLiteral("puMembers"));
    puMembers_->setAccessibleName(QStringLiteral("Member commands"));
    struct Command {
        const char* name;
        const char* caption;
        void (MemberCommands::*handler)();
    };
    const std::vector<std::vector<Command>> groups = {
        {{"mnuAddClient", "add client", &MemberCommands::mnuAddClientClick},
         {"mnuEditClient", "edit client", &MemberCommands::mnuEditClientClick}},
        {{"mnuDeleteClient", "delete client", &MemberCommands::mnuDeleteClientClick},
         {"mnuExpelClient", "expel client", &MemberCommands::mnuExpelClientClick}},
        {{"mnuRequestClientLogoff", "request client logoff", &MemberCommands::mnuRequestClientLogoffClick},
         {"mnuRequestAllLogoffExcl", "request all logoff (but you)",
          &MemberCommands::mnuRequestAllLogoffExclClick},
         {"mnuRequestAllLogoffInc", "request all logoff (you too)",
          &MemberCommands::mnuRequestAllLogoffIncClick}},
        {{"mnuRequestClientReconnect", "request client reconnect",
          &MemberCommands::mnuRequestClientReconnectClick},
         {"mnuRequestAllReconnecteExc", "request all reconnect (but you)",
          &MemberCommands::mnuRequestAllReconnecteExcClick},
         {"mnuRequestAllReconnectIncl", "request all reconnect (you too)",
          &MemberCommands::mnuRequestAllReconnectInclClick}},
    };
    for (const auto& group : groups) {
        if (!puMembers_->isEmpty()) {
            puMembers_->addSeparator();
        }
        for (const Command& command : group) {
            QAction* action = puMembers_->addAction(QLatin1String(command.caption));
            action->setObjectName(QLatin1String(command.name));
            connect(action, &QAction::triggered, this,
                    [this, handler = command.handler] { (this->*handler)(); });
        }
    }
    MemberListView& view = list_.View();
    connect(&view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { Popup(position); });
}

// The list's keys act on the selected member as the popup's entries do.
void MemberCommands::CreateListKeys() {
    MemberListView* view = &list_.View();
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
        connect(AddShortcut(view, "scPopup", keys, Qt::WidgetShortcut), &QShortcut::activated, this,
                [this] { PopupAtCurrentRow(); });
    }
    connect(AddShortcut(view, "scDeleteClient", QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut),
            &QShortcut::activated, this, [this] {
                list_.SelectedCount() > 1 ? RunOnSelected({BulkAction::Delete, {}}) : mnuDeleteClientClick();
            });
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        connect(AddShortcut(view, "scEditClient", keys, Qt::WidgetShortcut), &QShortcut::activated, this,
                [this] { list_.SelectedCount() > 1 ? EditSelected() : mnuEditClientClick(); });
    }
}

void MemberCommands::Popup(const QPoint& position) {
    QMenu* menu = list_.SelectedCount() > 1 ? puMembersMany_ : puMembers_;
    menu->popup(list_.View().viewport()->mapToGlobal(position));
}

void MemberCommands::PopupAtCurrentRow() {
    MemberListView& view = list_.View();
    const QRect row = view.visualRect(view.currentIndex());
    Popup(row.isValid() ? row.bottomLeft() : view.viewport()->rect().center());
}

// The session's rules refuse what must not be sent; the window says why in the words its users
// know. False when nothing was sent.
bool MemberCommands::ShowRefusal(const RequestResult& result) {
    switch (result.refusal) {
        case RequestRefusal::None:
            return true;
        case RequestRefusal::LoginExists:
            ShowPlainMessage(&window_, "Login name exists!");
            break;
        case RequestRefusal::EmptyLogin:
            ShowPlainMessage(&window_, "The login cannot be empty, so nothing was sent.");
            break;
        case RequestRefusal::Unsendable:
        case RequestRefusal::OwnAdministrator:
            ShowPlainMessage(&window_, BytesToDisplay(result.detail));
            break;
        case RequestRefusal::NotOnline:
        case RequestRefusal::NobodyToReach:
            // Asked before the box and again after it: gone meanwhile, as if never asked.
            break;
    }
    return false;
}

// The selected member, when it is online both before and after the administrator agrees.
std::optional<std::string> MemberCommands::AskAboutOnlineMember(AskBox ask, const QString& question) {
    const auto login = list_.SelectedLogin();
    const auto online = [this, &login] { return login && session_.IsOnline(*login); };
    if (!online() || !ask(&window_, question.arg(ShortForDisplay(*login))) || !online()) {
        return std::nullopt;
    }
    return login;
}

// True when someone (someone else, with othersOnly) can be reached both before and after the
// administrator agrees.
bool MemberCommands::AskAboutEveryone(AskBox ask, const QString& question, bool othersOnly) {
    return session_.CanReachEveryone(othersOnly) && ask(&window_, question) &&
           session_.CanReachEveryone(othersOnly);
}

void MemberCommands::mnuAddClientClick() {
    if (const auto fields = RunAccountDialog(window_, ContentFor(AccountMode::Add, nullptr, false))) {
        ShowRefusal(session_.AddAccount(*fields));
    }
}

void MemberCommands::mnuEditClientClick() {
    const TkvCLData* record = RecordOf(session_.Members(), list_.SelectedLogin());
    if (record == nullptr) {
        return;
    }
    // The field stays locked, so the account this client is logged in with keeps its right.
    const bool administratorLock = session_.KeepsAdministrator(*record);
    if (const auto fields =
            RunAccountDialog(window_, ContentFor(AccountMode::Edit, record, administratorLock))) {
        ShowRefusal(session_.EditAccount(*fields));
    }
}

void MemberCommands::mnuDeleteClientClick() {
    const TkvCLData* record = RecordOf(session_.Members(), list_.SelectedLogin());
    if (record == nullptr) {
        return;
    }
    if (const auto fields = RunAccountDialog(window_, ContentFor(AccountMode::Delete, record, true))) {
        ShowRefusal(session_.DeleteAccount(fields->login));
    }
}

void MemberCommands::mnuExpelClientClick() {
    if (const auto login = AskAboutOnlineMember(AskConfirmation, "Expel %1?")) {
        ShowRefusal(session_.Expel(*login));
    }
}

void MemberCommands::mnuRequestClientLogoffClick() {
    if (const auto login = AskAboutOnlineMember(AskWarning, "Request %1 to log off?")) {
        ShowRefusal(session_.AskToLogOff(*login));
    }
}

void MemberCommands::mnuRequestClientReconnectClick() {
    if (const auto login = AskAboutOnlineMember(AskConfirmation, "Request %1 to reconnect?")) {
        ShowRefusal(session_.AskToReconnect(*login));
    }
}

void MemberCommands::mnuRequestAllLogoffExclClick() {
    if (AskAboutEveryone(AskWarning, "Request all (except you) to logoff?", true)) {
        session_.AskEveryoneToLogOff(true);
    }
}

void MemberCommands::mnuRequestAllLogoffIncClick() {
    if (AskAboutEveryone(AskWarning, "Request all (including you) to logoff?", false)) {
        session_.AskEveryoneToLogOff(false);
    }
}

void MemberCommands::mnuRequestAllReconnecteExcClick() {
    if (AskAboutEveryone(AskConfirmation, "Request all (except you) to reconnect?", true)) {
        session_.AskEveryoneToReconnect(true);
    }
}

void MemberCommands::mnuRequestAllReconnectInclClick() {
    if (AskAboutEveryone(AskConfirmation, "Request all (including you) to reconnect?", false)) {
        session_.AskEveryoneToReconnect(false);
    }
}

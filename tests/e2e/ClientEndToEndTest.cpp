// The real main window with its real TCP socket against the real demo server process.

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCollator>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DemoServerProcess.hpp"
#include "MemberStore.hpp"
#include "ModalDriver.hpp"
#include "RawClient.hpp"
#include "SampleMembers.hpp"
#include "members/MemberText.hpp"
#include "members/TkvCLData.hpp"
#include "support/TcpWindow.hpp"
#include "util/untCalc1.hpp"
#include "window/MemberListModel.hpp"
#include "window/untKrvClientA.hpp"

// Runs a helper that verifies, and ends the test when the helper failed.
#define STEP(call)                        \
    do {                                  \
        call;                             \
        if (QTest::currentTestFailed()) { \
            return;                       \
        }                                 \
    } while (false)

namespace {

constexpr int kListTimeoutMs = 60000;
// A logged-in connection that drops waits the link's first delay (10 s) before its first attempt.
constexpr int kReconnectTimeoutMs = 40000;

struct MemberView {
    std::string password;
    TextList protocols;
    std::string userBots;
    bool online = false;
    bool operator==(const MemberView&) const = default;
};

std::map<std::string, MemberView> ViewsOfMemberTexts(const std::vector<std::string>& texts) {
    std::map<std::string, MemberView> views;
    for (const std::string& text : texts) {
        const TkvMemberText member = ParseMemberText(text);
        // The client keeps user bots as a list; read them the same way to compare like with like.
        TkvCLData userBots;
        userBots.SetUserBotsText(member.UserBotsText);
        views[member.Login] = {member.Password, ReadCommaList(member.ProtocolsText),
                               userBots.GetUserBotsText(), member.Online};
    }
    return views;
}

}  // namespace

class ClientEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void connectDialogLogsInAndListsEveryMemberSorted();
    void theRunScriptsSettingsConnectWithOneClickAndEnter();
    void commandsChangeTheServerAndTheRowsFollow();
    void aSecondConnectionShowsAsOnline();
    void requestAllReconnectIncludingMeReconnectsThisClient();
    void killedServerEmptiesTheListAndARestartIsReconnectedByItself();
    void loginWithoutAdministratorClosesAndStaysClosed();
    void membersWrittenInPiecesArriveIntact();
    void aMemberFoundByPartOfItsLoginIsExpelledThroughThePopup();

private:
    void StartServer(const QStringList& arguments);
    void OpenWindow();
    void ConnectThroughDialog(const QString& delaySeconds = QStringLiteral("10"));
    void WaitLoggedInWithMembers(int memberCount, int timeoutMs = kListTimeoutMs);

    QAbstractItemModel* Rows() const;
    QString Panel(int index) const;
    int RowOf(const std::string& login) const;
    bool RowOnline(const std::string& login) const;
    void Select(const std::string& login);
    void Trigger(const char* actionName);
    std::map<std::string, MemberView> ClientMembers() const;
    std::map<std::string, MemberView> ServerMembers() const;

    std::unique_ptr<QTemporaryDir> settingsDir_;
    std::unique_ptr<DemoServerProcess> server_;
    std::unique_ptr<TfrmKrvClientA> window_;
    ModalDriver modal_;
};

void ClientEndToEndTest::init() {
    settingsDir_ = std::make_unique<QTemporaryDir>();
    server_ = std::make_unique<DemoServerProcess>();
}

void ClientEndToEndTest::cleanup() {
    window_.reset();
    server_.reset();
    settingsDir_.reset();
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void ClientEndToEndTest::StartServer(const QStringList& arguments) {
    QVERIFY2(server_->Start(arguments), "the demo server did not start");
}

void ClientEndToEndTest::OpenWindow() {
    window_ = OpenTcpWindow(settingsDir_->filePath(QStringLiteral("krvClientA.ini")));
    window_->show();
}

void ClientEndToEndTest::ConnectThroughDialog(const QString& delaySeconds) {
    const QString port = QString::number(server_->Port());
    modal_.OnNextModal([port, delaySeconds](QWidget* dialog) {
        ModalDriver::FillAdminConnection(dialog, port);
        ModalDriver::SetField(dialog, "edDelay", delaySeconds);
        ModalDriver::ClickButton(dialog, "Button1");
    });
    window_->findChild<QToolButton*>(QStringLiteral("btConnect"))->click();
    QTRY_VERIFY(modal_.Handled());
    QCOMPARE(modal_.HandledName(), QStringLiteral("frmKrvClient_Server"));
}

void ClientEndToEndTest::WaitLoggedInWithMembers(int memberCount, int timeoutMs) {
    const QString loggedIn = QStringLiteral("127.0.0.1:%1 - logged in as admin").arg(server_->Port());
    QTRY_COMPARE_WITH_TIMEOUT(Panel(2), loggedIn, timeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(Rows()->rowCount(), memberCount, timeoutMs);
    QCOMPARE(Panel(1), QString::number(memberCount));
}

QAbstractItemModel* ClientEndToEndTest::Rows() const {
    return window_->findChild<QAbstractItemView*>(QStringLiteral("ListView1"))->model();
}

QString ClientEndToEndTest::Panel(int index) const {
    return window_->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(index))->text();
}

int ClientEndToEndTest::RowOf(const std::string& login) const {
    const QByteArray wanted = QByteArray::fromStdString(login);
    for (int row = 0; row < Rows()->rowCount(); ++row) {
        if (Rows()->index(row, 0).data(MemberListModel::LoginBytesRole).toByteArray() == wanted) {
            return row;
        }
    }
    return -1;
}

bool ClientEndToEndTest::RowOnline(const std::string& login) const {
    const int row = RowOf(login);
    return row >= 0 && Rows()->index(row, 0).data(MemberListModel::OnlineRole).toBool();
}

void ClientEndToEndTest::Select(const std::string& login) {
    const int row = RowOf(login);
    QVERIFY2(row >= 0, login.c_str());
    auto* view = window_->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    view->selectionModel()->setCurrentIndex(Rows()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ClientEndToEndTest::Trigger(const char* actionName) {
    auto* action = window_->findChild<QAction*>(QLatin1String(actionName));
    QVERIFY2(action != nullptr, actionName);
    action->trigger();
}

std::map<std::string, MemberView> ClientEndToEndTest::ClientMembers() const {
    std::map<std::string, MemberView> views;
    const TkvCLDataCollection& members = window_->Session().Members();
    for (int32_t i = 0; i < members.Count(); ++i) {
        const TkvCLData* record = members.Items(i);
        views[std::string(record->Login())] = {record->Password(), record->Protocols(),
                                               record->GetUserBotsText(), record->Online()};
    }
    return views;
}

// What the server holds, as a fresh administrator connection lists it; that connection shows
// the administrator online in both views, which is the truth while it is open.
std::map<std::string, MemberView> ClientEndToEndTest::ServerMembers() const {
    RawClient administrator(server_->Port());
    std::vector<std::string> texts;
    if (!administrator.LogIn("admin", "admin") || !administrator.ReadMemberList(texts)) {
        return {};
    }
    return ViewsOfMemberTexts(texts);
}

void ClientEndToEndTest::connectDialogLogsInAndListsEveryMemberSorted() {
    STEP(StartServer({"--members", "200", "--seed", "5"}));
    OpenWindow();
    STEP(ConnectThroughDialog());
    STEP(WaitLoggedInWithMembers(201));
    QCOMPARE(Panel(0), QStringLiteral("1"));  // the administrator itself

    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::vector<std::string> expected{"admin"};
    for (const Account& account : GenerateSampleMembers(200, 5)) {
        expected.push_back(account.login);
    }
    std::vector<std::string> listed;
    for (int row = 0; row < Rows()->rowCount(); ++row) {
        listed.push_back(
            Rows()->index(row, 0).data(MemberListModel::LoginBytesRole).toByteArray().toStdString());
        if (row > 0) {
            QVERIFY2(collator.compare(QString::fromStdString(listed[row - 1]),
                                      QString::fromStdString(listed[row])) <= 0,
                     listed[row].c_str());
        }
    }
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    QVERIFY(listed == expected);
}

// scripts/run writes this file before the first start; then "connect" and Enter are all it takes.
void ClientEndToEndTest::theRunScriptsSettingsConnectWithOneClickAndEnter() {
    STEP(StartServer({"--members", "10"}));
    QFile settings(settingsDir_->filePath(QStringLiteral("krvClientA.ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[Client]\nHost=127.0.0.1\nPort=%1\nLogin=admin\nPassword=?admin\n")
                       .arg(server_->Port())
                       .toLatin1());
    settings.close();
    OpenWindow();

    modal_.OnNextModal([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
    window_->findChild<QToolButton*>(QStringLiteral("btConnect"))->click();
    QTRY_VERIFY(modal_.Handled());
    STEP(WaitLoggedInWithMembers(11));

    // The clear password was replaced by its scrambled form at the start.
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray written = settings.readAll();
    QVERIFY(!written.contains("?admin"));
    QVERIFY(written.contains("Password="));
}

void ClientEndToEndTest::commandsChangeTheServerAndTheRowsFollow() {
    STEP(StartServer({"--members", "20", "--seed", "3"}));
    const Account member = GenerateSampleMembers(20, 3)[4];
    OpenWindow();
    STEP(ConnectThroughDialog());
    STEP(WaitLoggedInWithMembers(21));

    // Add.
    modal_.OnNextModal([](QWidget* dialog) {
        ModalDriver::SetField(dialog, "edLogin", QStringLiteral("  carol  "));
        ModalDriver::SetField(dialog, "edPassword", QStringLiteral("pw1"));
        ModalDriver::SetField(dialog, "edProtocols", QStringLiteral("chat news"));
        ModalDriver::SetField(dialog, "edUserBots", QStringLiteral("b1, b2"));
        ModalDriver::ClickButton(dialog, "Button1");
    });
    STEP(Trigger("mnuAddClient"));
    QCOMPARE(modal_.HandledName(), QStringLiteral("frmServer_Client"));
    QTRY_VERIFY(RowOf("carol") >= 0);
    QCOMPARE(Rows()->index(RowOf("carol"), 1).data().toString(), QStringLiteral("chat,news"));

    // Edit: the dialog comes filled from the record; a changed password and protocol go back.
    STEP(Select("carol"));
    QString filledProtocols;
    modal_.OnNextModal([&filledProtocols](QWidget* dialog) {
        filledProtocols = ModalDriver::Field(dialog, "edProtocols");
        ModalDriver::SetField(dialog, "edPassword", QStringLiteral("pw2"));
        ModalDriver::SetField(dialog, "edProtocols", QStringLiteral("files"));
        ModalDriver::ClickButton(dialog, "Button1");
    });
    STEP(Trigger("mnuEditClient"));
    QCOMPARE(filledProtocols, QStringLiteral("chat,news"));
    QTRY_COMPARE(Rows()->index(RowOf("carol"), 1).data().toString(), QStringLiteral("files"));
    QTRY_COMPARE(ClientMembers()["carol"].password, std::string("pw2"));

    // Delete.
    STEP(Select("carol"));
    modal_.OnNextModal([](QWidget* dialog) { ModalDriver::ClickButton(dialog, "Button1"); });
    STEP(Trigger("mnuDeleteClient"));
    QTRY_COMPARE(RowOf("carol"), -1);

    // Expel a member connected beside us.
    auto guest = std::make_unique<RawClient>(server_->Port());
    QVERIFY(guest->LogIn(member.login, member.password));
    QTRY_VERIFY(RowOnline(member.login));
    STEP(Select(member.login));
    modal_.OnNextModal([](QWidget* box) { ModalDriver::ClickMessageBoxButton(box, QMessageBox::Ok); });
    STEP(Trigger("mnuExpelClient"));
    QVERIFY(guest->WaitClosed());
    QTRY_VERIFY(!RowOnline(member.login));

    // Ask one member to log off: it gets "SRC" and leaves as a client does.
    guest = std::make_unique<RawClient>(server_->Port());
    QVERIFY(guest->LogIn(member.login, member.password));
    QTRY_VERIFY(RowOnline(member.login));
    STEP(Select(member.login));
    modal_.OnNextModal([](QWidget* box) { ModalDriver::ClickMessageBoxButton(box, QMessageBox::Ok); });
    STEP(Trigger("mnuRequestClientLogoff"));
    QVERIFY(guest->WaitForLine("SRC"));
    guest->Close();
    QTRY_VERIFY(!RowOnline(member.login));

    // Ask one member to reconnect: it is told where, and this client's server is the answer.
    guest = std::make_unique<RawClient>(server_->Port());
    QVERIFY(guest->LogIn(member.login, member.password));
    QTRY_VERIFY(RowOnline(member.login));
    STEP(Select(member.login));
    modal_.OnNextModal([](QWidget* box) { ModalDriver::ClickMessageBoxButton(box, QMessageBox::Ok); });
    STEP(Trigger("mnuRequestClientReconnect"));
    QVERIFY(guest->WaitForLine("SRE:5 , " + std::to_string(server_->Port()) + " , 127.0.0.1"));
    guest.reset();
    QTRY_VERIFY(!RowOnline(member.login));

    QTRY_VERIFY(ClientMembers() == ServerMembers());
    QCOMPARE(Rows()->rowCount(), 21);
}

void ClientEndToEndTest::aSecondConnectionShowsAsOnline() {
    STEP(StartServer({"--members", "10", "--seed", "9"}));
    const Account member = GenerateSampleMembers(10, 9)[2];
    OpenWindow();
    STEP(ConnectThroughDialog());
    STEP(WaitLoggedInWithMembers(11));
    QCOMPARE(Panel(0), QStringLiteral("1"));
    QVERIFY(!RowOnline(member.login));

    auto guest = std::make_unique<RawClient>(server_->Port());
    QVERIFY(guest->LogIn(member.login, member.password));
    QTRY_VERIFY(RowOnline(member.login));
    QTRY_COMPARE(Panel(0), QStringLiteral("2"));

    guest.reset();
    QTRY_VERIFY(!RowOnline(member.login));
    QTRY_COMPARE(Panel(0), QStringLiteral("1"));
    QCOMPARE(Panel(1), QStringLiteral("11"));
}

void ClientEndToEndTest::requestAllReconnectIncludingMeReconnectsThisClient() {
    STEP(StartServer({"--members", "10", "--verbose"}));
    OpenWindow();
    STEP(ConnectThroughDialog());
    STEP(WaitLoggedInWithMembers(11));

    modal_.OnNextModal([](QWidget* box) { ModalDriver::ClickMessageBoxButton(box, QMessageBox::Ok); });
    STEP(Trigger("mnuRequestAllReconnectIncl"));
    QTRY_VERIFY(!window_->Session().Link().LoggedIn());
    QTRY_COMPARE(Rows()->rowCount(), 0);
    STEP(WaitLoggedInWithMembers(11, kReconnectTimeoutMs));
    QVERIFY(server_->Log().count("send login:") == 2);
}

void ClientEndToEndTest::killedServerEmptiesTheListAndARestartIsReconnectedByItself() {
    STEP(StartServer({"--members", "10"}));
    const QString port = QString::number(server_->Port());
    OpenWindow();
    STEP(ConnectThroughDialog(QStringLiteral("1")));
    STEP(WaitLoggedInWithMembers(11));

    server_->Kill();
    QTRY_COMPARE(Panel(2), QStringLiteral("127.0.0.1:%1 - disconnected").arg(port));
    QCOMPARE(Rows()->rowCount(), 0);
    QCOMPARE(Panel(1), QStringLiteral("0"));

    // Restart only once the link has made an attempt of its own (planning the first one after the
    // drop counts one), so that the schedule goes on after a refused attempt.
    QTRY_VERIFY_WITH_TIMEOUT(window_->Session().Link().Reconnect().TotalAttempts() >= 2, kReconnectTimeoutMs);
    server_ = std::make_unique<DemoServerProcess>();
    STEP(StartServer({"--port", port, "--members", "10"}));
    STEP(WaitLoggedInWithMembers(11, kReconnectTimeoutMs));
}

void ClientEndToEndTest::loginWithoutAdministratorClosesAndStaysClosed() {
    STEP(StartServer({"--members", "10", "--grant", "chat", "--verbose"}));
    OpenWindow();
    STEP(ConnectThroughDialog());
    QTRY_VERIFY(server_->Log().contains("-> :)"));
    QTRY_COMPARE(Panel(2), QStringLiteral("127.0.0.1:%1 - disconnected").arg(server_->Port()));
    QTRY_VERIFY(server_->Log().contains("disconnected"));
    QCOMPARE(Rows()->rowCount(), 0);
    // Nothing is planned: neither the schedule nor a server's order will start another attempt.
    QVERIFY(window_->Session().Link().AutoReconnect());
    QVERIFY(!window_->Session().Link().Reconnect().Armed());
    QCOMPARE(window_->Session().Link().Reconnect().ForcedAttempts(), 0);
    QCOMPARE(server_->Log().count("connected from"), 1);
}

void ClientEndToEndTest::membersWrittenInPiecesArriveIntact() {
    STEP(StartServer({"--members", "5000", "--seed", "11", "--split-writes"}));
    OpenWindow();
    STEP(ConnectThroughDialog());
    STEP(WaitLoggedInWithMembers(5001));

    std::vector<std::string> expected{"127.0.0.1:0,1,admin=admin,administrator;;"};
    for (const Account& account : GenerateSampleMembers(5000, 11)) {
        expected.push_back(MemberText(account));
    }
    std::map<std::string, MemberView> wanted = ViewsOfMemberTexts(expected);
    std::map<std::string, MemberView> got = ClientMembers();
    QCOMPARE(got.size(), wanted.size());
    for (const auto& [login, view] : wanted) {
        QVERIFY2(got.count(login) == 1 && got[login] == view, login.c_str());
    }
}

void ClientEndToEndTest::aMemberFoundByPartOfItsLoginIsExpelledThroughThePopup() {
    STEP(StartServer({"--members", "200", "--seed", "5", "--verbose"}));
    const std::vector<Account> accounts = GenerateSampleMembers(200, 5);
    OpenWindow();
    STEP(ConnectThroughDialog());
    STEP(WaitLoggedInWithMembers(201));
    // A part of one login, in other letter case, that no other row holds in any field.
    const auto heldElsewhere = [this](const QString& part, int except) {
        for (int row = 0; row < Rows()->rowCount(); ++row) {
            for (int column = 0; column < 3 && row != except; ++column) {
                if (Rows()->index(row, column).data().toString().contains(part, Qt::CaseInsensitive)) {
                    return true;
                }
            }
        }
        return false;
    };
    std::string login;
    QString part;
    for (size_t i = 0; i < accounts.size() && part.isEmpty(); ++i) {
        const QString candidate = QString::fromStdString(accounts[i].login);
        for (int length = 3; length < candidate.size() && part.isEmpty(); ++length) {
            const QString middle = candidate.mid(1, length);
            if (!heldElsewhere(middle, RowOf(accounts[i].login))) {
                part = middle.toUpper();
                login = accounts[i].login;
            }
        }
    }
    QVERIFY(!part.isEmpty());
    const Account& member = *std::find_if(accounts.begin(), accounts.end(), [&login](const Account& account) {
        return account.login == login;
    });
    RawClient guest(server_->Port());
    QVERIFY(guest.LogIn(member.login, member.password));
    QTRY_VERIFY(RowOnline(member.login));

    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    auto* list = window_->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    auto* field = window_->findChild<QLineEdit*>(QStringLiteral("edFind"));
    QTest::keyClicks(field, part);
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(list->currentIndex().row(), RowOf(member.login));

    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    auto* popup = window_->findChild<QMenu*>(QStringLiteral("puMembers"));
    QTRY_VERIFY(popup->isVisible());
    modal_.OnNextModal([](QWidget* box) { ModalDriver::ClickMessageBoxButton(box, QMessageBox::Ok); });
    popup->setActiveAction(window_->findChild<QAction*>(QStringLiteral("mnuExpelClient")));
    QTest::keyClick(popup, Qt::Key_Return);
    QTRY_VERIFY(modal_.Handled());
    QVERIFY(guest.WaitClosed());
    QTRY_VERIFY(!RowOnline(member.login));
    const QByteArray log = server_->Log();
    QCOMPARE(log.count("<- ADX_"), 1);
    QVERIFY(log.contains("<- ADX_" + QByteArray::fromStdString(member.login) + ":"));
}

QTEST_MAIN(ClientEndToEndTest)
#include "ClientEndToEndTest.moc"

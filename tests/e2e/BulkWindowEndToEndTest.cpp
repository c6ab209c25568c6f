// The window's commands on several selected members, over TCP against the demo server process:
// refusals (the server refuses the requests about some logins), reports that come late, the edit
// of many accounts read back from the server, and the filter bar choosing the members.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DemoServerProcess.hpp"
#include "MemberStore.hpp"
#include "ModalDriver.hpp"
#include "RawClient.hpp"
#include "SampleMembers.hpp"
#include "support/ModalResponder.hpp"
#include "support/TcpWindow.hpp"
#include "window/BulkConfirmDialog.hpp"
#include "window/BulkEditDialog.hpp"
#include "window/MemberListModel.hpp"
#include "window/untKrvClientA.hpp"

namespace {

// For a look by eye under a real X server: KRV_SCREEN_SHOTS names a folder that receives the
// whole screen, as import(1) takes it, at the moments worth seeing.
void ShootScreen(QWidget* shown, const QString& name) {
    const QString folder = qEnvironmentVariable("KRV_SCREEN_SHOTS");
    if (folder.isEmpty()) {
        return;
    }
    shown->raise();
    shown->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    for (int pass = 0; pass < 20; ++pass) {
        QApplication::processEvents();
        QTest::qWait(10);
    }
    QProcess::execute(QStringLiteral("import"), {"-window", "root", folder + "/25-shot-" + name + ".png"});
}

// The administrator's own account and the first six sample members.
std::vector<std::string> AdminAndFirstSix(const std::vector<Account>& samples) {
    std::vector<std::string> chosen = {"admin"};
    for (size_t i = 0; i < 6; ++i) {
        chosen.push_back(samples[i].login);
    }
    return chosen;
}

}  // namespace

class BulkWindowEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bulkDeleteWithARefusalLeavesTheRowsAsTheServerHasThem();
    void lateReportsCountDoneOnlyWhenTheyCome();
    void editOfManyChangesOnlyThatNameOnTheServer();
    void filterBarChoosesTheMembersOfACommand();

private:
    void ConnectWindow(const QStringList& serverArguments, int rows);
    // kRefusingMembers sample members on a server that refuses every request on the third of them.
    static constexpr int kRefusingMembers = 12;
    std::vector<Account> ConnectRefusingTheThird();
    void Select(const std::vector<std::string>& logins);
    // The server's own view, read by an administrator of its own: login -> "password,protocols;bots;".
    std::map<std::string, std::string> ServerAccounts() const;
    QStringList ShownLogins() const;
    int RowOf(const std::string& login) const;
    QAbstractItemView* List() const { return window_->findChild<QAbstractItemView*>("ListView1"); }

    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray oldDataHome_;
    std::unique_ptr<DemoServerProcess> server_;
    std::unique_ptr<TfrmKrvClientA> window_;
    ModalDriver modal_;
};

void BulkWindowEndToEndTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    oldDataHome_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir_->filePath("data").toUtf8());
    server_ = std::make_unique<DemoServerProcess>();
}

void BulkWindowEndToEndTest::cleanup() {
    window_.reset();
    server_.reset();
    qputenv("XDG_DATA_HOME", oldDataHome_);
    dir_.reset();
}

int BulkWindowEndToEndTest::RowOf(const std::string& login) const {
    const QByteArray wanted = QByteArray::fromStdString(login);
    QAbstractItemModel* rows = List()->model();
    for (int row = 0; row < rows->rowCount(); ++row) {
        if (rows->index(row, 0).data(MemberListModel::LoginBytesRole).toByteArray() == wanted) {
            return row;
        }
    }
    return -1;
}

void BulkWindowEndToEndTest::ConnectWindow(const QStringList& serverArguments, int rows) {
    QVERIFY(server_->Start(serverArguments));
    window_ = OpenTcpWindow(dir_->filePath("krvClientA.ini"));
    window_->show();
    const QString port = QString::number(server_->Port());
    modal_.OnNextModal([port](QWidget* dialog) {
        ModalDriver::FillAdminConnection(dialog, port);
        ModalDriver::ClickButton(dialog, "Button1");
    });
    window_->findChild<QToolButton*>("btConnect")->click();
    QTRY_VERIFY(modal_.Handled());
    QTRY_COMPARE_WITH_TIMEOUT(List()->model()->rowCount(), rows, 30000);
}

std::vector<Account> BulkWindowEndToEndTest::ConnectRefusingTheThird() {
    std::vector<Account> samples = GenerateSampleMembers(kRefusingMembers, 1);
    ConnectWindow({"--members", QString::number(kRefusingMembers), "--seed", "1", "--refuse",
                   QString::fromStdString(samples[2].login)},
                  kRefusingMembers + 1);
    return samples;
}

void BulkWindowEndToEndTest::Select(const std::vector<std::string>& logins) {
    List()->selectionModel()->clear();
    for (const std::string& login : logins) {
        QVERIFY2(RowOf(login) >= 0, login.c_str());
        List()->selectionModel()->select(List()->model()->index(RowOf(login), 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

std::map<std::string, std::string> BulkWindowEndToEndTest::ServerAccounts() const {
    RawClient reader(server_->Port());
    std::vector<std::string> texts;
    if (!reader.LogIn("admin", "admin") || !reader.ReadMemberList(texts)) {
        return {};
    }
    std::map<std::string, std::string> accounts;
    for (const std::string& text : texts) {
        // The presence fields end at the last "," before the "=" that ends the login.
        const size_t equals = text.find('=');
        const size_t login = text.rfind(',', equals) + 1;
        accounts[text.substr(login, equals - login)] = text.substr(equals + 1);
    }
    return accounts;
}

QStringList BulkWindowEndToEndTest::ShownLogins() const {
    QStringList logins;
    for (int row = 0; row < List()->model()->rowCount(); ++row) {
        logins << List()->model()->index(row, 0).data(MemberListModel::LoginBytesRole).toString();
    }
    logins.sort();
    return logins;
}

void BulkWindowEndToEndTest::bulkDeleteWithARefusalLeavesTheRowsAsTheServerHasThem() {
    constexpr int kMembers = kRefusingMembers;
    const std::vector<Account> samples = ConnectRefusingTheThird();
    const std::string refused = samples[2].login;

    // Six sample members and the administrator's own account.
    const std::vector<std::string> chosen = AdminAndFirstSix(samples);
    Select(chosen);
    int expectRefused = 0;
    for (size_t i = 1; i < chosen.size(); ++i) {
        expectRefused += chosen[i].find(refused) != std::string::npos ? 1 : 0;
    }
    const int expectConfirmed = 6 - expectRefused;
    QString targets;
    modal_.OnNextModal([&targets](QWidget* dialog) {
        targets = dialog->findChild<QLabel*>("lbBulkTargets")->text();
        ModalDriver::SetField(dialog, "edBulkCount", QStringLiteral("6"));
        ShootScreen(dialog, "confirm");
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    window_->findChild<QAction*>("mnuBulkDelete")->trigger();
    QTRY_VERIFY(modal_.Handled());
    QCOMPARE(modal_.HandledName(), QStringLiteral("dlgBulkConfirm"));
    QVERIFY2(targets.startsWith("About to delete 6 members: "), qPrintable(targets));

    QTRY_VERIFY_WITH_TIMEOUT(window_->findChild<QDialog*>("dlgBulkSummary") != nullptr, 30000);
    auto* summary = window_->findChild<QDialog*>("dlgBulkSummary");
    ShootScreen(summary, "summary");
    QCOMPARE(summary->findChild<QLabel*>("lbBulkSummary")->text(),
             QStringLiteral("%1 confirmed, %2 refused, 0 unconfirmed, 1 skipped")
                 .arg(expectConfirmed)
                 .arg(expectRefused));
    const QString details = summary->findChild<QPlainTextEdit*>("edBulkSummary")->toPlainText();
    QVERIFY2(
        details.contains(QString::fromStdString("refused " + refused + ": refused by the server's --refuse")),
        qPrintable(details));
    QVERIFY2(details.contains("skipped admin: "), qPrintable(details));
    QVERIFY2(details.contains("backup: " + dir_->filePath("data/krvClientA/backups/")), qPrintable(details));
    // The rows and counters: those deleted are gone, the refused and the skipped stay.
    for (size_t i = 0; i < chosen.size(); ++i) {
        const bool stays = i == 0 || chosen[i].find(refused) != std::string::npos;
        QCOMPARE(RowOf(chosen[i]) >= 0, stays);
    }
    QCOMPARE(List()->model()->rowCount(), kMembers + 1 - expectConfirmed);
    QCOMPARE(window_->findChild<QLabel*>("StatusPanel1")->text(),
             QString::number(kMembers + 1 - expectConfirmed));
    // What stays selected is what is left of the selection.
    QCOMPARE(List()->selectionModel()->selectedRows().size(), static_cast<qsizetype>(1 + expectRefused));
    summary->close();
}

// The server carries each request out, and so reports it, seconds after it came: the progress
// shows every request sent and none done until the reports arrive, then all of them confirmed.
void BulkWindowEndToEndTest::lateReportsCountDoneOnlyWhenTheyCome() {
    constexpr int kMembers = 8;
    const std::vector<Account> samples = GenerateSampleMembers(kMembers, 1);
    ConnectWindow({"--members", QString::number(kMembers), "--seed", "1", "--delay-requests", "3000"},
                  kMembers + 1);
    std::vector<std::string> chosen;
    for (int i = 0; i < 5; ++i) {
        chosen.push_back(samples[static_cast<size_t>(i)].login);
    }
    Select(chosen);
    modal_.OnNextModal([](QWidget* dialog) {
        ModalDriver::SetField(dialog, "edBulkCount", QStringLiteral("5"));
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    window_->findChild<QAction*>("mnuBulkDelete")->trigger();
    QTRY_VERIFY(modal_.Handled());
    auto* progress = window_->findChild<QDialog*>("dlgBulkProgress");
    QVERIFY(progress != nullptr);
    QLabel* text = progress->findChild<QLabel*>("lbBulkProgress");
    QTRY_VERIFY2_WITH_TIMEOUT(text->text().contains(", 5 sent"), qPrintable(text->text()), 20000);
    // Sent, but not reported yet: not done, and the rows still there.
    QVERIFY2(text->text().startsWith("0 of 5 done, 5 sent"), qPrintable(text->text()));
    ShootScreen(progress, "progress");
    QCOMPARE(List()->model()->rowCount(), kMembers + 1);
    QTRY_VERIFY_WITH_TIMEOUT(window_->findChild<QDialog*>("dlgBulkSummary") != nullptr, 30000);
    auto* summary = window_->findChild<QDialog*>("dlgBulkSummary");
    QCOMPARE(summary->findChild<QLabel*>("lbBulkSummary")->text(),
             QStringLiteral("5 confirmed, 0 refused, 0 unconfirmed"));
    QCOMPARE(List()->model()->rowCount(), kMembers + 1 - 5);
    const std::map<std::string, std::string> left = ServerAccounts();
    QCOMPARE(left.size(), static_cast<size_t>(kMembers + 1 - 5));
    for (const std::string& login : chosen) {
        QVERIFY2(left.count(login) == 0, login.c_str());
    }
    summary->close();
}

// An edit of many accounts changes that one name of each on the server and nothing else; a
// refused account stays as it was, with the server's reason in the summary.
void BulkWindowEndToEndTest::editOfManyChangesOnlyThatNameOnTheServer() {
    constexpr int kMembers = kRefusingMembers;
    const std::vector<Account> samples = ConnectRefusingTheThird();
    const std::string refused = samples[2].login;
    const std::map<std::string, std::string> before = ServerAccounts();
    QCOMPARE(before.size(), static_cast<size_t>(kMembers + 1));
    const std::vector<std::string> chosen = AdminAndFirstSix(samples);
    const auto protocolsWithE2e = [](const Account& account) {
        return account.protocols + (account.protocols.empty() ? "" : ",") + "e2e";
    };
    const auto hasWeather = [](const Account& account) {
        return QString::fromStdString(account.userBots).split(',').contains("weather", Qt::CaseInsensitive);
    };
    const auto botsWithoutWeather = [](const Account& account) {
        QStringList bots = QString::fromStdString(account.userBots).split(',', Qt::SkipEmptyParts);
        bots.removeIf([](const QString& bot) { return bot.compare("weather", Qt::CaseInsensitive) == 0; });
        return bots.join(',').toStdString();
    };
    int withWeather = 0;
    for (size_t i = 0; i < 6; ++i) {
        withWeather += samples[i].login != refused && hasWeather(samples[i]) ? 1 : 0;
    }
    const int refusedHasWeather = hasWeather(samples[2]) ? 1 : 0;
    struct Step {
        int change;
        QString name;
        QString summary;
    };
    const Step steps[] = {
        {0, "e2e", "5 confirmed, 1 refused, 0 unconfirmed, 1 skipped"},
        {3, "Weather",
         QStringLiteral("%1 confirmed, %2 refused, 0 unconfirmed, %3 skipped")
             .arg(withWeather)
             .arg(refusedHasWeather)
             .arg(7 - withWeather - refusedHasWeather)},
    };
    for (const Step& step : steps) {
        Select(chosen);
        auto choose = AnswerDialog<BulkEditDialog>([&](BulkEditDialog* dialog) {
            dialog->findChild<QComboBox*>("cbBulkEditChange")->setCurrentIndex(step.change);
            dialog->findChild<QLineEdit*>("edBulkEditName")->setText(step.name);
            if (step.change == 0) {
                ShootScreen(dialog, "edit");
            }
            dialog->findChild<QPushButton*>("btnBulkEditNext")->click();
        });
        auto confirm = AnswerDialog<BulkConfirmDialog>(
            [](BulkConfirmDialog* dialog) { dialog->findChild<QPushButton*>("btnBulkGo")->click(); });
        window_->findChild<QAction*>("mnuBulkEdit")->trigger();
        QVERIFY(choose->Answered());
        QVERIFY(confirm->Answered());
        QTRY_VERIFY_WITH_TIMEOUT(window_->findChild<QDialog*>("dlgBulkSummary") != nullptr, 30000);
        auto* summary = window_->findChild<QDialog*>("dlgBulkSummary");
        QCOMPARE(summary->findChild<QLabel*>("lbBulkSummary")->text(), step.summary);
        const QString details = summary->findChild<QPlainTextEdit*>("edBulkSummary")->toPlainText();
        QVERIFY2(details.contains("skipped admin: "), qPrintable(details));
        if (step.change == 0) {
            QVERIFY2(details.contains(
                         QString::fromStdString("refused " + refused + ": refused by the server's --refuse")),
                     qPrintable(details));
        }
        QVERIFY2(details.contains("backup: " + dir_->filePath("data/krvClientA/backups/edit-")),
                 qPrintable(details));
        delete summary;
    }
    // The server's accounts: the chosen ones (but the refused) carry both edits, with every other
    // field as before; every other account is as before.
    const std::map<std::string, std::string> after = ServerAccounts();
    QCOMPARE(after.size(), before.size());
    for (const auto& [login, text] : before) {
        const auto chosenAt = std::find(chosen.begin() + 1, chosen.end(), login);
        std::string wanted = text;
        if (chosenAt != chosen.end() && login != refused) {
            const Account& account = samples[static_cast<size_t>(chosenAt - chosen.begin() - 1)];
            wanted =
                account.password + "," + protocolsWithE2e(account) + ";" + botsWithoutWeather(account) + ";";
        }
        QVERIFY2(after.count(login) == 1, login.c_str());
        QCOMPARE(QString::fromStdString(after.at(login)), QString::fromStdString(wanted));
    }
}

// The filter bar against the server's members: a text, online or offline, a protocol, the count
// it says, and "select all shown" feeding a delete of exactly the shown members.
void BulkWindowEndToEndTest::filterBarChoosesTheMembersOfACommand() {
    constexpr int kMembers = 12;
    const std::vector<Account> samples = GenerateSampleMembers(kMembers, 1);
    ConnectWindow({"--members", QString::number(kMembers), "--seed", "1"}, kMembers + 1);
    // One sample member comes online beside the administrator.
    RawClient member(server_->Port());
    QVERIFY(member.LogIn(samples[1].login, samples[1].password));
    QTRY_COMPARE_WITH_TIMEOUT(window_->findChild<QLabel*>("StatusPanel0")->text(), QStringLiteral("2"),
                              20000);
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(window_->findChild<QWidget*>("pnFilter")->isVisible());
    const auto holds = [](const std::string& text, const QString& part) {
        return QString::fromStdString(text).contains(part, Qt::CaseInsensitive);
    };
    const auto expect = [&](const std::function<bool(const Account&, bool online)>& shown, bool admin) {
        QStringList logins;
        if (admin) {
            logins << "admin";
        }
        for (size_t i = 0; i < samples.size(); ++i) {
            if (shown(samples[i], i == 1)) {
                logins << QString::fromStdString(samples[i].login);
            }
        }
        logins.sort();
        return logins;
    };
    const auto shownText = [this] { return window_->findChild<QLabel*>("lbFilterShown")->text(); };
    auto* text = window_->findChild<QLineEdit*>("edFilter");
    auto* presence = window_->findChild<QComboBox*>("cbFilterPresence");
    auto* protocol = window_->findChild<QLineEdit*>("edFilterProtocol");

    QTest::keyClicks(text, "ER");
    QStringList wanted = expect(
        [&](const Account& a, bool) {
            return holds(a.login, "er") || holds(a.protocols, "er") || holds(a.userBots, "er");
        },
        false);
    QVERIFY(!wanted.isEmpty());
    QCOMPARE(ShownLogins(), wanted);
    QCOMPARE(shownText(), QStringLiteral("%1 of %2 shown").arg(wanted.size()).arg(kMembers + 1));
    text->clear();
    presence->setCurrentIndex(1);
    QCOMPARE(ShownLogins(), (QStringList{"admin", QString::fromStdString(samples[1].login)}));
    presence->setCurrentIndex(2);
    QCOMPARE(ShownLogins().size(), kMembers - 1);
    presence->setCurrentIndex(0);
    QTest::keyClicks(protocol, "NEWS");
    wanted = expect(
        [&](const Account& a, bool) {
            return QString::fromStdString(a.protocols).split(',').contains("news", Qt::CaseInsensitive);
        },
        false);
    QCOMPARE(ShownLogins(), wanted);
    QCOMPARE(shownText(), QStringLiteral("%1 of %2 shown").arg(wanted.size()).arg(kMembers + 1));

    window_->findChild<QPushButton*>("btSelectAllShown")->click();
    ShootScreen(window_.get(), "filter");
    const qsizetype count = wanted.size();
    QString targets;
    modal_.OnNextModal([&targets, count](QWidget* dialog) {
        targets = dialog->findChild<QLabel*>("lbBulkTargets")->text();
        ModalDriver::SetField(dialog, "edBulkCount", QString::number(count));
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    window_->findChild<QAction*>("mnuBulkDelete")->trigger();
    QTRY_VERIFY(modal_.Handled());
    QVERIFY2(targets.startsWith(QStringLiteral("About to delete %1 members: ").arg(count)),
             qPrintable(targets));
    QTRY_VERIFY_WITH_TIMEOUT(window_->findChild<QDialog*>("dlgBulkSummary") != nullptr, 30000);
    auto* summary = window_->findChild<QDialog*>("dlgBulkSummary");
    QCOMPARE(summary->findChild<QLabel*>("lbBulkSummary")->text(),
             QStringLiteral("%1 confirmed, 0 refused, 0 unconfirmed").arg(count));
    QCOMPARE(shownText(), QStringLiteral("0 of %1 shown").arg(kMembers + 1 - count));
    // On the server: exactly the shown members are gone.
    const std::map<std::string, std::string> left = ServerAccounts();
    QCOMPARE(left.size(), static_cast<size_t>(kMembers + 1 - count));
    for (const Account& account : samples) {
        QCOMPARE(left.count(account.login) == 0, wanted.contains(QString::fromStdString(account.login)));
    }
    summary->close();
}

QTEST_MAIN(BulkWindowEndToEndTest)
#include "BulkWindowEndToEndTest.moc"

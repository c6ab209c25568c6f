// The window's commands on several selected members, over TCP against the demo server process,
// which refuses the requests about some logins.

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DemoServerProcess.hpp"
#include "MemberStore.hpp"
#include "ModalDriver.hpp"
#include "SampleMembers.hpp"
#include "support/TcpWindow.hpp"
#include "window/MemberListModel.hpp"
#include "window/untKrvClientA.hpp"

class BulkWindowEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bulkDeleteWithARefusalLeavesTheRowsAsTheServerHasThem();

private:
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

void BulkWindowEndToEndTest::bulkDeleteWithARefusalLeavesTheRowsAsTheServerHasThem() {
    constexpr int kMembers = 12;
    const std::vector<Account> samples = GenerateSampleMembers(kMembers, 1);
    const std::string refused = samples[2].login;
    QVERIFY(server_->Start({"--members", QString::number(kMembers), "--seed", "1", "--refuse",
                            QString::fromStdString(refused)}));
    window_ = OpenTcpWindow(dir_->filePath("krvClientA.ini"));
    window_->show();
    const QString port = QString::number(server_->Port());
    modal_.OnNextModal([port](QWidget* dialog) {
        ModalDriver::SetField(dialog, "edHost", QStringLiteral("127.0.0.1"));
        ModalDriver::SetField(dialog, "edPort", port);
        ModalDriver::SetField(dialog, "edLogin", QStringLiteral("admin"));
        ModalDriver::SetField(dialog, "edPassword", QStringLiteral("admin"));
        ModalDriver::ClickButton(dialog, "Button1");
    });
    window_->findChild<QToolButton*>("btConnect")->click();
    QTRY_VERIFY(modal_.Handled());
    QTRY_COMPARE_WITH_TIMEOUT(List()->model()->rowCount(), kMembers + 1, 30000);

    // Six sample members and the administrator's own account.
    std::vector<std::string> chosen = {"admin"};
    for (int i = 0; i < 6; ++i) {
        chosen.push_back(samples[static_cast<size_t>(i)].login);
    }
    for (const std::string& login : chosen) {
        QVERIFY2(RowOf(login) >= 0, login.c_str());
        List()->selectionModel()->select(List()->model()->index(RowOf(login), 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    int expectRefused = 0;
    for (size_t i = 1; i < chosen.size(); ++i) {
        expectRefused += chosen[i].find(refused) != std::string::npos ? 1 : 0;
    }
    const int expectConfirmed = 6 - expectRefused;
    QString targets;
    modal_.OnNextModal([&targets](QWidget* dialog) {
        targets = dialog->findChild<QLabel*>("lbBulkTargets")->text();
        ModalDriver::SetField(dialog, "edBulkCount", QStringLiteral("6"));
        dialog->findChild<QPushButton*>("btnBulkGo")->click();
    });
    window_->findChild<QAction*>("mnuBulkDelete")->trigger();
    QTRY_VERIFY(modal_.Handled());
    QCOMPARE(modal_.HandledName(), QStringLiteral("dlgBulkConfirm"));
    QVERIFY2(targets.startsWith("About to delete 6 members: "), qPrintable(targets));

    QTRY_VERIFY_WITH_TIMEOUT(window_->findChild<QDialog*>("dlgBulkSummary") != nullptr, 30000);
    auto* summary = window_->findChild<QDialog*>("dlgBulkSummary");
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

QTEST_MAIN(BulkWindowEndToEndTest)
#include "BulkWindowEndToEndTest.moc"

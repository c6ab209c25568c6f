// What the window and krvadmin do against the real demo server lands in one real journal file,
// with its outcomes, and the window's journal follows krvadmin's entries as they come.

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <string>

#include "DemoServerProcess.hpp"
#include "ModalDriver.hpp"
#include "journal/JournalLocation.hpp"
#include "journal/JournalReader.hpp"
#include "support/TcpWindow.hpp"
#include "window/JournalWindow.hpp"
#include "window/MemberListModel.hpp"
#include "window/untKrvClientA.hpp"

#define STEP(call)                        \
    do {                                  \
        call;                             \
        if (QTest::currentTestFailed()) { \
            return;                       \
        }                                 \
    } while (false)

namespace {

constexpr int kListTimeoutMs = 60000;
constexpr int kRunTimeoutMs = 60000;
// The journal window asks the file every second; the writer commits within half of one.
constexpr int kFollowTimeoutMs = 2 * JournalWindow::kFollowMs + 1000;

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run RunAdmin(const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QStringLiteral("admin"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KRV_ADMIN), arguments);
    Run run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

}  // namespace

class JournalEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void theWindowsAndKrvadminsCommandsAreJournaledWithTheirOutcomes();

private:
    QStringList Connection() const {
        return {"--host",  "127.0.0.1", "--port",    QString::number(server_->Port()),
                "--login", "admin",     "--timeout", "10"};
    }
    QAbstractItemModel* Rows() const {
        return window_->findChild<QAbstractItemView*>(QStringLiteral("ListView1"))->model();
    }
    int RowOf(const std::string& login) const;
    void Select(const std::string& login);
    void Trigger(const char* actionName);

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<DemoServerProcess> server_;
    std::unique_ptr<TfrmKrvClientA> window_;
    ModalDriver modal_;
};

void JournalEndToEndTest::init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    // The window, krvadmin and the test read one journal: the one under this folder.
    qputenv("XDG_DATA_HOME", home_->filePath(QStringLiteral("data")).toLocal8Bit());
    server_ = std::make_unique<DemoServerProcess>();
}

void JournalEndToEndTest::cleanup() {
    window_.reset();
    server_.reset();
    home_.reset();
}

int JournalEndToEndTest::RowOf(const std::string& login) const {
    const QByteArray wanted = QByteArray::fromStdString(login);
    for (int row = 0; row < Rows()->rowCount(); ++row) {
        if (Rows()->index(row, 0).data(MemberListModel::LoginBytesRole).toByteArray() == wanted) {
            return row;
        }
    }
    return -1;
}

void JournalEndToEndTest::Select(const std::string& login) {
    const int row = RowOf(login);
    QVERIFY2(row >= 0, login.c_str());
    window_->findChild<QAbstractItemView*>(QStringLiteral("ListView1"))
        ->selectionModel()
        ->setCurrentIndex(Rows()->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void JournalEndToEndTest::Trigger(const char* actionName) {
    auto* action = window_->findChild<QAction*>(QLatin1String(actionName));
    QVERIFY2(action != nullptr, actionName);
    action->trigger();
}

void JournalEndToEndTest::theWindowsAndKrvadminsCommandsAreJournaledWithTheirOutcomes() {
    QVERIFY(server_->Start({"--members", "20", "--seed", "3"}));
    window_ = OpenTcpWindow(home_->filePath(QStringLiteral("krvClientA.ini")));
    window_->show();
    const QString port = QString::number(server_->Port());
    modal_.OnNextModal([port](QWidget* dialog) {
        ModalDriver::SetField(dialog, "edHost", QStringLiteral("127.0.0.1"));
        ModalDriver::SetField(dialog, "edPort", port);
        ModalDriver::SetField(dialog, "edLogin", QStringLiteral("admin"));
        ModalDriver::SetField(dialog, "edPassword", QStringLiteral("admin"));
        ModalDriver::ClickButton(dialog, "Button1");
    });
    window_->findChild<QToolButton*>(QStringLiteral("btConnect"))->click();
    QTRY_VERIFY(modal_.Handled());
    QTRY_COMPARE_WITH_TIMEOUT(Rows()->rowCount(), 21, kListTimeoutMs);

    // From the window: an add and a delete through the popup, and a delete the server refuses.
    modal_.OnNextModal([](QWidget* dialog) {
        ModalDriver::SetField(dialog, "edLogin", QStringLiteral("carol"));
        ModalDriver::SetField(dialog, "edPassword", QStringLiteral("w1ndow-pw"));
        ModalDriver::SetField(dialog, "edProtocols", QStringLiteral("chat"));
        ModalDriver::ClickButton(dialog, "Button1");
    });
    STEP(Trigger("mnuAddClient"));
    QTRY_VERIFY(RowOf("carol") >= 0);
    STEP(Select("carol"));
    modal_.OnNextModal([](QWidget* dialog) { ModalDriver::ClickButton(dialog, "Button1"); });
    STEP(Trigger("mnuDeleteClient"));
    QTRY_COMPARE(RowOf("carol"), -1);
    QVERIFY(window_->Session().DeleteAccount("nobody").Sent());

    // File > Journal... shows them, then follows what krvadmin does meanwhile.
    STEP(Trigger("mnuJournal"));
    auto* journalWindow = window_->findChild<JournalWindow*>(QStringLiteral("frmJournal"));
    QVERIFY(journalWindow != nullptr && journalWindow->isVisible());
    QAbstractItemModel* entries = journalWindow->findChild<QTableView*>(QStringLiteral("tvEntries"))->model();
    QTRY_COMPARE_WITH_TIMEOUT(entries->rowCount(), 3, kFollowTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(entries->index(0, 6).data().toString(),
                              QStringLiteral("refused: no such login"), kFollowTimeoutMs);

    const Run added =
        RunAdmin(Connection() + QStringList{"add", "erin", "--password", "cl1-pw", "--bots", "b1"});
    QCOMPARE(added.status, 0);
    const Run deleted = RunAdmin(Connection() + QStringList{"delete", "erin"});
    QCOMPARE(deleted.status, 0);
    QTRY_COMPARE_WITH_TIMEOUT(entries->rowCount(), 5, kFollowTimeoutMs);

    // krvadmin journal reads the same file, newest first.
    const Run csv = RunAdmin({"journal", "--format", "csv", "--since", "1h"});
    QCOMPARE(csv.status, 0);
    QList<QByteArray> lines = csv.out.split('\n');
    lines.removeAll(QByteArray());
    QCOMPARE(lines.size(), 6);
    const QByteArray server = "127.0.0.1:" + port.toLatin1();
    const QByteArray expected[] = {
        "," + server + ",admin,delete,erin,,confirmed by ARD,",
        "," + server + ",admin,add,erin,\"password changed, bots=b1\",confirmed by ARA,",
        "," + server + ",admin,delete,nobody,,refused: no such login,",
        "," + server + ",admin,delete,carol,,confirmed by ARD,",
        "," + server + ",admin,add,carol,\"password changed, protocols=chat\",confirmed by ARA,",
    };
    for (int i = 0; i < 5; ++i) {
        QVERIFY2(lines[i + 1].contains(expected[i]), lines[i + 1].constData());
    }
    QVERIFY(!csv.out.contains("w1ndow-pw") && !csv.out.contains("cl1-pw"));
    const Run erin = RunAdmin({"journal", "--member", "ERI", "--format", "json"});
    QCOMPARE(erin.status, 0);
    QCOMPARE(erin.out.count("\"member\": \"erin\""), 2);
    QCOMPARE(erin.out.count("\"command\""), 2);

    // The connection's story and the counts: the window's login and each krvadmin run's.
    std::string error;
    auto reader = JournalReader::Open(DefaultJournalPath(), &error);
    QVERIFY2(reader != nullptr, error.c_str());
    PageRequest page;
    page.limit = 100;
    int logins = 0;
    int losses = 0;
    for (const ConnectionRecord& record : reader->ConnectionEvents({}, page)) {
        logins += record.entry.kind == ConnectionEventKind::Login ? 1 : 0;
        losses += record.entry.kind == ConnectionEventKind::Loss ? 1 : 0;
    }
    QCOMPARE(logins, 3);
    QCOMPARE(losses, 2);  // krvadmin's, each closed once its command was done
    const JournalTime now = JournalNow();
    const auto counts =
        reader->MemberCounts("", now - std::chrono::hours(1), now + std::chrono::hours(1), 100);
    QVERIFY(counts.size() >= 3);
    QCOMPARE(counts.front().total, 21);
}

QTEST_MAIN(JournalEndToEndTest)
#include "JournalEndToEndTest.moc"

// What the window and krvadmin do against the real demo server lands in one real journal file,
// with its outcomes, and the window's journal follows krvadmin's entries as they come.

#include <signal.h>

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMap>
#include <QProcess>
#include <QPushButton>
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
    void aCancelledBulkDeleteAccountsForEveryTargetWithItsReason();
    void anInterruptedKrvadminKeepsWhatItNeverSentAsCancelled();

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
    void ConnectWindow(int members);

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

void JournalEndToEndTest::ConnectWindow(int members) {
    QVERIFY(server_->Start({"--members", QString::number(members), "--seed", "3"}));
    window_ = OpenTcpWindow(home_->filePath(QStringLiteral("krvClientA.ini")));
    window_->show();
    const QString port = QString::number(server_->Port());
    modal_.OnNextModal([port](QWidget* dialog) {
        ModalDriver::FillAdminConnection(dialog, port);
        ModalDriver::ClickButton(dialog, "Button1");
    });
    window_->findChild<QToolButton*>(QStringLiteral("btConnect"))->click();
    QTRY_VERIFY(modal_.Handled());
    QTRY_COMPARE_WITH_TIMEOUT(Rows()->rowCount(), members + 1, kListTimeoutMs);
}

void JournalEndToEndTest::theWindowsAndKrvadminsCommandsAreJournaledWithTheirOutcomes() {
    STEP(ConnectWindow(20));
    const QString port = QString::number(server_->Port());

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

// A delete of many from the window, cancelled once its first share is out: the journal holds
// every target, those sent confirmed and the rest cancelled, all with the operation's id, its
// backup and the reason typed in the confirmation; krvadmin's --reason lands beside it.
void JournalEndToEndTest::aCancelledBulkDeleteAccountsForEveryTargetWithItsReason() {
    constexpr int kMembers = 600;
    STEP(ConnectWindow(kMembers));
    auto* list = window_->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    list->selectAll();
    QCOMPARE(list->selectionModel()->selectedRows().size(), kMembers + 1);
    QString reasonAtFirst = QStringLiteral("(not seen)");
    modal_.OnNextModal([&](QWidget* dialog) {
        reasonAtFirst = ModalDriver::Field(dialog, "edBulkReason");
        ModalDriver::SetField(dialog, "edBulkCount", QString::number(kMembers));
        ModalDriver::SetField(dialog, "edBulkReason", QStringLiteral("  offboarding, ticket 7  "));
        ModalDriver::ClickButton(dialog, "btnBulkGo");
    });
    // The first share goes out as the operation starts; the cancel comes before any answer.
    STEP(Trigger("mnuBulkDelete"));
    QVERIFY(modal_.Handled());
    QCOMPARE(reasonAtFirst, QString());
    auto* stop = window_->findChild<QPushButton*>(QStringLiteral("btnBulkStop"));
    QVERIFY(stop != nullptr);
    stop->click();
    QDialog* summary = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(
        (summary = window_->findChild<QDialog*>(QStringLiteral("dlgBulkSummary"))) != nullptr, kRunTimeoutMs);
    const QString summaryLine = summary->findChild<QLabel*>(QStringLiteral("lbBulkSummary"))->text();
    const qsizetype confirmed = summaryLine.section(' ', 0, 0).toLongLong();
    QVERIFY2(confirmed > 0 && confirmed < kMembers, qPrintable(summaryLine));
    QVERIFY2(summaryLine.endsWith(QStringLiteral("%1 not sent").arg(kMembers - confirmed)),
             qPrintable(summaryLine));
    summary->close();

    // The window's journal is written within its commit period; the reader sees it then.
    std::string error;
    auto reader = JournalReader::Open(DefaultJournalPath(), &error);
    QVERIFY2(reader != nullptr, error.c_str());
    RequestFilter deletes;
    deletes.command = "delete";
    QTRY_COMPARE_WITH_TIMEOUT(reader->CountRequests(deletes), int64_t{kMembers}, kFollowTimeoutMs);
    RequestFilter cancelled = deletes;
    cancelled.outcome = JournalOutcome::Cancelled;
    QCOMPARE(reader->CountRequests(cancelled), int64_t{kMembers - confirmed});
    RequestFilter done = deletes;
    done.outcome = JournalOutcome::Confirmed;
    QTRY_COMPARE_WITH_TIMEOUT(reader->CountRequests(done), int64_t{confirmed}, kFollowTimeoutMs);
    PageRequest all;
    all.limit = kMembers;
    const std::vector<RequestRecord> records = reader->Requests(deletes, all);
    QCOMPARE(records.size(), size_t{kMembers});
    const std::string bulkId = records.front().entry.bulkId;
    QVERIFY(!bulkId.empty());
    std::string leftMember;
    for (const RequestRecord& record : records) {
        QCOMPARE(record.entry.bulkId, bulkId);
        QVERIFY(record.entry.backupFile.find("backups") != std::string::npos);
        QCOMPARE(record.entry.reason, std::string("offboarding, ticket 7"));
        if (record.outcome.outcome == JournalOutcome::Cancelled) {
            QCOMPARE(record.outcome.text, std::string("cancelled before it was sent"));
            QVERIFY(RowOf(record.entry.member) >= 0);  // never sent: still listed
            leftMember = record.entry.member;
        } else {
            QCOMPARE(record.outcome.outcome, JournalOutcome::Confirmed);
            QCOMPARE(RowOf(record.entry.member), -1);
        }
    }

    // krvadmin's reason, on one member, beside the window's in the journal and its window.
    const Run deleted = RunAdmin(Connection() + QStringList{"delete", QString::fromStdString(leftMember),
                                                            "--reason", "asked by the owner"});
    QCOMPARE(deleted.status, 0);
    const Run csv = RunAdmin({"journal", "--format", "csv"});
    QCOMPARE(csv.status, 0);
    QList<QByteArray> lines;
    for (const QByteArray& line : csv.out.split('\n')) {
        if (line.contains(",delete," + QByteArray::fromStdString(leftMember) + ",")) {
            lines << line;
        }
    }
    QCOMPARE(lines.size(), 2);  // newest first
    QVERIFY2(lines[0].contains(",confirmed by ARD,") && lines[0].endsWith(",asked by the owner\r"),
             lines[0].constData());
    QVERIFY2(lines[1].contains(",cancelled: cancelled before it was sent,") &&
                 lines[1].endsWith(",\"offboarding, ticket 7\"\r"),
             lines[1].constData());
    STEP(Trigger("mnuJournal"));
    auto* journalWindow = window_->findChild<JournalWindow*>(QStringLiteral("frmJournal"));
    QVERIFY(journalWindow != nullptr);
    QAbstractItemModel* entries = journalWindow->findChild<QTableView*>(QStringLiteral("tvEntries"))->model();
    QTRY_COMPARE_WITH_TIMEOUT(entries->rowCount(), kMembers + 1, kFollowTimeoutMs);
    QCOMPARE(entries->headerData(8, Qt::Horizontal).toString(), QStringLiteral("reason"));
    QCOMPARE(entries->index(0, 8).data().toString(), QStringLiteral("asked by the owner"));
    QCOMPARE(entries->index(1, 8).data().toString(), QStringLiteral("offboarding, ticket 7"));
}

// krvadmin's delete of many, interrupted once its first requests are in the journal: it sends
// no more, follows what it sent, and the journal keeps the rest as cancelled, with the reason.
void JournalEndToEndTest::anInterruptedKrvadminKeepsWhatItNeverSentAsCancelled() {
    // Each report held back a while, so that krvadmin, which keeps only so many requests awaiting
    // their report, takes many seconds over all the deletes and the interrupt comes well before
    // the end.
    constexpr int kMembers = 30000;
    QVERIFY(
        server_->Start({"--members", QString::number(kMembers), "--seed", "3", "--delay-requests", "200"}));
    QProcess admin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QStringLiteral("admin"));
    admin.setProcessEnvironment(environment);
    admin.start(QStringLiteral(KRV_ADMIN),
                Connection() + QStringList{"delete", "--offline", "--yes", "--reason", "spring cleaning"});
    QVERIFY(admin.waitForStarted());
    RequestFilter deletes;
    deletes.command = "delete";
    const auto journaled = [&](const RequestFilter& filter) -> int64_t {
        std::string error;
        auto reader = JournalReader::Open(DefaultJournalPath(), &error);
        return reader ? reader->CountRequests(filter) : -1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(journaled(deletes) > 0, kListTimeoutMs);
    QCOMPARE(::kill(static_cast<pid_t>(admin.processId()), SIGINT), 0);
    QVERIFY(QTest::qWaitFor([&] { return admin.state() == QProcess::NotRunning; }, kRunTimeoutMs));
    const QByteArray out = admin.readAllStandardOutput();
    const QByteArray err = admin.readAllStandardError();
    QCOMPARE(admin.exitStatus(), QProcess::NormalExit);
    QCOMPARE(admin.exitCode(), 4);  // some targets not sent
    QVERIFY2(err.contains("interrupted: nothing more is sent"), err.constData());
    // "N confirmed, M refused, K unconfirmed, L not sent": what was sent is followed to its
    // answer, or to --timeout on a slow machine; the journal counts each kind alike.
    QMap<QByteArray, int64_t> counted;
    for (const QByteArray& part : out.split('\n').first().split(',')) {
        const QByteArray words = part.trimmed();
        const qsizetype space = words.indexOf(' ');
        counted[words.mid(space + 1)] = words.left(space).toLongLong();
    }
    const int64_t notSent = counted.value("not sent");
    QVERIFY2(notSent > 0, out.left(200).constData());
    const std::pair<const char*, JournalOutcome> kinds[] = {{"confirmed", JournalOutcome::Confirmed},
                                                            {"refused", JournalOutcome::Refused},
                                                            {"unconfirmed", JournalOutcome::Unconfirmed},
                                                            {"not sent", JournalOutcome::Cancelled}};
    int64_t total = 0;
    for (const auto& [word, outcome] : kinds) {
        RequestFilter filter = deletes;
        filter.outcome = outcome;
        QCOMPARE(journaled(filter), counted.value(word));
        total += counted.value(word);
    }
    QVERIFY(total > notSent && total <= kMembers);
    QCOMPARE(journaled(deletes), total);
    std::string error;
    auto reader = JournalReader::Open(DefaultJournalPath(), &error);
    QVERIFY2(reader != nullptr, error.c_str());
    PageRequest page;
    page.limit = static_cast<size_t>(total);
    const std::vector<RequestRecord> records = reader->Requests(deletes, page);
    for (const RequestRecord& record : records) {
        QCOMPARE(record.entry.bulkId, records.front().entry.bulkId);
        QCOMPARE(record.entry.reason, std::string("spring cleaning"));
    }
}

QTEST_MAIN(JournalEndToEndTest)
#include "JournalEndToEndTest.moc"

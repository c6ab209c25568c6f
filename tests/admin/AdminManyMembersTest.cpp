// krvadmin's commands on many members, as a process against the demo server process.

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <tuple>

#include "DemoServerProcess.hpp"
#include "RawClient.hpp"
#include "SampleMembers.hpp"
#include "support/AdminProcess.hpp"

namespace {

constexpr int kRunTimeoutMs = 120000;

QStringList Connection(uint16_t port, const QString& timeout = QStringLiteral("10")) {
    return {"--host", "127.0.0.1", "--port", QString::number(port), "--login", "admin", "--timeout", timeout};
}

// The program with its backups in dataHome; its standard input is no terminal.
void Start(QProcess& process, const QStringList& arguments, const QString& dataHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QStringLiteral("admin"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KRV_ADMIN), arguments);
}

Outcome Run(const QStringList& arguments, const QString& dataHome) {
    QProcess process;
    Start(process, arguments, dataHome);
    return Finish(process);
}

qsizetype BackupCount(const QString& dataHome) {
    return QDir(dataHome + "/krvClientA/backups").entryList(QDir::Files).size();
}

// The member rows of a csv listing, header left out, sorted.
QList<QByteArray> CsvRows(const QByteArray& csv) {
    QList<QByteArray> rows = csv.split('\n');
    rows.removeFirst();
    rows.removeAll(QByteArray());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString BackupNamed(const QByteArray& out) {
    const QRegularExpressionMatch found =
        QRegularExpression("backup: (\\S+)\n").match(QString::fromUtf8(out));
    return found.hasMatch() ? found.captured(1) : QString();
}

}  // namespace

class AdminManyMembersTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(data_.isValid()); }
    void aDeleteByFilterIsBackedUpAndImportPutsItBack();
    void moreThanOneTargetWantsYesAndADryRunSendsNothing();
    void theCountTypedOnATerminalDecides();
    void theOwnAccountNeverTakesPart();
    void editManyChangesOneNameAndKeepsTheRest();
    void expelLogoffAndReconnectManyOnlineMembers();
    void reportsHeldBackLeaveTheRequestsUnconfirmed();
    void theConnectionsEndLeavesTheRestUnconfirmed();
    void argumentsOfManyMembers();

private:
    QTemporaryDir data_;
};

void AdminManyMembersTest::aDeleteByFilterIsBackedUpAndImportPutsItBack() {
    const std::vector<Account> samples = GenerateSampleMembers(40, 1);
    const auto hasMail = [](const Account& a) { return a.protocols.find("mail") != std::string::npos; };
    const auto chosen = std::find_if(samples.begin(), samples.end(), hasMail);
    QVERIFY(chosen != samples.end());
    const std::string refusedText = chosen->login;
    const auto mailCount = std::count_if(samples.begin(), samples.end(), hasMail);
    const auto refusedCount = std::count_if(samples.begin(), samples.end(), [&](const Account& a) {
        return hasMail(a) && a.login.find(refusedText) != std::string::npos;
    });
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "40", "--refuse", QString::fromStdString(refusedText)}));
    const QStringList connection = Connection(server.Port());
    const Outcome before = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());

    const Outcome deleted =
        Run(connection + QStringList{"delete", "--protocol", "MAIL", "--yes"}, data_.path());
    QCOMPARE(deleted.status, 1);
    const QByteArray summary = QByteArray::number(mailCount - refusedCount) + " confirmed, " +
                               QByteArray::number(refusedCount) + " refused, 0 unconfirmed\n";
    QVERIFY2(deleted.out.startsWith(summary), deleted.out);
    QVERIFY2(deleted.out.contains("refused " + QByteArray::fromStdString(refusedText) + ": refused by"),
             deleted.out);
    const Outcome left = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());
    QCOMPARE(CsvRows(left.out).size(), 41 - mailCount + refusedCount);

    const QString backup = BackupNamed(deleted.out);
    QVERIFY2(backup.startsWith(data_.path() + "/krvClientA/backups/delete-"), deleted.out);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(backup).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600U);
    QVERIFY(deleted.out.contains("restore with: krvadmin import --update '" + backup.toUtf8() + "'"));

    // The refused accounts are still there: the server refuses their edit back, which changes nothing.
    const Outcome restored = Run(connection + QStringList{"import", "--update", backup}, data_.path());
    QVERIFY2(restored.out.startsWith("added " + QByteArray::number(mailCount - refusedCount) + ", changed 0"),
             restored.out);
    const Outcome after = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());
    QCOMPARE(CsvRows(after.out), CsvRows(before.out));
}

void AdminManyMembersTest::moreThanOneTargetWantsYesAndADryRunSendsNothing() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "5"}));
    const QStringList connection = Connection(server.Port());
    const QString first = QString::fromStdString(GenerateSampleMembers(2, 1)[0].login);
    const QString second = QString::fromStdString(GenerateSampleMembers(2, 1)[1].login);
    const Outcome before = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());

    const qsizetype backups = BackupCount(data_.path());
    const Outcome unconfirmed = Run(connection + QStringList{"delete", first, second}, data_.path());
    QCOMPARE(unconfirmed.status, 64);
    QVERIFY2(unconfirmed.err.contains("2 members to delete: give --yes"), unconfirmed.err);

    const Outcome dry =
        Run(connection + QStringList{"delete", first, second, "ghost", "--dry-run"}, data_.path());
    QCOMPARE(dry.status, 1);  // ghost is skipped
    QCOMPARE(dry.out, "would delete " + first.toUtf8() + "\nwould delete " + second.toUtf8() +
                          "\nwould skip ghost: not listed\n2 would be sent, 1 skipped; nothing was sent\n");
    QCOMPARE(BackupCount(data_.path()), backups);

    const Outcome after = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());
    QCOMPARE(after.out, before.out);
}

// On a terminal (a pseudo-terminal made by script(1)) the count typed back decides. The count is
// awaited with the connection kept: when the server goes away meanwhile, krvadmin says so at once
// rather than at the next line typed.
void AdminManyMembersTest::theCountTypedOnATerminalDecides() {
    struct Case {
        const char* typed;  // nullptr: the server ends instead
        int status;
        const char* out;
        qsizetype backups;  // written by this case
    };
    const Case cases[] = {
        {"2", 1, "not confirmed; nothing was sent", 0},
        {" 3 ", 0, "3 confirmed, 0 refused, 0 unconfirmed", 1},
        {nullptr, 2, "the connection ended while the count was awaited; nothing was sent", 0},
    };
    for (const Case& c : cases) {
        const qsizetype backupsBefore = BackupCount(data_.path());
        DemoServerProcess server;
        QVERIFY(server.Start({"--members", "3"}));
        QString command = QStringLiteral("'%1'").arg(QStringLiteral(KRV_ADMIN));
        for (const QString& word : Connection(server.Port()) + QStringList{"delete", "--offline"}) {
            command += " '" + word + "'";
        }
        QProcess terminal;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QStringLiteral("admin"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data_.path());
        terminal.setProcessEnvironment(environment);
        terminal.start(QStringLiteral("script"), {"-qec", command, "/dev/null"});
        QByteArray shown;
        QVERIFY(QTest::qWaitFor(
            [&] {
                shown += terminal.readAllStandardOutput();
                return shown.contains("Type 3 to go on: ");
            },
            kRunTimeoutMs));
        QVERIFY2(shown.contains("about to delete 3 members: "), shown);
        if (c.typed != nullptr) {
            terminal.write(QByteArray(c.typed) + "\n");
        } else {
            server.Kill();
        }
        const Outcome outcome = Finish(terminal);
        QCOMPARE(outcome.status, c.status);
        QVERIFY2(outcome.out.contains(c.out), outcome.out);
        QCOMPARE(BackupCount(data_.path()), backupsBefore + c.backups);
    }
}

void AdminManyMembersTest::theOwnAccountNeverTakesPart() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3", "--grant", "administrator,chat"}));
    const QStringList connection = Connection(server.Port());
    const Outcome deleted =
        Run(connection + QStringList{"delete", "--protocol", "chat", "--match", "a", "--yes"}, data_.path());
    QCOMPARE(deleted.status, 1);
    QVERIFY2(deleted.out.contains("skipped admin: the account of this connection never takes part"),
             deleted.out);
    const Outcome left = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());
    QVERIFY2(left.out.contains("\r\nadmin,yes,"), left.out);
    // The backup holds only the accounts that took part: never the administrator's password.
    QFile backup(BackupNamed(deleted.out));
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QVERIFY(!backup.readAll().contains("\r\nadmin,"));
}

void AdminManyMembersTest::editManyChangesOneNameAndKeepsTheRest() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "30"}));
    const QStringList connection = Connection(server.Port());
    const Outcome before = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());
    const QString listing = data_.filePath("listing.csv");
    QFile file(listing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(before.out);
    file.close();

    const Outcome edited = Run(connection + QStringList{"edit", "--from", listing, "--add-bot", "zz",
                                                        "--offline", "--remove-protocol", "news", "--yes"},
                               data_.path());
    QCOMPARE(edited.status, 0);
    QVERIFY2(edited.out.startsWith("30 confirmed, 0 refused, 0 unconfirmed\n"), edited.out);
    QVERIFY(edited.out.contains("backup: " + data_.path().toUtf8() + "/krvClientA/backups/edit-"));
    const Outcome after = Run(connection + QStringList{"list", "--format", "csv"}, data_.path());
    QList<QByteArray> rowsBefore = CsvRows(before.out);
    QList<QByteArray> rowsAfter = CsvRows(after.out);
    QCOMPARE(rowsAfter.size(), rowsBefore.size());
    for (qsizetype i = 0; i < rowsBefore.size(); ++i) {
        if (rowsBefore[i].startsWith("admin,")) {
            QCOMPARE(rowsAfter[i], rowsBefore[i]);
            continue;
        }
        // login,online,"protocols","bots": the login and presence stay, news goes, zz comes.
        const QList<QByteArray> was = rowsBefore[i].split(',');
        QVERIFY2(rowsAfter[i].startsWith(was[0] + ",no,"), rowsAfter[i]);
        QVERIFY2(!rowsAfter[i].contains("news"), rowsAfter[i]);
        QVERIFY2(rowsAfter[i].contains("zz"), rowsAfter[i]);
    }
}

void AdminManyMembersTest::expelLogoffAndReconnectManyOnlineMembers() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "4"}));
    const std::vector<Account> samples = GenerateSampleMembers(4, 1);
    const QStringList connection = Connection(server.Port());
    RawClient first(server.Port());
    RawClient second(server.Port());
    QVERIFY(first.LogIn(samples[0].login, samples[0].password));
    QVERIFY(second.LogIn(samples[1].login, samples[1].password));

    QProcess process;
    Start(process, connection + QStringList{"logoff", "--online", "--yes"}, data_.path());
    QVERIFY(first.WaitForLine("SRC"));
    QVERIFY(second.WaitForLine("SRC"));
    // The members obey; only then does the server report them offline.
    first.Close();
    second.Close();
    const Outcome loggedOff = Finish(process);
    // The administrator is online too, and skipped.
    QCOMPARE(loggedOff.status, 1);
    QVERIFY2(loggedOff.out.startsWith("2 confirmed, 0 refused, 0 unconfirmed, 1 skipped\nskipped admin: "),
             loggedOff.out);

    RawClient third(server.Port());
    QVERIFY(third.LogIn(samples[2].login, samples[2].password));
    const Outcome expelled = Run(connection + QStringList{"expel", QString::fromStdString(samples[2].login),
                                                          QString::fromStdString(samples[3].login), "--yes"},
                                 data_.path());
    QVERIFY(third.WaitClosed());
    QCOMPARE(expelled.status, 1);
    QVERIFY2(expelled.out.startsWith("1 confirmed, 0 refused, 0 unconfirmed, 1 skipped\nskipped " +
                                     QByteArray::fromStdString(samples[3].login) + ": not online\n"),
             expelled.out);

    RawClient fourth(server.Port());
    QVERIFY(fourth.LogIn(samples[3].login, samples[3].password));
    Start(process,
          connection + QStringList{"reconnect", "--match", QString::fromStdString(samples[3].login), "--yes"},
          data_.path());
    QVERIFY(fourth.WaitForLine("SRE:5 , " + std::to_string(server.Port()) + " , 127.0.0.1"));
    fourth.Close();
    const Outcome reconnected = Finish(process);
    QCOMPARE(reconnected.status, 0);
    QVERIFY2(reconnected.out.startsWith("1 confirmed, 0 refused, 0 unconfirmed\n"), reconnected.out);
}

// The server carries each request out long after the command's wait: every request was sent and
// none counts as done.
void AdminManyMembersTest::reportsHeldBackLeaveTheRequestsUnconfirmed() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3", "--delay-requests", "600000"}));
    const std::vector<Account> samples = GenerateSampleMembers(3, 1);
    const Outcome outcome =
        Run(Connection(server.Port(), "1") + QStringList{"delete", QString::fromStdString(samples[0].login),
                                                         QString::fromStdString(samples[1].login), "--yes"},
            data_.path());
    QCOMPARE(outcome.status, 4);
    QVERIFY2(outcome.out.startsWith("0 confirmed, 0 refused, 2 unconfirmed\n"), outcome.out);
    QVERIFY2(outcome.out.contains("unconfirmed " + QByteArray::fromStdString(samples[0].login) + ": "),
             outcome.out);
}

// The server closes the connection after the list and two reports.
void AdminManyMembersTest::theConnectionsEndLeavesTheRestUnconfirmed() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "5", "--drop-after", "10"}));
    const Outcome outcome =
        Run(Connection(server.Port()) + QStringList{"delete", "--offline", "--yes"}, data_.path());
    QCOMPARE(outcome.status, 2);
    QVERIFY2(outcome.out.startsWith("2 confirmed, 0 refused, 3 unconfirmed\n"), outcome.out);
    QVERIFY2(outcome.out.contains(": the connection ended\n"), outcome.out);
}

void AdminManyMembersTest::argumentsOfManyMembers() {
    struct Case {
        QStringList arguments;
        QByteArray error;
    };
    for (const Case& c :
         {Case{{"delete"}, "delete wants LOGIN..., --from FILE or a filter"},
          Case{{"expel", "--online", "--offline"}, "give --online or --offline, not both"},
          Case{{"edit", "a", "b"}, "edit of many members wants --add-protocol"},
          Case{{"edit", "a", "--bots", "x", "--add-bot", "y"}, "or the --add and --remove options"},
          Case{{"logoff", "--all", "--match", "x"}, "logoff wants one LOGIN or --all"}}) {
        const Outcome outcome = Run(c.arguments, data_.path());
        QCOMPARE(outcome.status, 64);
        QVERIFY2(outcome.err.contains(c.error), outcome.err);
    }
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "1"}));
    const Outcome missing =
        Run(Connection(server.Port()) + QStringList{"delete", "--from", data_.filePath("none.txt")},
            data_.path());
    QCOMPARE(missing.status, 64);
    QVERIFY2(missing.err.contains("none.txt: cannot read"), missing.err);
}

QTEST_GUILESS_MAIN(AdminManyMembersTest)
#include "AdminManyMembersTest.moc"

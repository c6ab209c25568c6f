// krvadmin as a process against the demo server process: one test per command and outcome.

#include <signal.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <string>
#include <vector>

#include "DemoServerProcess.hpp"
#include "RawClient.hpp"
#include "SampleMembers.hpp"
#include "support/AdminProcess.hpp"

namespace {

QStringList Connection(uint16_t port, const QString& login = QStringLiteral("admin")) {
    return {"--host", "127.0.0.1", "--port", QString::number(port), "--login", login, "--timeout", "10"};
}

void Start(QProcess& process, const QStringList& arguments, const QByteArray& password = "admin") {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KRVADMIN_PASSWORD"), QString::fromUtf8(password));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KRV_ADMIN), arguments);
}

Outcome Run(const QStringList& arguments, const QByteArray& password = "admin") {
    QProcess process;
    Start(process, arguments, password);
    return Finish(process);
}

Account Sample(int index) {
    return GenerateSampleMembers(index + 1, 1)[static_cast<size_t>(index)];
}

// The member rows of a csv listing, header left out, sorted.
QList<QByteArray> CsvRows(const QByteArray& csv) {
    QList<QByteArray> rows = csv.split('\n');
    rows.removeFirst();
    rows.removeAll(QByteArray());
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

class AdminEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void listPrintsTheWholeListInEachFormat();
    void jsonKeepsBytesThatAreNotUtf8ForARealParser();
    void accountCommandsEndWithTheServersConfirmation();
    void aRefusalPrintsTheServersReason();
    void theFieldGuardSendsNothing();
    void memberCommandsOnAnOnlineMember_data();
    void memberCommandsOnAnOnlineMember();
    void requestsForEveryoneEndOnceSent();
    void aLoginWithoutAdministratorEndsWithStatus3();
    void aWrongPasswordEndsWithStatus3();
    void anUnreachablePortEndsWithStatus2();
    void aSilentServerEndsWithStatus4();
    void aRequestWithoutAnswerEndsWithStatus4();
    void importSendsGoodRowsAndReportsTheOthers();
    void importRefusesAFileItCannotUseWhole();
    void listThenImportGivesTheSameMembers();
    void watchSeesASecondConnectionComeAndGo();
    void watchEndsWhenTheServerClosesIt();
    void watchReconnectsAfterADrop();
    void helpAndUsageErrors();
};

void AdminEndToEndTest::listPrintsTheWholeListInEachFormat() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "50"}));
    const Outcome csv = Run(Connection(server.Port()) + QStringList{"list", "--format", "csv"});
    QCOMPARE(csv.status, 0);
    QVERIFY(csv.out.startsWith("login,online,protocols,user_bots\r\n"));
    QCOMPARE(csv.out.count('\n'), 52);  // header, the administrator and 50 members
    const Account third = Sample(2);
    QVERIFY(csv.out.contains("\r\n" + QByteArray::fromStdString(third.login) + ",no,"));

    const Outcome online =
        Run(Connection(server.Port()) + QStringList{"list", "--online", "--format", "tsv"});
    QCOMPARE(online.status, 0);
    QCOMPARE(online.out, QByteArray("login\tonline\tprotocols\tuser_bots\nadmin\tyes\tadministrator\t\n"));

    const Outcome sorted = Run(Connection(server.Port()) + QStringList{"list", "--sort", "--format", "csv"});
    QList<QByteArray> rows = sorted.out.split('\n');
    rows.removeFirst();
    rows.removeAll(QByteArray());
    QList<QByteArray> expected = rows;
    std::sort(expected.begin(), expected.end(),
              [](const QByteArray& a, const QByteArray& b) { return a.toLower() < b.toLower(); });
    QCOMPARE(rows, expected);

    const Outcome table =
        Run(Connection(server.Port()) + QStringList{"show", QString::fromStdString(third.login)});
    QCOMPARE(table.status, 0);
    QVERIFY(table.out.startsWith("login: " + QByteArray::fromStdString(third.login) + "\nonline: no\n"));
    const Outcome missing = Run(Connection(server.Port()) + QStringList{"show", "nobody"});
    QCOMPARE(missing.status, 1);
    QVERIFY(missing.err.contains("no member nobody"));
}

void AdminEndToEndTest::jsonKeepsBytesThatAreNotUtf8ForARealParser() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    RawClient admin(server.Port());
    QVERIFY(admin.LogIn("admin", "admin"));
    admin.Send("ADA_caf\xe9:pw,chat,news;dice");
    QVERIFY(admin.WaitForLine("ARA:,,caf\xe9=pw,chat,news;dice;"));

    const Outcome json = Run(Connection(server.Port()) + QStringList{"list", "--format", "json"});
    QCOMPARE(json.status, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.out, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonArray members = document.array();
    QCOMPARE(members.size(), 5);
    const QJsonObject added = members.last().toObject();
    QCOMPARE(added.value("login").toString(), QString("caf") + QChar(0xDCE9));
    QCOMPARE(added.value("online").toBool(), false);
    QCOMPARE(added.value("protocols").toArray(), QJsonArray({"chat", "news"}));
    QCOMPARE(added.value("user_bots").toArray(), QJsonArray({"dice"}));
    const QJsonObject self = members.first().toObject();
    QCOMPARE(self.value("login").toString(), QString("admin"));
    QVERIFY(self.value("online").toBool());
    QVERIFY(self.value("presence1").toString().startsWith("127.0.0.1:"));

    // csv keeps the byte itself.
    const Outcome csv = Run(Connection(server.Port()) + QStringList{"list", "--format", "csv"});
    QVERIFY(csv.out.contains("\r\ncaf\xe9,no,\"chat,news\",dice\r\n"));
}

void AdminEndToEndTest::accountCommandsEndWithTheServersConfirmation() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    RawClient admin(server.Port());
    QVERIFY(admin.LogIn("admin", "admin"));
    const QStringList connection = Connection(server.Port());

    QTemporaryDir directory;
    const QString passwordFile = directory.filePath("pw");
    QFile file(passwordFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("from-file\n");
    file.close();

    Outcome added = Run(connection + QStringList{"add", "carol", "--password-file", passwordFile,
                                                 "--protocols", "chat,news", "--bots", "dice"});
    QCOMPARE(added.status, 0);
    QCOMPARE(added.out, QByteArray("added carol\n"));
    QVERIFY(admin.WaitForLine("ARA:,,carol=from-file,chat,news;dice;"));

    // What edit is not given stays as it was.
    const Outcome edited = Run(connection + QStringList{"edit", "CAROL", "--bots", "echo,weather"});
    QCOMPARE(edited.status, 0);
    QVERIFY(admin.WaitForLine("ARM:,,carol=from-file,chat,news;echo,weather;"));

    const Outcome exists = Run(connection + QStringList{"add", "Carol"});
    QCOMPARE(exists.status, 1);
    QVERIFY(exists.err.contains("login name exists"));

    const Outcome deleted = Run(connection + QStringList{"delete", "carol"});
    QCOMPARE(deleted.status, 0);
    QCOMPARE(deleted.out, QByteArray("deleted carol\n"));
    QVERIFY(admin.WaitForLine("ARD_carol:"));
    QCOMPARE(Run(connection + QStringList{"edit", "carol"}).status, 1);
}

void AdminEndToEndTest::aRefusalPrintsTheServersReason() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    // The line carries a comma in a login, but the server does not take one.
    const Outcome refused = Run(Connection(server.Port()) + QStringList{"add", "a,b"});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains("the server refused: login holds"), refused.err);
}

void AdminEndToEndTest::theFieldGuardSendsNothing() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3", "--verbose"}));
    const QStringList connection = Connection(server.Port());
    struct Case {
        QStringList arguments;
        QByteArray message;
    };
    for (const Case& c :
         {Case{{"add", "x:y"}, "The login cannot contain the character \":\""},
          Case{{"add", "x", "--password", "a,b"}, "The password cannot contain the character \",\""},
          Case{{"add", "x", "--protocols", "a;b"}, "The protocols cannot contain the character \";\""},
          Case{{"edit", "admin", "--bots", "a;b"}, "The user bots cannot contain the character \";\""}}) {
        const Outcome outcome = Run(connection + c.arguments);
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains(c.message), outcome.err);
    }
    QTest::qWait(200);
    const QByteArray log = server.Log();
    QVERIFY(log.contains("<- admin"));
    QVERIFY(!log.contains("<- ADA_"));
    QVERIFY(!log.contains("<- ADE_"));
}

void AdminEndToEndTest::memberCommandsOnAnOnlineMember_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("order");  // what the member receives, empty: its connection is closed
    QTest::addColumn<QByteArray>("done");
    QTest::newRow("expel") << "expel" << QByteArray() << QByteArray("expelled ");
    QTest::newRow("logoff") << "logoff" << QByteArray("SRC") << QByteArray("logged off ");
    QTest::newRow("reconnect") << "reconnect" << QByteArray("SRE:5 , %1 , 127.0.0.1")
                               << QByteArray("asked to reconnect: ");
    QTest::newRow("delete") << "delete" << QByteArray() << QByteArray("deleted ");
}

// The command waits for the report that the member went offline (or was deleted); a member
// that obeys an order leaves when it gets it.
void AdminEndToEndTest::memberCommandsOnAnOnlineMember() {
    QFETCH(QString, command);
    QFETCH(QByteArray, order);
    QFETCH(QByteArray, done);
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    const Account member = Sample(1);
    const QString login = QString::fromStdString(member.login);

    // Offline, nothing is sent except for delete.
    if (command != "delete") {
        const Outcome offline = Run(Connection(server.Port()) + QStringList{command, login});
        QCOMPARE(offline.status, 1);
        QVERIFY(offline.err.contains("is not online; nothing was sent"));
    }

    RawClient client(server.Port());
    QVERIFY(client.LogIn(member.login, member.password));
    QProcess process;
    Start(process, Connection(server.Port()) + QStringList{command, login});
    if (order.isEmpty()) {
        QVERIFY(client.WaitClosed());
    } else {
        QString wanted = QString::fromLatin1(order);
        if (wanted.contains("%1")) {
            wanted = wanted.arg(server.Port());
        }
        QVERIFY(client.WaitForLine(wanted.toStdString()));
        client.Close();
    }
    const Outcome outcome = Finish(process);
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, done + login.toUtf8() + "\n");
}

void AdminEndToEndTest::requestsForEveryoneEndOnceSent() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    const Account member = Sample(0);
    RawClient client(server.Port());
    QVERIFY(client.LogIn(member.login, member.password));
    const Outcome logoff = Run(Connection(server.Port()) + QStringList{"logoff", "--all", "--but-me"});
    QCOMPARE(logoff.status, 0);
    QVERIFY(client.WaitForLine("SRC"));
    const Outcome reconnect = Run(Connection(server.Port()) + QStringList{"reconnect", "--all", "--but-me"});
    QCOMPARE(reconnect.status, 0);
    QVERIFY(client.WaitForLine("SRE:5 , " + std::to_string(server.Port()) + " , 127.0.0.1"));
}

void AdminEndToEndTest::aLoginWithoutAdministratorEndsWithStatus3() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3", "--grant", "chat"}));
    const Outcome outcome = Run(Connection(server.Port()) + QStringList{"list"});
    QCOMPARE(outcome.status, 3);
    QVERIFY(outcome.err.contains("the login admin has no administrator rights"));
    QVERIFY(outcome.out.isEmpty());
}

void AdminEndToEndTest::aWrongPasswordEndsWithStatus3() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    const Outcome outcome = Run(Connection(server.Port()) + QStringList{"list"}, "wrong");
    QCOMPARE(outcome.status, 3);
    QVERIFY(outcome.err.contains("the server refused the login"));
}

void AdminEndToEndTest::anUnreachablePortEndsWithStatus2() {
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const Outcome refused = Run(Connection(port) + QStringList{"list"});
    QCOMPARE(refused.status, 2);
    QVERIFY2(refused.err.contains("Connection refused"), refused.err);

    const Outcome lookup =
        Run(QStringList{"--host", "bad..host", "--port", "5", "--login", "admin", "--timeout", "10", "list"});
    QCOMPARE(lookup.status, 2);
    QVERIFY2(lookup.err.contains("no connection to bad..host:5"), lookup.err);
}

void AdminEndToEndTest::aSilentServerEndsWithStatus4() {
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    QProcess process;
    Start(process, QStringList{"--host", "127.0.0.1", "--port", QString::number(silent.serverPort()),
                               "--login", "admin", "--timeout", "1", "list"});
    const Outcome outcome = Finish(process);
    QCOMPARE(outcome.status, 4);
    QVERIFY2(outcome.err.contains("no answer from the server within 1 seconds"), outcome.err);
}

// A server that logs the administrator in and sends its list, then answers nothing.
void AdminEndToEndTest::aRequestWithoutAnswerEndsWithStatus4() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QByteArray received;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        socket->write("send login:\r\n");
        QObject::connect(socket, &QTcpSocket::readyRead, [&received, socket] {
            const qsizetype before = received.count('\r');
            received += socket->readAll();
            if (before == 0 && received.count('\r') >= 1) {
                socket->write("send password:\r\n");
            }
            if (before <= 1 && received.count('\r') >= 2) {
                socket->write(
                    "protocols: administrator\r\n:)\r\nARLS\r\nARLM:1.2.3.4:5,1,bob=,chat;;\r\nARLC\r\n");
            }
        });
    });
    const QStringList connection = {"--host",  "127.0.0.1", "--port",    QString::number(server.serverPort()),
                                    "--login", "admin",     "--timeout", "1"};
    struct Case {
        QStringList command;
        QByteArray sent;
    };
    for (const Case& c : {Case{{"add", "carol"}, "ADA_carol:,;\r"}, Case{{"edit", "bob"}, "ADE_bob:,chat;\r"},
                          Case{{"delete", "bob"}, "ADD_bob:\rADX_bob:\r"},
                          Case{{"expel", "bob"}, "ADX_bob:\r"}, Case{{"logoff", "bob"}, "AEC_bob:\r"}}) {
        received.clear();
        QProcess process;
        Start(process, connection + c.command);
        const Outcome outcome = Finish(process);
        QCOMPARE(outcome.status, 4);
        QVERIFY2(outcome.err.contains("no answer from the server within 1 seconds"), outcome.err);
        QVERIFY2(received.endsWith("admin\radmin\r" + c.sent), received);
    }
}

void AdminEndToEndTest::importSendsGoodRowsAndReportsTheOthers() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "10"}));
    QTemporaryDir directory;
    const QString path = directory.filePath("rows.csv");
    QByteArray csv = "login,password,protocols,user_bots\r\n";
    std::map<int, QByteArray> skipped;  // line → the reason's start
    std::map<int, QByteArray> refused;
    const int rows = 10000;
    for (int i = 0; i < rows; ++i) {
        const int line = i + 2;
        const QByteArray login = "user" + QByteArray::number(i);
        if (i % 1000 == 7) {
            csv += "\"" + login + "\"x,pw,chat,\r\n";
            skipped[line] = "text after a closing quote";
        } else if (i % 1000 == 8) {
            csv += login + ",pw\r\n";
            skipped[line] = "2 fields where the header has 4";
        } else if (i % 1000 == 9) {
            // The line carries it, but the server takes no comma in a login.
            csv += "\"" + login + ",x\",pw,chat,\r\n";
            refused[line] = "login holds";
        } else if (i % 1000 == 10) {
            csv += "user" + QByteArray::number(i - 5) + ",pw,chat,\r\n";
            refused[line] = "login exists";
        } else {
            csv += login + ",pw" + QByteArray::number(i) + ",\"chat,news\",dice\r\n";
        }
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(csv);
    file.close();

    const Outcome dry = Run(Connection(server.Port()) + QStringList{"import", path, "--dry-run"});
    QCOMPARE(dry.status, 1);
    QVERIFY2(dry.out.startsWith("would add " + QByteArray::number(rows - 20) +
                                ", would change 0, refused 0, skipped 20\n"),
             dry.out);

    const Outcome outcome = Run(Connection(server.Port()) + QStringList{"import", path});
    QCOMPARE(outcome.status, 1);
    const QList<QByteArray> lines = outcome.out.split('\n');
    QCOMPARE(lines.first(), "added " + QByteArray::number(rows - 40) + ", changed 0, refused 20, skipped 20");
    for (const auto& [line, reason] : refused) {
        QVERIFY2(outcome.out.contains("refused line " + QByteArray::number(line) + " ("), reason);
    }
    for (const auto& [line, reason] : skipped) {
        QVERIFY2(outcome.out.contains("skipped line " + QByteArray::number(line) + ": " + reason), reason);
    }
    // Nothing half-read reached the server: the good rows are there as written, the bad are not.
    const Outcome list = Run(Connection(server.Port()) + QStringList{"list", "--format", "csv"});
    QCOMPARE(list.out.count('\n'), 1 + 11 + rows - 40);
    QVERIFY(list.out.contains("\r\nuser1234,no,\"chat,news\",dice\r\n"));
    QVERIFY(!list.out.contains("\r\nuser7,"));
    QVERIFY(!list.out.contains("\r\nuser8,"));

    const Outcome update = Run(Connection(server.Port()) + QStringList{"import", path, "--update"});
    QCOMPARE(update.status, 1);
    // The rows that repeat a login now edit it; only the logins with a comma are refused.
    QVERIFY2(update.out.startsWith("added 0, changed " + QByteArray::number(rows - 30) +
                                   ", refused 10, skipped 20\n"),
             update.out.left(200));
}

// Refused before any row is sent: a file that is not there (a usage error, with the system's
// reason), and a quote left open, which would make one row of every line after it.
void AdminEndToEndTest::importRefusesAFileItCannotUseWhole() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "2"}));
    QTemporaryDir directory;
    struct Case {
        const char* name;
        QByteArray csv;  // empty: no such file
        int status;
        QByteArray error;
    };
    const Case cases[] = {
        {"a quote left open", "login,password\r\nfirst,pw\r\n\"second,pw\r\nthird,pw\r\nfourth,pw\r\n", 1,
         "open.csv: the quote opened on line 3 is never closed"},
        {"no such file", "", 64, "nosuch.csv: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const QString path = directory.filePath(c.csv.isEmpty() ? "nosuch.csv" : "open.csv");
        if (!c.csv.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(c.csv);
        }
        const Outcome outcome = Run(Connection(server.Port()) + QStringList{"import", path});
        QCOMPARE(outcome.status, c.status);
        QVERIFY2(outcome.err.contains(c.error), outcome.err);
        QCOMPARE(outcome.out, QByteArray());
    }
    const Outcome list = Run(Connection(server.Port()) + QStringList{"list", "--format", "csv"});
    QCOMPARE(list.out.count('\n'), 1 + 3);
}

void AdminEndToEndTest::listThenImportGivesTheSameMembers() {
    DemoServerProcess source;
    QVERIFY(source.Start({"--members", "300", "--seed", "7"}));
    RawClient admin(source.Port());
    QVERIFY(admin.LogIn("admin", "admin"));
    // Fields that need quoting, and bytes that are not UTF-8.
    admin.Send("ADA_q\xff\xfe:pw,\"quoted, name\",x;a,b");
    QVERIFY(admin.WaitForLine([](const std::string& line) { return line.rfind("ARA:", 0) == 0; }));
    const Outcome exported = Run(Connection(source.Port()) + QStringList{"list", "--format", "csv"});
    QCOMPARE(exported.status, 0);

    QTemporaryDir directory;
    const QString path = directory.filePath("members.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(exported.out);
    file.close();

    DemoServerProcess target;
    QVERIFY(target.Start({"--members", "0"}));
    const Outcome imported = Run(Connection(target.Port()) + QStringList{"import", path, "--update"});
    QCOMPARE(imported.status, 0);
    QVERIFY2(imported.out.startsWith("added 301, changed 1, refused 0, skipped 0\n"), imported.out);
    const Outcome again = Run(Connection(target.Port()) + QStringList{"list", "--format", "csv"});
    QCOMPARE(CsvRows(again.out), CsvRows(exported.out));
}

// Each session's end is a "logoff"; the member's "online" says whether another session of it
// is still there.
void AdminEndToEndTest::watchSeesASecondConnectionComeAndGo() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "5"}));
    const Account member = Sample(3);
    const QByteArray login = QByteArray::fromStdString(member.login);
    for (const QString format : {"text", "jsonl"}) {
        QProcess watch;
        Start(watch, Connection(server.Port()) + QStringList{"watch", "--format", format});
        QVERIFY(QTest::qWaitFor([&] { return watch.readAllStandardError().contains("watching 6 members"); },
                                20000));
        QByteArray out;
        const auto waitForLines = [&](int count) {
            return QTest::qWaitFor(
                [&] {
                    out += watch.readAllStandardOutput();
                    return out.count('\n') >= count;
                },
                20000);
        };
        {
            RawClient first(server.Port());
            QVERIFY(first.LogIn(member.login, member.password));
            QVERIFY(waitForLines(1));
            {
                RawClient second(server.Port());
                QVERIFY(second.LogIn(member.login, member.password));
                QVERIFY(waitForLines(2));
                second.Close();
                QVERIFY(waitForLines(3));
            }
            first.Close();
        }
        QVERIFY(waitForLines(4));
        ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
        const Outcome ended = Finish(watch);
        QCOMPARE(ended.status, 0);
        out += ended.out;
        const QList<QByteArray> lines = out.split('\n');
        struct Expected {
            const char* event;
            bool online;  // the member's state after it
        };
        const Expected expected[] = {{"online", true}, {"online", true}, {"logoff", true}, {"logoff", false}};
        for (int i = 0; i < 4; ++i) {
            const Expected& e = expected[i];
            if (format == "text") {
                QCOMPARE(lines.value(i), e.event + (" " + login));
                continue;
            }
            const QJsonObject line = QJsonDocument::fromJson(lines.value(i)).object();
            QCOMPARE(line.value("event").toString(), QString(e.event));
            QCOMPARE(line.value("member").toObject().value("login").toString(), QString::fromUtf8(login));
            QCOMPARE(line.value("member").toObject().value("online").toBool(), e.online);
        }
    }
}

// The settings file of the window gives host, port, login and password; "SRC" closes the link
// for good, as in the window, so watch has nothing left to wait for.
void AdminEndToEndTest::watchEndsWhenTheServerClosesIt() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "2"}));
    QTemporaryDir directory;
    const QString settings = directory.filePath("krvClientA.ini");
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Client]\r\nHost=127.0.0.1\r\nPort=" + QByteArray::number(server.Port()) +
               "\r\nLogin=admin\r\nPassword=?admin\r\n");
    file.close();
    QProcess watch;
    watch.setProcessEnvironment(QProcessEnvironment());
    watch.start(QStringLiteral(KRV_ADMIN), {"--settings", settings, "watch"});
    QByteArray err;
    QVERIFY(QTest::qWaitFor(
        [&] {
            err += watch.readAllStandardError();
            return err.contains("watching 3 members");
        },
        20000));
    RawClient admin(server.Port());
    QVERIFY(admin.LogIn("admin", "admin"));
    admin.Send("AEX_:");
    const Outcome ended = Finish(watch);
    QCOMPARE(ended.status, 2);
    err += ended.err;
    QVERIFY2(err.contains("connection lost (the server asked this connection to close)\n"), err);
    QVERIFY(err.contains("is not made again"));
    QCOMPARE(ended.out, QByteArray("online admin\n"));
}

// The server drops each connection after six report lines: the list is five, the sixth is the
// member coming online. Watch reconnects under the schedule, reloads the list, and goes on.
void AdminEndToEndTest::watchReconnectsAfterADrop() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "2", "--drop-after", "6"}));
    const Account member = Sample(0);
    QProcess watch;
    Start(watch, Connection(server.Port()) + QStringList{"watch"});
    QByteArray err;
    const auto stderrHas = [&](const QByteArray& text) {
        return QTest::qWaitFor(
            [&] {
                err += watch.readAllStandardError();
                return err.contains(text);
            },
            30000);
    };
    QVERIFY(stderrHas("watching 3 members"));
    RawClient client(server.Port());
    QVERIFY(client.LogIn(member.login, member.password));
    QVERIFY2(
        stderrHas(
            "krvadmin: connection lost (the server closed the connection); reconnecting under the schedule"),
        err);
    QVERIFY2(stderrHas("krvadmin: connected again to 127.0.0.1:"), err);
    QByteArray out;
    const QByteArray expected = "online " + QByteArray::fromStdString(member.login) + "\nlogoff " +
                                QByteArray::fromStdString(member.login) + "\n";
    client.Close();
    QVERIFY(QTest::qWaitFor(
        [&] {
            out += watch.readAllStandardOutput();
            return out.size() >= expected.size();
        },
        30000));
    QCOMPARE(out, expected);
    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    QCOMPARE(Finish(watch).status, 0);
}

void AdminEndToEndTest::helpAndUsageErrors() {
    const Outcome help = Run({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("Exit status:"));
    for (const QString command :
         {"list", "show", "add", "edit", "delete", "expel", "logoff", "reconnect", "import", "watch"}) {
        const Outcome commandHelp = Run({command, "--help"});
        QCOMPARE(commandHelp.status, 0);
        QVERIFY2(commandHelp.out.startsWith("Usage: krvadmin [connection options] " + command.toUtf8()),
                 commandHelp.out);
    }
    const Outcome version = Run({"--version"});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QByteArray("krvadmin " KRV_PROJECT_VERSION "\n"));
    const Outcome bad = Run({"list", "--frob"});
    QCOMPARE(bad.status, 64);
    QVERIFY(bad.err.contains("unknown option: --frob"));
}

QTEST_GUILESS_MAIN(AdminEndToEndTest)
#include "AdminEndToEndTest.moc"

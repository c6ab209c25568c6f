// The demo server as a process: what no client input may do to it, and its fault options.

#include <QProcess>
#include <QTest>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DemoServerProcess.hpp"
#include "RawClient.hpp"

class DemoServerProcessTest : public QObject {
    Q_OBJECT

private slots:
    void anEndlessLineDropsOnlyThatConnection();
    void garbageFromManyConnectionsLeavesItServing();
    void dropAfterClosesAfterThatManyReportLines();
    void churnReportsMembersComingAndGoing();
    void badOptionsAndABusyPortEndItWithAReason();
    void burstRequestsAreAnsweredOnlyWhenAskedFor();
};

void DemoServerProcessTest::anEndlessLineDropsOnlyThatConnection() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "3"}));
    RawClient watcher(server.Port());
    QVERIFY(watcher.LogIn("admin", "admin"));

    RawClient flooder(server.Port());
    QVERIFY(flooder.WaitForLine("send login:"));
    const std::string block(64 * 1024, 'x');
    // Written from the event loop, so that the server can read and drop while it comes.
    int blocksSent = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            if (blocksSent < 64) {
                flooder.SendBytes(block);
                ++blocksSent;
            }
            return flooder.Closed();
        },
        30000));
    QVERIFY(blocksSent > 16);  // more than the 1 MiB bound went out before the drop

    // The other connection is still served.
    watcher.Send("ADA_carol:pw,chat;");
    QVERIFY(watcher.WaitForLine("ARA:,,carol=pw,chat;;"));
}

void DemoServerProcessTest::garbageFromManyConnectionsLeavesItServing() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "20", "--churn", "100"}));
    std::mt19937 draw(17);
    const std::vector<std::string> pieces = {"\r",         "\n",       "\r\n", ":",           "_",
                                             "ADX_admin:", "ACR_:1,2", "AEC_", "ADA_x:a,b;c", "\xff\x00\x01"};
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 12; ++i) {
        clients.push_back(std::make_unique<RawClient>(server.Port()));
        if (i % 3 == 0) {
            QVERIFY(clients.back()->LogIn("admin", "admin"));
        }
    }
    for (int round = 0; round < 2000; ++round) {
        RawClient& client = *clients[draw() % clients.size()];
        std::string noise(draw() % 30, '\0');
        for (char& c : noise) {
            c = static_cast<char>(draw());
        }
        client.SendBytes(noise + pieces[draw() % pieces.size()]);
        if (round % 200 == 0) {
            clients[draw() % clients.size()] = std::make_unique<RawClient>(server.Port());
        }
    }
    clients.clear();

    RawClient administrator(server.Port());
    QVERIFY(administrator.LogIn("admin", "admin"));
    std::vector<std::string> members;
    QVERIFY(administrator.ReadMemberList(members));
    QVERIFY(members.size() >= 21);
    QVERIFY(server.Running());
}

void DemoServerProcessTest::dropAfterClosesAfterThatManyReportLines() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "50", "--drop-after", "5"}));
    RawClient administrator(server.Port());
    QVERIFY(administrator.LogIn("admin", "admin"));
    QVERIFY(administrator.WaitClosed());
    QVERIFY(administrator.WaitForLine("ARLS"));
    int memberLines = 0;
    while (
        administrator.WaitForLine([](const std::string& line) { return line.rfind("ARLM:", 0) == 0; }, 0)) {
        ++memberLines;
    }
    QCOMPARE(memberLines, 4);
}

void DemoServerProcessTest::churnReportsMembersComingAndGoing() {
    DemoServerProcess server;
    QVERIFY(server.Start({"--members", "5", "--churn", "50"}));
    RawClient administrator(server.Port());
    QVERIFY(administrator.LogIn("admin", "admin"));
    QVERIFY(administrator.WaitForLine(
        [](const std::string& line) { return line.rfind("ARI:simulated,1,", 0) == 0; }));
    QVERIFY(administrator.WaitForLine([](const std::string& line) { return line.rfind("ARO:,,", 0) == 0; }));
}

void DemoServerProcessTest::badOptionsAndABusyPortEndItWithAReason() {
    struct Case {
        QStringList arguments;
        int exitCode;
        QByteArray reason;
    };
    DemoServerProcess holder;
    QVERIFY(holder.Start({}));
    const std::vector<Case> cases = {
        {{"--port", "70000"}, 2, "--port wants a whole number"},
        {{"--admin", "nocolon"}, 2, "--admin wants LOGIN:PASSWORD"},
        {{"--grant", "a;b"}, 2, "--grant must not hold"},
        {{"--port", QString::number(holder.Port())}, 1, "cannot listen on 127.0.0.1"},
    };
    for (const Case& c : cases) {
        QProcess process;
        process.start(QStringLiteral(KRV_DEMO_SERVER), c.arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), c.exitCode);
        QVERIFY2(process.readAllStandardError().contains(c.reason), c.reason.constData());
    }
}

void DemoServerProcessTest::burstRequestsAreAnsweredOnlyWhenAskedFor() {
    for (const bool enabled : {false, true}) {
        DemoServerProcess server;
        QVERIFY(server.Start(enabled ? QStringList{"--members", "5", "--burst-requests"}
                                     : QStringList{"--members", "5"}));
        RawClient administrator(server.Port());
        QVERIFY(administrator.LogIn("admin", "admin"));
        administrator.Send("BURST_ARI:2");
        administrator.Send("ADA_carol:pw,chat;");
        std::vector<std::string> reports;
        QVERIFY(administrator.WaitForLine([&reports](const std::string& line) {
            if (line.rfind("ARI:", 0) == 0 || line.rfind("ARA:", 0) == 0) {
                reports.push_back(line);
            }
            return line.rfind("ARA:", 0) == 0;
        }));
        QCOMPARE(reports.size(), enabled ? size_t{3} : size_t{1});
        QCOMPARE(reports.back(), std::string("ARA:,,carol=pw,chat;;"));
        if (enabled) {
            QVERIFY(reports.front().rfind("ARI:simulated,1,", 0) == 0);
        }
    }
}

QTEST_GUILESS_MAIN(DemoServerProcessTest)
#include "DemoServerProcessTest.moc"

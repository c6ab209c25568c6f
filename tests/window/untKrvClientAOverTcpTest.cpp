#include <QAbstractItemView>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "net/LoopbackServer.hpp"
#include "support/TcpWindow.hpp"
#include "window/MemberListModel.hpp"
#include "window/untKrvClientA.hpp"

namespace {
constexpr int kPatience = 10000;
}

// The program's window as it runs: its own TCP socket and timer, a server peer on the loopback
// interface.
class untKrvClientAOverTcpTest : public QObject {
    Q_OBJECT

private slots:
    void showsAndFollowsTheServersMembersUntilItCloses();

private:
    QString Panel(TfrmKrvClientA& window, int number) {
        return window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(number))->text();
    }
    QStringList Captions(TfrmKrvClientA& window) {
        QAbstractItemModel* model = window.findChild<QAbstractItemView*>("ListView1")->model();
        QStringList captions;
        for (int row = 0; row < model->rowCount(); ++row) {
            captions << model->index(row, 0).data().toString() +
                            (model->index(row, 0).data(MemberListModel::OnlineRole).toBool() ? "+" : "");
        }
        return captions;
    }
};

void untKrvClientAOverTcpTest::showsAndFollowsTheServersMembersUntilItCloses() {
    LoopbackServer server;
    QVERIFY(server.Listening());
    QTemporaryDir dir;
    const auto opened = OpenTcpWindow(dir.filePath("krvClientA.ini"));
    TfrmKrvClientA& window = *opened;
    window.show();
    const QString prefix = QStringLiteral("127.0.0.1:%1").arg(server.Port());
    window.Session().SetCredentials("admin", "secret");
    QVERIFY(window.Session().Connect("127.0.0.1", server.Port()));

    QTRY_VERIFY_WITH_TIMEOUT(server.Peer() != nullptr, kPatience);
    QTRY_COMPARE_WITH_TIMEOUT(Panel(window, 2), prefix + " - connected, logging in...", kPatience);
    QVERIFY(window.findChild<QToolButton*>("btConnect")->isChecked());
    server.Peer()->write("send login:\r\nsend password:\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(server.Received(), QByteArray("admin\rsecret\r"), kPatience);
    server.Peer()->write("protocols: chat, administrator\r\n:)\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(Panel(window, 2), prefix + " - logged in as admin", kPatience);

    server.Peer()->write(
        "ARLS\r\nARLM:,,carol=,chat;;\r\nARLM:on,,alice=,chat;;\r\nARLM:,,bob=,chat;;\r\nARLC\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(Captions(window), QStringList({"alice+", "bob", "carol"}), kPatience);
    QCOMPARE(Panel(window, 0), QStringLiteral("1"));
    QCOMPARE(Panel(window, 1), QStringLiteral("3"));

    server.Peer()->write("ARM:,on,bob=,chat;bot;\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(Captions(window), QStringList({"alice+", "bob+", "carol"}), kPatience);
    QCOMPARE(Panel(window, 0), QStringLiteral("2"));

    server.Peer()->write("ARD_carol:\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(Captions(window), QStringList({"alice+", "bob+"}), kPatience);
    QCOMPARE(Panel(window, 1), QStringLiteral("2"));

    server.Peer()->write("SRC\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(Panel(window, 2), prefix + " - disconnected", kPatience);
    QVERIFY(Captions(window).isEmpty());
    QCOMPARE(Panel(window, 0), QStringLiteral("0"));
    QCOMPARE(Panel(window, 1), QStringLiteral("0"));
    QVERIFY(window.findChild<QToolButton*>("btDisconnect")->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(server.PeerClosed(), kPatience);
}

QTEST_MAIN(untKrvClientAOverTcpTest)
#include "untKrvClientAOverTcpTest.moc"

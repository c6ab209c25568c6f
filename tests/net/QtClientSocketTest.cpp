#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractSocket>
#include <QTest>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "LoopbackServer.hpp"
#include "RecordingHandler.hpp"
#include "net/PlatformErrorDescription.hpp"
#include "net/QtClientSocket.hpp"
#include "net/QtSocketErrorMapping.hpp"

namespace {

constexpr int kPatience = 10000;

QString Joined(const std::vector<std::string>& events) {
    QStringList names;
    for (const std::string& event : events) {
        names << QString::fromStdString(event);
    }
    return names.join(' ');
}

// A listening socket whose accept queue is full: the next connect to it gets no answer at all,
// which is how a connect that never completes is produced without leaving the machine.
class UnansweredPort {
public:
    UnansweredPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener_, 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        filler_ = ::socket(AF_INET, SOCK_STREAM, 0);
        filled_ = ::connect(filler_, reinterpret_cast<sockaddr*>(&address), length) == 0;
    }
    ~UnansweredPort() {
        ::close(filler_);
        ::close(listener_);
    }
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;

    bool Filled() const { return filled_; }
    quint16 Port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    quint16 port_ = 0;
    bool filled_ = false;
};

struct Client {
    explicit Client(std::chrono::milliseconds connectTimeout = std::chrono::seconds(30))
        : socket(std::make_unique<QtClientSocket>(
              [this](const std::string& message) { reports.push_back(message); }, connectTimeout)),
          handler(*socket) {}

    bool ConnectTo(LoopbackServer& server) {
        socket->Open("127.0.0.1", "", server.Port());
        return QTest::qWaitFor([&] { return handler.Saw("Connect") && server.Peer() != nullptr; }, kPatience);
    }

    std::vector<std::string> reports;
    std::unique_ptr<QtClientSocket> socket;
    RecordingHandler handler;
};

}  // namespace

class QtClientSocketTest : public QObject {
    Q_OBJECT

private slots:
    void connectionNotifiesInOrderAndCarriesBytesBothWays() {
        LoopbackServer server;
        QVERIFY(server.Listening());
        Client client;

        client.socket->Open("127.0.0.1", "", server.Port());
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting");
        QVERIFY(!client.socket->Active());

        QTRY_VERIFY_WITH_TIMEOUT(client.handler.Saw("Connect") && server.Peer() != nullptr, kPatience);
        QVERIFY(client.handler.ActiveAtConnect);
        QVERIFY(client.socket->Active());

        server.Peer()->write("send login:\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(client.handler.Received, std::string("send login:\r\n"), kPatience);
        client.socket->SendText("admin\r");
        QTRY_COMPARE_WITH_TIMEOUT(server.Received(), QByteArray("admin\r"), kPatience);

        client.socket->RequestWriteNotification();
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Connect Write");
    }

    void peerCloseIsADisconnectAloneAfterTheLastBytes() {
        LoopbackServer server;
        Client client;
        QVERIFY(client.ConnectTo(server));
        std::string receivedAtDisconnect;
        client.handler.OnEvent = [&](const std::string& event) {
            if (event == "Disconnect") {
                receivedAtDisconnect = client.handler.Received;
            }
        };

        server.Peer()->write("last words");
        server.Peer()->disconnectFromHost();

        QTRY_VERIFY_WITH_TIMEOUT(client.handler.Saw("Disconnect"), kPatience);
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Connect Disconnect");
        QCOMPARE(receivedAtDisconnect, std::string("last words"));
        QVERIFY(!client.handler.ActiveAtDisconnect);
        QVERIFY(!client.socket->Active());
        QVERIFY(client.reports.empty());
    }

    // Nothing handed to SendText is dropped, not even when the connection is closed right after.
    void closeDeliversEveryQueuedByteAndDisconnectsAtOnce() {
        LoopbackServer server;
        Client client;
        QVERIFY(client.ConnectTo(server));
        std::string bulk(4 << 20, '\0');
        for (size_t i = 0; i < bulk.size(); ++i) {
            bulk[i] = static_cast<char>('a' + i % 26);
        }

        client.socket->SendText(bulk);
        client.socket->Close();
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Connect Disconnect");
        QVERIFY(!client.handler.ActiveAtDisconnect);
        client.socket->Close();
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Connect Disconnect");

        QTRY_VERIFY_WITH_TIMEOUT(server.PeerClosed(), kPatience);
        QCOMPARE(server.Received().size(), qsizetype(bulk.size()));
        QVERIFY(server.Received() == QByteArray::fromStdString(bulk));
    }

    void closeLeavesAPendingAttemptAndCloseEndpointEndsIt() {
        LoopbackServer server;
        Client client;
        client.socket->Open("127.0.0.1", "", server.Port());

        client.socket->Close();
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting");
        client.socket->CloseEndpoint();
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Disconnect");

        QVERIFY(client.ConnectTo(server));
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Disconnect Lookup Connecting Connect");
    }

    void refusedConnectionIsAConnectError() {
        Client client;
        client.socket->Open("127.0.0.1", "", LoopbackServer::ClosedPort());
        QTRY_VERIFY_WITH_TIMEOUT(client.handler.Events.size() == 3, kPatience);
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Error(Connect,10061)");
        QVERIFY(!client.socket->Active());
        QVERIFY(client.reports.empty());
    }

    // An error the handler leaves unhandled reaches the application's error handler instead.
    void unhandledErrorIsReportedFromTheEventLoop() {
        Client client;
        client.handler.ClearErrorCode = false;
        client.socket->Open("127.0.0.1", "", LoopbackServer::ClosedPort());
        QTRY_COMPARE_WITH_TIMEOUT(client.reports.size(), size_t(1), kPatience);
        QCOMPARE(client.reports.front(),
                 "Windows socket error: " + WinsockErrorText(10061) + " (10061), on API 'connect'");
    }

    void portOutsideTheRangeNeverReachesTheNetwork_data() {
        QTest::addColumn<int>("port");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -1;
        QTest::newRow("one past the last") << 65536;
        QTest::newRow("far out") << 70000;
    }
    void portOutsideTheRangeNeverReachesTheNetwork() {
        QFETCH(int, port);
        Client client;
        client.socket->Open("127.0.0.1", "", port);
        QCOMPARE(Joined(client.handler.Events), "Lookup Error(Connect,10049)");
        QVERIFY(!client.socket->Active());
    }

    void missingTargetCannotStart() {
        Client client;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, client.socket->Open("", "", 80));
        QVERIFY(client.handler.Events.empty());
    }

    // The name is rejected by the resolver on this machine; no query leaves it.
    void failedLookupClosesAndIsReportedOnceAfterTheDisconnect() {
        Client client;
        size_t reportsAtDisconnect = 99;
        client.handler.OnEvent = [&](const std::string& event) {
            if (event == "Disconnect") {
                reportsAtDisconnect = client.reports.size();
            }
        };

        client.socket->Open("", "bad..host", 4000);
        QCOMPARE(Joined(client.handler.Events), "Lookup");
        QTRY_COMPARE_WITH_TIMEOUT(client.reports.size(), size_t(1), kPatience);

        QCOMPARE(Joined(client.handler.Events), "Lookup Disconnect");
        QCOMPARE(reportsAtDisconnect, size_t(0));
        QCOMPARE(client.reports.front(), "Windows socket error: " + client.socket->ErrorMessage(11001) +
                                             " (11001), on API 'ASync Lookup'");
        QVERIFY(!client.socket->Active());
    }

    void connectWithoutAnswerTimesOut() {
        UnansweredPort port;
        QVERIFY(port.Filled());
        Client client(std::chrono::milliseconds(200));
        client.socket->Open("127.0.0.1", "", port.Port());
        QTRY_VERIFY_WITH_TIMEOUT(client.handler.Events.size() == 3, kPatience);
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Error(Connect,10060)");
        QVERIFY(!client.socket->Active());
    }

    // The link closes, reconnects and sends from inside notifications.
    void handlerMayCloseAndReopenFromInsideNotifications() {
        LoopbackServer server;
        Client client;
        QVERIFY(client.ConnectTo(server));
        bool reopened = false;
        client.handler.OnEvent = [&](const std::string& event) {
            if (event == "Read") {
                client.socket->SendText("bye\r");
                client.socket->Close();
            } else if (event == "Disconnect" && !reopened) {
                reopened = true;
                client.socket->Open("127.0.0.1", "", server.Port());
            }
        };

        server.Peer()->write("SRC\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(client.handler.Events.back() == "Connect" && server.Accepted() == 2,
                                 kPatience);
        QCOMPARE(Joined(client.handler.Events),
                 "Lookup Connecting Connect Disconnect Lookup Connecting Connect");
    }

    void destructionInsideANotificationIsSurvived_data() {
        QTest::addColumn<bool>("closeFirst");
        QTest::newRow("connected") << false;
        QTest::newRow("just closed") << true;
    }
    void destructionInsideANotificationIsSurvived() {
        QFETCH(bool, closeFirst);
        LoopbackServer server;
        Client client;
        QVERIFY(client.ConnectTo(server));
        client.handler.OnEvent = [&](const std::string& event) {
            if (event == "Read") {
                if (closeFirst) {
                    client.socket->Close();
                }
                client.socket.reset();
            }
        };
        server.Peer()->write("x");
        QTRY_VERIFY_WITH_TIMEOUT(server.PeerClosed(), kPatience);
        QVERIFY(client.socket == nullptr);
        QCOMPARE(client.handler.Events.back(), closeFirst ? "Disconnect" : "Connect");
    }

    void destructionClosesWithoutNotifications() {
        LoopbackServer server;
        Client client;
        QVERIFY(client.ConnectTo(server));
        client.socket->SendText("ADX_bob:\r");
        client.socket.reset();
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Connect");
        QTRY_VERIFY_WITH_TIMEOUT(server.PeerClosed(), kPatience);
        QCOMPARE(server.Received(), QByteArray("ADX_bob:\r"));
    }

    // A peer that stops reading: what the network cannot take piles up in the socket until the
    // bound, and there the connection ends as a failed send does.
    void unsentBytesAreBounded() {
        LoopbackServer server;
        Client client;
        QVERIFY(client.ConnectTo(server));
        server.Peer()->disconnect();
        server.Peer()->setReadBufferSize(1);
        const std::string chunk(1 << 20, 'x');
        int sent = 0;
        for (; sent < 256 && client.socket->Active(); ++sent) {
            client.socket->SendText(chunk);
            QTest::qWait(1);
        }
        QVERIFY(!client.socket->Active());
        QVERIFY2(sent > 16, "the bound counts what is queued, not what was handed over");
        QCOMPARE(Joined(client.handler.Events), "Lookup Connecting Connect Error(Send,10055) Disconnect");
    }

    void aConnectedSocketWatchesForAVanishedPeer() {
        LoopbackServer server;
        Client client;
        QVERIFY(client.ConnectTo(server));
        auto* tcp = client.socket->findChild<QTcpSocket*>();
        QVERIFY(tcp != nullptr);
        const int fd = static_cast<int>(tcp->socketDescriptor());
        int keepAlive = 0;
        unsigned int userTimeout = 0;
        int idle = 0;
        int interval = 0;
        int probes = 0;
        socklen_t length = sizeof keepAlive;
        QCOMPARE(::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &length), 0);
        length = sizeof userTimeout;
        QCOMPARE(::getsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, &length), 0);
        length = sizeof idle;
        QCOMPARE(::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length), 0);
        QCOMPARE(::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &length), 0);
        QCOMPARE(::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, &length), 0);
        QCOMPARE(keepAlive, 1);
        QCOMPARE(userTimeout, 120000u);
        // An idle connection is probed to death within the same two minutes.
        QVERIFY(idle + interval * probes <= 120);
    }

    void errorNumbersAndTheirTexts_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const auto engine = [](const char* text) {
            return QCoreApplication::translate("QNativeSocketEngine", text);
        };
        const auto errnoText = [](int value) { return QString::fromLocal8Bit(std::strerror(value)); };
        QTest::newRow("refused") << int(QAbstractSocket::ConnectionRefusedError) << QString() << 10061
                                 << errnoText(ECONNREFUSED);
        QTest::newRow("timed out") << int(QAbstractSocket::SocketTimeoutError) << QString() << 10060
                                   << errnoText(ETIMEDOUT);
        QTest::newRow("connect timed out") << int(QAbstractSocket::NetworkError)
                                           << engine("Connection timed out") << 10060 << errnoText(ETIMEDOUT);
        QTest::newRow("host unreachable") << int(QAbstractSocket::NetworkError) << engine("Host unreachable")
                                          << 10065 << errnoText(EHOSTUNREACH);
        QTest::newRow("network unreachable")
            << int(QAbstractSocket::NetworkError) << engine("Network unreachable") << 10051
            << errnoText(ENETUNREACH);
        QTest::newRow("address not available") << int(QAbstractSocket::SocketAddressNotAvailableError)
                                               << QString() << 10049 << errnoText(EADDRNOTAVAIL);
        QTest::newRow("no buffer space")
            << int(QAbstractSocket::SocketResourceError) << QString() << 10055 << errnoText(ENOBUFS);
        QTest::newRow("host not found") << int(QAbstractSocket::HostNotFoundError) << QString() << 11001
                                        << QString::fromLocal8Bit(gai_strerror(EAI_NONAME));
    }
    void errorNumbersAndTheirTexts() {
        QFETCH(int, error);
        QFETCH(QString, description);
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(WinsockCodeOf(static_cast<QAbstractSocket::SocketError>(error), description), code);
        QCOMPARE(QString::fromStdString(QtClientSocket().ErrorMessage(code)), text);
    }
};

QTEST_GUILESS_MAIN(QtClientSocketTest)
#include "QtClientSocketTest.moc"

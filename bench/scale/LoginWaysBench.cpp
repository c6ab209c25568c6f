#include "LoginWaysBench.hpp"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include <QAbstractItemView>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include "DemoServerProcess.hpp"
#include "net/QtClientSocket.hpp"
#include "settings/ServerReach.hpp"
#include "support/TestCertificates.hpp"
#include "support/TestSshServer.hpp"
#include "window/untKrvClientA.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// From the connect to the whole list in sorted rows, in a fresh window reaching the server that
// way; negative when it did not get there.
double LoginMs(const QString& settingsPath, const ServerReach& reach, const char* host, uint16_t port,
               int rows) {
    TfrmKrvClientA window(std::make_unique<QtClientSocket>(), settingsPath);
    window.show();
    window.SetReach(reach);
    auto* view = window.findChild<QAbstractItemView*>("ListView1");
    window.Session().SetCredentials("admin", "admin");
    const auto listed = [&] { return view->model()->rowCount() == rows && window.MemberCount() == rows; };
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (listed()) {
            loop.quit();
        }
    });
    QTimer::singleShot(20 * 60 * 1000, &loop, &QEventLoop::quit);
    const Clock::time_point start = Clock::now();
    window.Session().Connect(host, port);
    poll.start(5);
    loop.exec();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    window.Session().Disconnect();
    return listed() ? ms : -1;
}

}  // namespace

int RunLoginWays(int members) {
    TestCertificates certificates;
    TestSshServer ssh;
    DemoServerProcess plain;
    DemoServerProcess tls;
    if (!certificates.MakeAuthorityAndSigned("server") || !ssh.Start() ||
        !plain.Start({"--members", QString::number(members)}) ||
        !tls.Start(QStringList{"--members", QString::number(members)} +
                   certificates.ServerArguments("server"))) {
        std::fprintf(stderr, "bench_scale: the servers for the login ways did not start\n");
        return 1;
    }
    const int rows = members + 1;
    QTemporaryDir dir;
    const QString settings = dir.filePath("ways.ini");
    const double plainMs = LoginMs(settings, {}, "127.0.0.1", plain.Port(), rows);
    const double tlsMs = LoginMs(settings, {"tls", certificates.Path("ca.pem").toStdString(), "", ""},
                                 "localhost", tls.Port(), rows);
    const double sshMs =
        LoginMs(settings, {SshWay(ssh.Target().toStdString()), "", "", ssh.Command().toStdString()},
                "127.0.0.1", plain.Port(), rows);
    std::printf("login -> rows listed and sorted, %d members, each way once, in this order:\n", members);
    std::printf("  plain TCP  %10.0f ms\n", plainMs);
    std::printf("  TLS        %10.0f ms  %.2fx plain\n", tlsMs, tlsMs / plainMs);
    std::printf("  SSH tunnel %10.0f ms  %.2fx plain\n", sshMs, sshMs / plainMs);
    return plainMs > 0 && tlsMs > 0 && sshMs > 0 ? 0 : 1;
}

#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"
#include "window/MemberListModel.hpp"
#include "window/untKrvClientA.hpp"

// The main window over a scripted socket and a manual clock, with its settings in a
// temporary folder. The window's own timer is stopped: the test delivers the link's events
// with Tick(), which is exactly what a timer tick does, so nothing depends on timing.
class WindowHarness {
public:
    static constexpr int32_t kPort = 6670;
    static constexpr const char* kHost = "10.0.0.1";

    WindowHarness() {
        auto socket = std::make_unique<FakeClientSocket>();
        socket->SetAutoAccept(true);
        socket_ = socket.get();
        window_ =
            std::make_unique<TfrmKrvClientA>(std::move(socket), dir_.filePath("krvClientA.ini"), clock_);
        window_->findChild<QTimer*>("Timer1")->stop();
        window_->Session().SetCredentials("admin", "secret");
        window_->show();
    }

    TfrmKrvClientA& Window() { return *window_; }
    ServerSession& Session() { return window_->Session(); }
    const TkvClient& Link() { return window_->Session().Link(); }
    // Changes the login alone, as a settings file or the connection dialog may.
    void SetLogin(const std::string& login) { Session().SetCredentials(login, Link().Password()); }
    FakeClientSocket& Socket() { return *socket_; }
    ManualClock& Clock() { return clock_; }

    void Tick() { window_->Session().Tick(); }
    void Advance(std::chrono::seconds step) {
        clock_.Advance(step);
        Tick();
    }

    // Connects and completes the handshake as a server granting the given protocols would.
    void Connect() { window_->Session().Connect(kHost, kPort); }
    void LogIn(const std::string& protocols = "administrator, chat") {
        Connect();
        Serve({"send login:", "send password:", "protocols: " + protocols, ":)"});
    }

    // The server sends these lines; the window sees them at the next tick.
    void Serve(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const auto& line : lines) {
            bytes += line + "\r\n";
        }
        socket_->Deliver(bytes);
        Tick();
    }

    QAbstractItemView* List() { return window_->findChild<QAbstractItemView*>("ListView1"); }
    MemberListModel* Model() { return static_cast<MemberListModel*>(List()->model()); }
    QString Panel(int number) {
        return window_->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(number))->text();
    }
    bool ButtonDown(const char* name) { return window_->findChild<QToolButton*>(name)->isChecked(); }

    // Captions of the rows, top to bottom.
    QStringList Captions() {
        QStringList captions;
        for (int row = 0; row < Model()->rowCount(); ++row) {
            captions << Model()->index(row, 0).data().toString();
        }
        return captions;
    }
    QString Cell(int row, int column) { return Model()->index(row, column).data().toString(); }
    bool RowOnline(int row) { return Model()->index(row, 0).data(MemberListModel::OnlineRole).toBool(); }
    QString TopCaption() { return List()->indexAt(QPoint(1, 1)).data().toString(); }

private:
    QTemporaryDir dir_;
    ManualClock clock_;
    FakeClientSocket* socket_ = nullptr;
    std::unique_ptr<TfrmKrvClientA> window_;
};

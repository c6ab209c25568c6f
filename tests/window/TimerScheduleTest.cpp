// The window's timer ticks only while the link has work, sleeps until the next heartbeat or
// reconnection otherwise, and an event wakes it.

#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"
#include "window/untKrvClientA.hpp"

using namespace std::chrono_literals;

class TimerScheduleTest : public QObject {
    Q_OBJECT

private slots:
    void sleepsWhileNothingIsDueAndWakesForAnEvent();
    void followsTheHeartbeatAndAReconnection();
    void staysStoppedOnceClosed();

private:
    struct Fixture {
        Fixture() {
            auto owned = std::make_unique<FakeClientSocket>();
            owned->SetAutoAccept(true);
            socket = owned.get();
            window = std::make_unique<TfrmKrvClientA>(std::move(owned), dir.filePath("k.ini"), clock);
            timer = window->findChild<QTimer*>("Timer1");
            window->Session().SetCredentials("admin", "pw");
        }
        QString Panel(int number) const {
            return window->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(number))->text();
        }

        QTemporaryDir dir;
        ManualClock clock;
        FakeClientSocket* socket = nullptr;
        std::unique_ptr<TfrmKrvClientA> window;
        QTimer* timer = nullptr;
    };
};

void TimerScheduleTest::sleepsWhileNothingIsDueAndWakesForAnEvent() {
    Fixture f;
    QCOMPARE(f.timer->interval(), f.window->TimerPeriod());
    // Nothing queued, not connected, no reconnection planned: the longest sleep.
    QTRY_COMPARE(f.timer->interval(), 5000);
    QVERIFY(f.timer->isActive());

    f.window->Session().Connect("10.0.0.1", 6670);
    QCOMPARE(f.timer->interval(), 0);  // woken by the queued events, due at once
    QTRY_COMPARE(f.Panel(2), QStringLiteral("10.0.0.1:6670 - connected, logging in..."));
    f.socket->Deliver("send login:\r\nsend password:\r\nprotocols: administrator :)\r\n");
    QTRY_COMPARE(f.Panel(2), QStringLiteral("10.0.0.1:6670 - logged in as admin"));
    QTRY_COMPARE(f.timer->interval(), 5000);

    // A report during the sleep is shown without waiting for the sleep to end.
    f.socket->Deliver("ARLM:,,bob=,;;\r\nARLC\r\n");
    QCOMPARE(f.timer->interval(), 0);
    QTRY_COMPARE(f.Panel(1), QStringLiteral("1"));
}

void TimerScheduleTest::followsTheHeartbeatAndAReconnection() {
    Fixture f;
    f.window->Session().Connect("10.0.0.1", 6670);
    f.socket->Deliver("send login:\r\nsend password:\r\nprotocols: administrator :)\r\n");
    // 59 s pass before the tick that delivers the login: the heartbeat is due a second after it,
    // and the timer sleeps no longer than that.
    f.clock.Advance(59s);
    QTRY_VERIFY(f.window->Session().Link().LoggedIn() && !f.window->Session().Link().HasPendingWork());
    QTRY_COMPARE(f.timer->interval(), 1001);
    const size_t written = f.socket->SentLines().size();
    f.clock.Advance(2s);
    QTRY_VERIFY(f.socket->SentLines().size() > written);
    QCOMPARE(f.socket->SentLines().back(), std::string(" "));

    // A server-ordered reconnection in 30 s: the timer wakes for it, not before.
    f.socket->Deliver("SRE:30,0,0\r\n");
    QTRY_VERIFY(!f.socket->Active() && !f.window->Session().Link().HasPendingWork());
    QTRY_COMPARE(f.timer->interval(), 5000);  // 30 s away, beyond the longest sleep
    const size_t opens = f.socket->Opens().size();
    f.clock.Advance(31s);
    QTRY_COMPARE_WITH_TIMEOUT(f.socket->Opens().size(), opens + 1, 10000);
}

void TimerScheduleTest::staysStoppedOnceClosed() {
    Fixture f;
    f.window->close();
    QVERIFY(!f.timer->isActive());
    f.window->Session().Connect("10.0.0.1", 6670);  // events queued, nobody to tick
    QVERIFY(!f.timer->isActive());
}

QTEST_MAIN(TimerScheduleTest)
#include "TimerScheduleTest.moc"

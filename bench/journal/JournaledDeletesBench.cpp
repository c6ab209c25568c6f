// A burst of confirmed deletes through the real window, its real socket and its event loop,
// against the demo server: with the journal on and off, in alternating rounds of one run, so that
// the shared machine's noise falls on both alike.
//
//   bench_journaled_deletes [--members N] [--rounds R] [--in-flight K] [--journal on|off]
//
// Each round starts a server of N members and deletes every one of them through the session's
// DeleteAccount, K requests in flight at most, until the last is confirmed. Run it with
// QT_QPA_PLATFORM=offscreen.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "DemoServerProcess.hpp"
#include "journal/JournalLocation.hpp"
#include "journal/JournalReader.hpp"
#include "net/QtClientSocket.hpp"
#include "session/SessionJournal.hpp"
#include "util/MemoryRetention.hpp"
#include "window/untKrvClientA.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Times each run of the window's timer: from its timer event to the end of its handler.
class TickTiming : public QObject {
public:
    explicit TickTiming(QTimer* timer) {
        timer->installEventFilter(this);
        // Connected after the window's own handler, so it runs when that one is done.
        QObject::connect(timer, &QTimer::timeout, this,
                         [this] { longestMs_ = std::max(longestMs_, MillisecondsSince(started_)); });
    }
    double LongestMs() const { return longestMs_; }
    void Reset() { longestMs_ = 0; }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            started_ = Clock::now();
        }
        return false;
    }

private:
    Clock::time_point started_ = Clock::now();
    double longestMs_ = 0;
};

int64_t ConfirmedDeletesIn(const std::string& path) {
    std::string error;
    auto reader = JournalReader::Open(path, &error);
    if (!reader) {
        return -1;
    }
    RequestFilter filter;
    filter.command = "delete";
    filter.outcome = JournalOutcome::Confirmed;
    return reader->CountRequests(filter);
}

// CPU time, user and system, of this thread or of the whole process (the journal's writer too).
double CpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// First touches of memory by this thread: what the round costs in fresh pages, whatever the
// machine's load.
long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

struct Round {
    double wallMs = 0;
    double threadCpuMs = 0;   // the window's thread
    double processCpuMs = 0;  // the window's thread and the journal's
    double longestTickMs = 0;
    long threadFaults = 0;  // the window's thread's minor faults
    int gatedTicks = 0;     // the sender's ticks that found the journal falling behind
    int64_t journaled = 0;  // confirmed deletes in the journal afterwards
    bool ok = false;
};

// Runs the event loop until done() or the minutes are up.
bool RunUntil(const std::function<bool()>& done, int minutes) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(5);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &loop, &QEventLoop::quit);
    watchdog.start(minutes * 60 * 1000);
    if (!done()) {
        loop.exec();
    }
    return done();
}

Round RunRound(int members, int inFlight, bool journalOn) {
    Round round;
    DemoServerProcess server;
    if (!server.Start({"--members", QString::number(members), "--seed", "7"})) {
        std::fprintf(stderr, "bench_journaled_deletes: the demo server did not start\n");
        return round;
    }
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
    const QString settings = dir.filePath("bench.ini");
    {
        QFile file(settings);
        file.open(QIODevice::WriteOnly);
        file.write(journalOn ? "[Journal]\nOn=1\n" : "[Journal]\nOn=0\n");
    }
    auto shown = std::make_unique<TfrmKrvClientA>(std::make_unique<QtClientSocket>(), settings);
    TfrmKrvClientA& window = *shown;
    window.show();
    TickTiming ticks(window.findChild<QTimer*>("Timer1"));
    ServerSession& session = window.Session();
    session.SetCredentials("admin", "admin");
    session.Connect("127.0.0.1", server.Port());
    if (!RunUntil([&] { return session.ListComplete() && window.MemberCount() == members + 1; }, 10)) {
        std::fprintf(stderr, "bench_journaled_deletes: the list did not come\n");
        return round;
    }
    // Last listed first: the demo server renumbers the accounts after the one it removes, which
    // would make the server, not the client, the thing measured.
    std::vector<std::string> logins;
    for (int32_t i = session.Members().Count() - 1; i >= 0; --i) {
        const std::string login(session.Members().Items(i)->Login());
        if (login != "admin") {
            logins.push_back(login);
        }
    }
    // Sent from the event loop in slices, as a bulk operation would, never more than inFlight
    // waiting for their answer.
    size_t next = 0;
    QTimer sender;
    QObject::connect(&sender, &QTimer::timeout, [&] {
        // As a bulk operation does: nothing more goes out while the journal must catch up.
        const SessionJournal* journal = window.Journal();
        if (journal != nullptr && journal->FallingBehind()) {
            ++round.gatedTicks;
            return;
        }
        while (next < logins.size() && session.RequestsPending() < static_cast<size_t>(inFlight)) {
            session.DeleteAccount(logins[next++]);
        }
    });
    ticks.Reset();
    const double threadStart = CpuMs(RUSAGE_THREAD);
    const double processStart = CpuMs(RUSAGE_SELF);
    const long faultsStart = MinorFaults();
    const Clock::time_point start = Clock::now();
    sender.start(1);  // a millisecond apart, so that waiting for the journal does not spin
    round.ok = RunUntil(
        [&] { return next == logins.size() && session.RequestsPending() == 0 && window.MemberCount() == 1; },
        20);
    round.wallMs = MillisecondsSince(start);
    round.threadCpuMs = CpuMs(RUSAGE_THREAD) - threadStart;
    round.processCpuMs = CpuMs(RUSAGE_SELF) - processStart;
    round.threadFaults = MinorFaults() - faultsStart;
    round.longestTickMs = ticks.LongestMs();
    sender.stop();
    // The window's end writes what its journal still held.
    shown.reset();
    round.journaled = journalOn ? ConfirmedDeletesIn(DefaultJournalPath()) : 0;
    return round;
}

}  // namespace

int main(int argc, char** argv) {
    int members = 100'000;
    int rounds = 2;
    int inFlight = 2000;
    int only = -1;  // both sides
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (option == "--members") {
            members = value;
        } else if (option == "--rounds") {
            rounds = value;
        } else if (option == "--in-flight") {
            inFlight = value;
        } else if (option == "--journal") {
            // One side only, for a profiler's run: "on" or "off".
            only = std::string(argv[i + 1]) == "on" ? 1 : 0;
        }
    }
    KeepFreedMemoryForReuse();  // as the client's own main does
    QApplication application(argc, argv);
    std::printf("%d confirmed deletes through the window, %d in flight at most, platform %s\n", members,
                inFlight, QApplication::platformName().toUtf8().constData());
    std::printf("%-6s %-8s %10s %13s %14s %16s %10s %12s %13s\n", "round", "journal", "wall ms",
                "window cpu ms", "process cpu ms", "longest tick ms", "journaled", "gated ticks",
                "window faults");
    double off = 0;
    double on = 0;
    double offCpu = 0;
    double onCpu = 0;
    std::vector<double> roundRatios;  // each round's on over its own off
    for (int r = 0; r < rounds; ++r) {
        double offThisRound = 0;
        for (const bool journalOn : {false, true}) {
            if (only >= 0 && journalOn != (only == 1)) {
                continue;
            }
            const Round round = RunRound(members, inFlight, journalOn);
            std::printf("%-6d %-8s %10.0f %13.0f %14.0f %16.1f %10lld %12d %13ld%s\n", r + 1,
                        journalOn ? "on" : "off", round.wallMs, round.threadCpuMs, round.processCpuMs,
                        round.longestTickMs, static_cast<long long>(round.journaled), round.gatedTicks,
                        round.threadFaults, round.ok ? "" : "  (incomplete)");
            std::fflush(stdout);
            (journalOn ? on : off) += round.wallMs;
            (journalOn ? onCpu : offCpu) += round.threadCpuMs;
            if (!journalOn) {
                offThisRound = round.wallMs;
            } else if (offThisRound > 0) {
                roundRatios.push_back(round.wallMs / offThisRound);
            }
        }
    }
    if (only >= 0) {
        return 0;
    }
    std::printf("journal on / off, summed over the rounds: wall %.3f, the window's thread's CPU %.3f\n",
                on / off, onCpu / offCpu);
    // A round the shared machine slowed on one side only moves the median less than the sum.
    std::sort(roundRatios.begin(), roundRatios.end());
    const size_t n = roundRatios.size();
    if (n > 0) {
        const double median =
            n % 2 == 1 ? roundRatios[n / 2] : (roundRatios[n / 2 - 1] + roundRatios[n / 2]) / 2;
        std::printf("journal on / off, the median of the rounds' own wall ratios: %.3f (of %zu rounds)\n",
                    median, n);
    }
    return 0;
}

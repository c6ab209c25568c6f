// The whole client against the demo server over loopback: the real window, its real socket and
// its event loop. Every figure of the window stands beside a plain blocking reader of the same
// server's bytes, timed in the same run, which is the floor no client can beat.
//
//   bench_scale [--members N] [--burst K] [--series S] [--fold-burst F] [--one-at-a-time yes]
//               [--pages large|small|measured] [--login-only]
//
// K: in-place reports of each kind timed in one burst; S: new accounts timed in a row; F: added,
// then removed accounts timed in one burst each (100,000 unless told); --one-at-a-time yes: no
// burst folded, every report shown on its own, for comparison. --pages: the kind of page the
// member list's large blocks are given, chosen by what their first touches cost (measured, the
// client's own way) or forced; a projection onto another machine needs the kind that machine
// would choose. --login-only, last: the login's figures alone.
//
// Run it with QT_QPA_PLATFORM=offscreen or under Xvfb; bench/scale/run does both sizes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTimer>

#include "DemoServerProcess.hpp"
#include "FaultPlaces.hpp"
#include "FirstTouch.hpp"
#include "LoginWaysBench.hpp"
#include "PageFaults.hpp"
#include "net/QtClientSocket.hpp"
#include "rows/CaptionOrder.hpp"
#include "util/LargePages.hpp"
#include "util/MemoryRetention.hpp"
#include "window/MemberListModel.hpp"
#include "window/MemberListPane.hpp"
#include "window/untKrvClientA.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One field of /proc/self/status in kB ("VmRSS", "VmHWM").
long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return -1;
}

// Context switches of every thread of the process: each is one wake-up from a wait, or a
// preemption, which an idle program should have almost none of.
long ContextSwitches() {
    long total = 0;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream status(("/proc/self/task/" + task + "/status").toStdString());
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return total;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process's processor time so far, every thread's: {user, system} in seconds.
std::pair<double, double> CpuUserSystem() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
}

// Memory of a mapping of its own, given back to the system when it goes. From the heap, a buffer's
// pages would stay with the process and be handed to the client's login already touched, a saving
// no client has.
class OwnPages {
public:
    explicit OwnPages(size_t bytes)
        : bytes_(bytes),
          data_(static_cast<char*>(
              mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))) {
        if (data_ == MAP_FAILED) {
            throw std::bad_alloc();
        }
    }
    ~OwnPages() { munmap(data_, bytes_); }
    OwnPages(const OwnPages&) = delete;
    OwnPages& operator=(const OwnPages&) = delete;

    char* data() const { return data_; }
    size_t size() const { return bytes_; }

private:
    size_t bytes_;
    char* data_;
};

// A blocking line reader on a plain socket: reads and finds line ends, keeps nothing.
class RawReader {
public:
    explicit RawReader(uint16_t port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("raw reader cannot connect");
        }
    }
    ~RawReader() { close(fd_); }
    RawReader(const RawReader&) = delete;
    RawReader& operator=(const RawReader&) = delete;

    void Send(const std::string& line) {
        const std::string framed = line + "\r";
        if (write(fd_, framed.data(), framed.size()) != static_cast<ssize_t>(framed.size())) {
            throw std::runtime_error("raw reader cannot send");
        }
    }

    // Reads lines until one equals stop; gives the bytes read on the way.
    size_t ReadUntilLine(const std::string& stop) {
        size_t bytes = 0;
        ReadLines([&](const char* line, size_t length) {
            bytes += length + 2;
            return length == stop.size() && std::memcmp(line, stop.data(), length) == 0;
        });
        return bytes;
    }

    // Reads lines until count of them start with prefix.
    void ReadPrefixed(const std::string& prefix, int count) {
        int seen = 0;
        if (count <= 0) {
            return;
        }
        ReadLines([&](const char* line, size_t length) {
            if (length >= prefix.size() && std::memcmp(line, prefix.data(), prefix.size()) == 0) {
                ++seen;
            }
            return seen >= count;
        });
    }

    void LogIn() {
        ReadUntilLine("send login:");
        Send("admin");
        ReadUntilLine("send password:");
        Send("admin");
        ReadUntilLine(":)");
    }

private:
    // line(start, length without its line end) returns true to stop.
    void ReadLines(const std::function<bool(const char*, size_t)>& line) {
        for (;;) {
            while (true) {
                const char* begin = buffer_.data() + start_;
                const void* end = std::memchr(begin, '\n', filled_ - start_);
                if (end == nullptr) {
                    break;
                }
                const auto* lineEnd = static_cast<const char*>(end);
                size_t length = static_cast<size_t>(lineEnd - begin);
                start_ += length + 1;
                if (length > 0 && begin[length - 1] == '\r') {
                    --length;
                }
                if (line(begin, length)) {
                    return;
                }
            }
            std::memmove(buffer_.data(), buffer_.data() + start_, filled_ - start_);
            filled_ -= start_;
            start_ = 0;
            const ssize_t got = read(fd_, buffer_.data() + filled_, buffer_.size() - filled_);
            if (got <= 0) {
                throw std::runtime_error("raw reader: connection closed");
            }
            filled_ += static_cast<size_t>(got);
        }
    }

    int fd_ = -1;
    OwnPages buffer_{size_t{1} << 20};
    size_t start_ = 0;
    size_t filled_ = 0;
};

// The window on the real socket, and what the bench sees of it: the rows' model, and every run
// of its timer, timed from the timer's event to the end of the window's handler.
class WindowUnderTest {
public:
    explicit WindowUnderTest(const QString& settingsPath)
        : window_(std::make_unique<QtClientSocket>(), settingsPath) {
        window_.show();
        view_ = window_.findChild<QAbstractItemView*>("ListView1");
        timer_ = window_.findChild<QTimer*>("Timer1");
        if (view_ == nullptr || timer_ == nullptr) {
            throw std::runtime_error("the window has no ListView1 or Timer1");
        }
        timer_->installEventFilter(&tickStart_);
        // Connected after the window's own handler, so it runs when that one is done.
        QObject::connect(timer_, &QTimer::timeout, &tickStart_, [this] { TickEnded(); });
    }

    TfrmKrvClientA& Window() { return window_; }
    int Rows() const { return view_->model()->rowCount(); }
    // Whether the rows and counters are what a rebuild of every row from the member list gives:
    // the same logins in the same order, and the counters of every member. Not timed.
    bool RowsAsRebuilt() {
        const auto* model = dynamic_cast<const MemberListModel*>(view_->model());
        if (model == nullptr) {
            return false;
        }
        const TkvCLDataCollection& members = window_.Session().Members();
        MemberRows rows;
        int32_t online = 0;
        for (int32_t position = 0; position < members.Count(); ++position) {
            rows.emplace_back(*members.Items(position));
            online += members.Items(position)->Online() ? 1 : 0;
        }
        const RowSlots order = RowsInCaptionOrder(rows, model->Collator());
        if (model->RowCount() != static_cast<int>(order.size()) || window_.OnlineCount() != online ||
            window_.MemberCount() != members.Count()) {
            return false;
        }
        for (size_t row = 0; row < order.size(); ++row) {
            if (model->Row(static_cast<int>(row)).Login() != rows[order[row]].Login()) {
                return false;
            }
        }
        return true;
    }
    // Ctrl+A on the focused list until its rows are drawn selected; the selection is cleared after.
    double SelectAllMs(qsizetype& selected) {
        view_->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::ControlModifier);
        QElapsedTimer timer;
        timer.start();
        QApplication::sendEvent(view_, &press);
        QApplication::sendEvent(view_, &release);
        view_->viewport()->repaint();
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        selected = 0;
        for (const QItemSelectionRange& range : view_->selectionModel()->selection()) {
            selected += range.height();
        }
        view_->selectionModel()->clear();
        return ms;
    }

    // One key typed into the filter bar's empty text until the rows it leaves are drawn; the
    // filter is emptied after. shown: the rows left.
    // The filter's text, set at once (not timed).
    void SetFilterText(const QString& text) {
        auto* field = window_.findChild<QLineEdit*>("edFilter");
        if (field == nullptr) {
            throw std::runtime_error("the window has no edFilter");
        }
        field->setText(text);
    }

    void CloseFilterBar() {
        auto* close = window_.findChild<QPushButton*>("btFilterClose");
        if (close == nullptr) {
            throw std::runtime_error("the window has no btFilterClose");
        }
        close->click();
    }

    double FilterKeystrokeMs(char key, int& shown) {
        auto* text = window_.findChild<QLineEdit*>("edFilter");
        if (text == nullptr) {
            throw std::runtime_error("the window has no edFilter");
        }
        text->clear();
        const QString typed(QChar::fromLatin1(key));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QElapsedTimer timer;
        timer.start();
        QApplication::sendEvent(text, &press);
        view_->viewport()->repaint();
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        shown = view_->model()->rowCount();
        text->clear();
        return ms;
    }

    // Selects count rows from first on, as a Shift+click would.
    void SelectRows(int first, int count) {
        QAbstractItemModel* model = view_->model();
        view_->selectionModel()->select(
            QItemSelection(model->index(first, 0), model->index(first + count - 1, model->columnCount() - 1)),
            QItemSelectionModel::ClearAndSelect);
    }
    const MemberListModel& Model() const { return *static_cast<const MemberListModel*>(view_->model()); }

    // The command on the selected rows chosen from the list's menu, its confirmation answered with
    // the count as soon as it shows.
    void RunOnSelected(const char* command, int count) {
        auto* action = window_.findChild<QAction*>(command);
        if (action == nullptr) {
            throw std::runtime_error(std::string("the window has no ") + command);
        }
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&answer, count] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* go = dialog != nullptr ? dialog->findChild<QPushButton*>("btnBulkGo") : nullptr;
            if (go == nullptr) {
                return;
            }
            if (auto* typed = dialog->findChild<QLineEdit*>("edBulkCount")) {
                typed->setText(QString::number(count));
            }
            answer.stop();
            go->click();
        });
        answer.start(0);
        action->trigger();
    }

    // The summary of the last command on many members, once it shows.
    QString BulkSummary() const {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "dlgBulkSummary" && widget->isVisible()) {
                auto* line = widget->findChild<QLabel*>("lbBulkSummary");
                return line != nullptr ? line->text() : QString();
            }
        }
        return {};
    }
    void CloseBulkSummary() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "dlgBulkSummary") {
                widget->close();
            }
        }
    }

    struct Timing {
        double wallMs = 0;      // from the request to the state wanted, shown
        double handlingMs = 0;  // the window's own ticks in that time
        double longestTickMs = 0;
        double longestProbeGapMs = 0;  // how late a 10 ms timer came at worst
    };

    // Runs the event loop until done() holds after one of the window's ticks, then paints the
    // rows. action starts the work (it is timed).
    Timing Measure(const std::function<void()>& action, const std::function<bool()>& done,
                   bool probe = false) {
        Timing timing;
        handling_ = 0;
        longestTick_ = 0;
        done_ = done;
        QEventLoop loop;
        quit_ = [&loop] { loop.quit(); };
        QTimer probeTimer;
        Clock::time_point lastProbe = Clock::now();
        if (probe) {
            probeTimer.setTimerType(Qt::PreciseTimer);
            QObject::connect(&probeTimer, &QTimer::timeout, [&] {
                const double gap = MillisecondsSince(lastProbe) - 10;
                timing.longestProbeGapMs = std::max(timing.longestProbeGapMs, gap);
                lastProbe = Clock::now();
            });
            probeTimer.start(10);
        }
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&loop] {
            std::fprintf(stderr, "bench_scale: gave up waiting after 20 minutes\n");
            loop.quit();
        });
        watchdog.start(20 * 60 * 1000);
        const Clock::time_point start = Clock::now();
        action();
        if (!done()) {
            loop.exec();
        }
        view_->viewport()->repaint();
        if (probe) {
            timing.longestProbeGapMs = std::max(timing.longestProbeGapMs, MillisecondsSince(lastProbe) - 10);
        }
        timing.wallMs = MillisecondsSince(start);
        timing.handlingMs = handling_;
        timing.longestTickMs = longestTick_;
        done_ = nullptr;
        quit_ = nullptr;
        return timing;
    }

    // Lets the event loop run for a while with nothing asked of the window.
    void Idle(int milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    class TickStart final : public QObject {
    public:
        Clock::time_point started;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Timer) {
                started = Clock::now();
            }
            return QObject::eventFilter(watched, event);
        }
    };

    void TickEnded() {
        const double tick = MillisecondsSince(tickStart_.started);
        handling_ += tick;
        longestTick_ = std::max(longestTick_, tick);
        if (done_ && done_() && quit_) {
            quit_();
        }
    }

    TfrmKrvClientA window_;
    QAbstractItemView* view_ = nullptr;
    QTimer* timer_ = nullptr;
    TickStart tickStart_;
    double handling_ = 0;
    double longestTick_ = 0;
    std::function<bool()> done_;
    std::function<void()> quit_;
};

double RawBurstMs(RawReader& raw, const std::string& code, int count) {
    const Clock::time_point start = Clock::now();
    raw.Send("BURST_" + code + ":" + std::to_string(count));
    raw.ReadPrefixed(code == "ARD" ? "ARD_" : code + ":", count);
    return MillisecondsSince(start);
}

void PrintRow(const char* what, double windowMs, double rawMs, const std::string& extra = {}) {
    std::printf("  %-34s %10.3f ms   raw %9.3f ms   %7.1fx%s\n", what, windowMs, rawMs,
                rawMs > 0 ? windowMs / rawMs : 0.0, extra.c_str());
}

std::string Handling(const WindowUnderTest::Timing& timing) {
    char text[96];
    std::snprintf(text, sizeof text, "   (ticks %.3f ms, longest %.3f ms)", timing.handlingMs,
                  timing.longestTickMs);
    return text;
}

// What first touches cost on the slower machine the projections price them at.
constexpr double kSlowSmallUsPerPage = 17;
constexpr double kSlowLargeUsPer4Kb = 6;

// Milliseconds of first touches: small pages, and large pages counted by their 4 KiB pieces.
double TouchMs(double smallPages, double largePieces, double smallUsPerPage, double largeUsPer4Kb) {
    return (smallPages * smallUsPerPage + largePieces * largeUsPer4Kb) / 1000;
}

double SlowTouchMs(double smallPages, double largePieces) {
    return TouchMs(smallPages, largePieces, kSlowSmallUsPerPage, kSlowLargeUsPer4Kb);
}

// Memory touched before the login is part of its price too, or touching it ahead would pass for a
// saving: on the slower machine each of those touches costs the difference more.
void PrintTouchesBefore(const char* what, const char* addTo, double smallBefore, double largeBefore,
                        const FirstTouch& touch) {
    const double beforeMs = SlowTouchMs(smallBefore, largeBefore) -
                            TouchMs(smallBefore, largeBefore, touch.smallUsPerPage, touch.largeUsPer4Kb);
    std::printf(
        "  touches before the login, %s: %+.3f ms (%.0f small pages, %.0f kB of large ones), to add to %s\n",
        what, beforeMs, smallBefore, largeBefore * 4, addTo);
}

// The login's fresh memory, and the login's time with this machine's first touches swapped for
// those of a slower one (17 µs a small page, 6 µs for each 4 KiB of a large one).
// loginLargeUsPer4Kb: the mean of the login's own timings of its large pages, 0 without any.
void PrintFreshMemory(const FirstTouch& touch, const FreshMemory& sinceStart, const FreshMemory& login,
                      double loginMs, double loginLargeUsPer4Kb) {
    std::printf("  first touch, small pages           %10.3f µs a 4 KiB page (%zu MiB, %ld faults)\n",
                touch.smallUsPerPage, touch.bytes >> 20, touch.smallFaults);
    std::printf(
        "  first touch, large pages           %10.3f µs a 4 KiB page (%zu MiB, %ld faults, "
        "AnonHugePages +%ld kB)\n",
        touch.largeUsPer4Kb, touch.bytes >> 20, touch.largeFaults, touch.largeKbGiven);
    std::printf("  transparent_hugepage/enabled       %s\n", touch.hugePagesEnabled.c_str());
    auto faults = [](const char* span, const FreshMemory& fresh) {
        std::printf(
            "  minor faults, %-20s %10ld (%ld small pages + %ld kB in %ld large pages, %ld kB held)\n", span,
            fresh.minorFaults, fresh.smallFaults, fresh.largeKb, fresh.largeFaults, fresh.largeKbHeld);
    };
    faults("from process start", sinceStart);
    faults("login alone", login);
    const double largePieces = static_cast<double>(login.largeKb) / 4;
    const double small = static_cast<double>(login.smallFaults);
    const double ownMs = TouchMs(small, largePieces, touch.smallUsPerPage, touch.largeUsPer4Kb);
    const double slowMs = SlowTouchMs(small, largePieces);
    std::printf("  projected onto 17/6 µs: %.3f ms   (login %.3f ms - own first touch %.3f ms + %.3f ms)\n",
                loginMs - ownMs + slowMs, loginMs, ownMs, slowMs);
    // The probe's large pages are not the login's: a large page the host has backed already costs
    // a fiftieth of a fresh one, and the login's timings show which it had.
    if (loginLargeUsPer4Kb > 0 && login.largeFaults > 0) {
        const double timedMs = TouchMs(small, largePieces, touch.smallUsPerPage, loginLargeUsPer4Kb);
        std::printf(
            "  the same, its large pages at the login's own %.3f µs a 4 KiB: %.3f ms   (own first touch "
            "%.3f ms)\n",
            loginLargeUsPer4Kb, loginMs - timedMs + slowMs, timedMs);
    }
    PrintTouchesBefore("at 17/6 µs instead of this machine's", "either projection",
                       static_cast<double>(sinceStart.smallFaults - login.smallFaults),
                       static_cast<double>(sinceStart.largeKb - login.largeKb) / 4, touch);
}

// The projections again, with only the faults that were fresh memory priced at the slower
// machine's cost: a fault on a file mapped read-only maps a page the page cache holds, which
// costs the same there as here, and stays in at this machine's cost (it is in the measured time).
// Faults not recorded, or on memory freed since, are priced as fresh.
void PrintFreshAnonymous(const FirstTouch& touch, const FreshMemory& sinceStart, const FreshMemory& login,
                         const FaultTally& before, const FaultTally& during, double loginMs) {
    auto places = [](const char* span, const FaultTally& tally, long counted) {
        std::printf(
            "  minor faults by place, %-13s %6ld fresh (anonymous, copies), %ld read-only file (code, fonts, "
            "data), %ld on memory freed since; %ld of %ld recorded\n",
            span, tally.fresh, tally.readOnlyFile, tally.gone, tally.Recorded(), counted);
    };
    places("before login", before, sinceStart.minorFaults - login.minorFaults);
    places("login alone", during, login.minorFaults);
    const double largePieces = static_cast<double>(login.largeKb) / 4;
    const double small = static_cast<double>(login.smallFaults - during.readOnlyFile);
    const double ownMs = TouchMs(small, largePieces, touch.smallUsPerPage, touch.largeUsPer4Kb);
    const double slowMs = SlowTouchMs(small, largePieces);
    std::printf(
        "  projected onto 17/6 µs, fresh pages only: %.3f ms   (login %.3f ms - own first touch %.3f ms + "
        "%.3f ms; %.0f small pages)\n",
        loginMs - ownMs + slowMs, loginMs, ownMs, slowMs, small);
    PrintTouchesBefore("fresh pages only, at 17/6 µs", "it",
                       static_cast<double>(sinceStart.smallFaults - login.smallFaults - before.readOnlyFile),
                       static_cast<double>(sinceStart.largeKb - login.largeKb) / 4, touch);
}

const char* PagePolicyName(large_pages::PagePolicy policy) {
    switch (policy) {
        case large_pages::PagePolicy::kLarge:
            return "large";
        case large_pages::PagePolicy::kSmall:
            return "small";
        case large_pages::PagePolicy::kMeasured:
            break;
    }
    return "measured";
}

std::optional<large_pages::PagePolicy> PagePolicyNamed(const QString& name) {
    for (const auto policy : {large_pages::PagePolicy::kMeasured, large_pages::PagePolicy::kLarge,
                              large_pages::PagePolicy::kSmall}) {
        if (name == QLatin1String(PagePolicyName(policy))) {
            return policy;
        }
    }
    return std::nullopt;
}

// The kind of page the login's large blocks were given, and the first touches that chose it.
void PrintPageChoice(const large_pages::PageChoiceReport& choice) {
    const large_pages::PageCosts& costs = choice.costs;
    std::printf("  pages of the large blocks          %s: %d mappings large, %d small, the last %s%s\n",
                PagePolicyName(choice.policy), choice.largeMappings, choice.smallMappings,
                choice.lastKind == large_pages::PageKind::kLarge ? "large" : "small",
                choice.largePagesOffered ? "" : " (the kernel offers no large pages)");
    std::string samples;
    for (int i = 0; i < std::min(costs.largeSamples, large_pages::PageChoiceReport::kKeptSamples); ++i) {
        char one[32];
        std::snprintf(one, sizeof one, " %.2f", choice.largeSamplesUsPer4Kb[i]);
        samples += one;
    }
    std::printf(
        "  first touches timed in the login   small %.3f µs a 4 KiB page (%d timings), large %.3f µs "
        "a 4 KiB (%d timings:%s)\n",
        costs.smallUsPer4Kb, costs.smallSamples, costs.largeUsPer4Kb, costs.largeSamples, samples.c_str());
}

// start: the process's start.
int Run(int members, int burst, int series, int foldBurst, bool oneAtATime, bool loginOnly,
        const PageFaults& start, FaultRecorder& faults) {
    DemoServerProcess server;
    if (!server.Start({"--members", QString::number(members), "--burst-requests"})) {
        std::fprintf(stderr, "bench_scale: the demo server did not start\n");
        return 1;
    }
    const int rows = members + 1;  // the administrator's own account is listed too
    std::printf("members %d, burst %d, platform %s\n", members, burst,
                QApplication::platformName().toUtf8().constData());

    double rawListMs = 0;
    size_t listBytes = 0;
    {
        const Clock::time_point start = Clock::now();
        RawReader raw(server.Port());
        raw.LogIn();
        listBytes = raw.ReadUntilLine("ARLC");
        rawListMs = MillisecondsSince(start);
    }

    QTemporaryDir dir;
    // The bulk delete's backup goes there.
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    WindowUnderTest bench(dir.filePath("bench.ini"));
    TfrmKrvClientA& window = bench.Window();
    ServerSession& session = window.Session();
    if (oneAtATime) {
        window.findChild<MemberListPane*>()->SetRowsBeforeFolding(INT_MAX);
        std::printf("  every report shown on its own, none folded\n");
    }
    bench.Idle(200);
    const long baselineKb = StatusKilobytes("VmRSS");
    session.SetCredentials("admin", "admin");
    const PageFaults beforeLogin = PageFaults::Now();
    const FaultRecorder::Mark faultsBeforeLogin = faults.Now();
    const auto cpuBefore = CpuUserSystem();
    const auto list = bench.Measure([&] { session.Connect("127.0.0.1", server.Port()); },
                                    [&] { return bench.Rows() == rows && window.MemberCount() == rows; });
    const PageFaults afterLogin = PageFaults::Now();
    const FaultRecorder::Mark faultsAfterLogin = faults.Now();
    faults.Stop();
    const auto cpuAfter = CpuUserSystem();
    const long peakKb = StatusKilobytes("VmHWM");
    std::printf("  list of %zu bytes, %.1f bytes a member\n", listBytes,
                static_cast<double>(listBytes) / members);
    PrintRow("login -> rows listed and sorted", list.wallMs, rawListMs, Handling(list));
    std::printf(
        "  peak memory a member               %10.1f bytes (VmHWM %ld kB - VmRSS before login %ld kB)\n",
        (peakKb - baselineKb) * 1024.0 / members, peakKb, baselineKb);
    // Less swayed by other programs than the wall time: the work itself, and the kernel's share,
    // mostly first touches.
    std::printf("  processor time of the login        %10.3f ms user + %.3f ms system, every thread\n",
                (cpuAfter.first - cpuBefore.first) * 1000, (cpuAfter.second - cpuBefore.second) * 1000);
    const large_pages::PageChoiceReport choice = large_pages::CurrentPageChoice();
    PrintPageChoice(choice);
    // After the login, not before: the probe's large pages, given back, would be handed to the
    // login again, already backed, and make its large pages cheaper than a client's are.
    constexpr size_t kProbeBytes = size_t{256} << 20;
    const FirstTouch touch = ProbeFirstTouch(kProbeBytes);
    PrintFreshMemory(
        touch, Between(start, afterLogin), Between(beforeLogin, afterLogin), list.wallMs,
        choice.costs.largeSamples > 0 ? choice.largeSamplesUsPer4KbTotal / choice.costs.largeSamples : 0);
    if (faults.Available()) {
        std::ifstream maps("/proc/self/maps");
        const std::vector<MappingSpan> mappings = ReadMappings(maps);
        PrintFreshAnonymous(
            touch, Between(start, afterLogin), Between(beforeLogin, afterLogin),
            faults.Between(FaultRecorder::Mark(faultsBeforeLogin.size(), 0), faultsBeforeLogin, mappings),
            faults.Between(faultsBeforeLogin, faultsAfterLogin, mappings), list.wallMs);
    } else {
        std::printf("  minor faults by place              not recorded (no page-fault events here)\n");
    }
    if (loginOnly) {
        return 0;
    }

    RawReader raw(server.Port());
    raw.LogIn();
    bench.Idle(100);  // the window takes the raw reader's own presence report first

    auto sendBurst = [&](const std::string& code, int count) {
        return [&session, code, count] {
            session.SendUnguardedLine("BURST_" + code + ":" + std::to_string(count));
        };
    };
    auto rowsAre = [&](int wanted) {
        return [&bench, &window, wanted] { return bench.Rows() == wanted && window.MemberCount() == wanted; };
    };
    auto onlineIs = [&](int wanted) { return [&window, wanted] { return window.OnlineCount() == wanted; }; };

    // One report of each kind; the raw reader's pair leaves the server as it was.
    const double rawAra = RawBurstMs(raw, "ARA", 1);
    const double rawArd = RawBurstMs(raw, "ARD", 1);
    const auto ara = bench.Measure(sendBurst("ARA", 1), rowsAre(rows + 1));
    PrintRow("one ARA", ara.wallMs, rawAra, Handling(ara));
    const auto ard = bench.Measure(sendBurst("ARD", 1), rowsAre(rows));
    PrintRow("one ARD", ard.wallMs, rawArd, Handling(ard));
    const int online = window.OnlineCount();
    const double rawArm = RawBurstMs(raw, "ARM", 1);
    RawBurstMs(raw, "ARM", 1);
    const auto arm = bench.Measure(sendBurst("ARM", 1), onlineIs(online + 1));
    PrintRow("first ARM after the rebuild", arm.wallMs, rawArm, Handling(arm));
    bench.Measure(sendBurst("ARM", 1), onlineIs(online));
    qsizetype selected = 0;
    const double selectAllMs = bench.SelectAllMs(selected);
    std::printf("  %-34s %10.3f ms   (%lld rows selected)\n", "Ctrl+A selects every row", selectAllMs,
                static_cast<long long>(selected));
    // The bar opened, and its rows' folded texts made in the idle slices that follow.
    auto* openFilter = window.findChild<QShortcut*>("scFilter");
    if (openFilter == nullptr) {
        throw std::runtime_error("the window has no scFilter");
    }
    emit openFilter->activated();
    bench.Idle(3000);
    int filtered = 0;
    const double filterMs = bench.FilterKeystrokeMs('7', filtered);
    std::printf("  %-34s %10.3f ms   (%d rows shown)\n", "one keystroke in the filter", filterMs, filtered);
    {
        // One member added and one removed while the filter shows its rows, then the keystroke again:
        // the rows in and out take their places among the shown ones, and the folded block stays.
        auto late = [](const WindowUnderTest::Timing& timing) {
            char text[96];
            std::snprintf(text, sizeof text, "\n  %-34s %10.3f ms", "  10 ms probe timer late by at most",
                          timing.longestProbeGapMs);
            return std::string(text);
        };
        bench.SetFilterText("7");
        const int shownBefore = bench.Rows();
        auto membersAre = [&](int wanted) {
            return [&window, wanted] { return window.MemberCount() == wanted; };
        };
        const auto filteredAra = bench.Measure(sendBurst("ARA", 1), membersAre(rows + 1), true);
        PrintRow("one ARA under the filter", filteredAra.wallMs, rawAra,
                 Handling(filteredAra) + late(filteredAra));
        const auto filteredArd = bench.Measure(sendBurst("ARD", 1), membersAre(rows), true);
        PrintRow("one ARD under the filter", filteredArd.wallMs, rawArd,
                 Handling(filteredArd) + late(filteredArd));
        const int shownAfter = bench.Rows();
        int shownAgain = 0;
        const double againMs = bench.FilterKeystrokeMs('7', shownAgain);
        std::printf("  %-34s %10.3f ms   (%d rows shown; %d before the reports, %d after)\n",
                    "the keystroke again after them", againMs, shownAgain, shownBefore, shownAfter);
    }

    const double rawAraSeries = RawBurstMs(raw, "ARA", series);
    const double rawArdSeries = RawBurstMs(raw, "ARD", series);
    auto late = [](const WindowUnderTest::Timing& timing) {
        char text[96];
        std::snprintf(text, sizeof text, "\n  %-34s %10.3f ms", "  10 ms probe timer late by at most",
                      timing.longestProbeGapMs);
        return std::string(text);
    };
    const auto araSeries = bench.Measure(sendBurst("ARA", series), rowsAre(rows + series), true);
    PrintRow((std::to_string(series) + " ARA in a row").c_str(), araSeries.wallMs, rawAraSeries,
             Handling(araSeries) + late(araSeries));
    const auto ardSeries = bench.Measure(sendBurst("ARD", series), rowsAre(rows), true);
    PrintRow((std::to_string(series) + " ARD in a row").c_str(), ardSeries.wallMs, rawArdSeries,
             Handling(ardSeries) + late(ardSeries));

    // A burst of added and removed accounts, each of its own report; the raw reader's pair leaves
    // the server as it was, and the window's removes the accounts it added.
    const int many = std::min(foldBurst, members);
    const double rawAraMany = RawBurstMs(raw, "ARA", many);
    const double rawArdMany = RawBurstMs(raw, "ARD", many);
    auto rebuilt = [&] {
        return bench.RowsAsRebuilt() ? "   rows as a rebuild gives" : "   ROWS DIFFER FROM A REBUILD";
    };
    const auto araMany = bench.Measure(sendBurst("ARA", many), rowsAre(rows + many), true);
    PrintRow((std::to_string(many) + " ARA in one burst").c_str(), araMany.wallMs, rawAraMany,
             Handling(araMany) + late(araMany) + "\n" + rebuilt());
    const auto ardMany = bench.Measure(sendBurst("ARD", many), rowsAre(rows), true);
    PrintRow((std::to_string(many) + " ARD in one burst").c_str(), ardMany.wallMs, rawArdMany,
             Handling(ardMany) + late(ardMany) + "\n" + rebuilt());

    const int count = std::min(burst, members);
    for (const char* code : {"ARI", "ARO", "ARM"}) {
        const std::string kind = code;
        const bool up = kind != "ARO";
        const double rawMs = RawBurstMs(raw, kind, count);
        RawBurstMs(raw, kind == "ARI" ? "ARO" : (kind == "ARO" ? "ARI" : "ARM"), count);
        const int before = window.OnlineCount();
        const auto sustained =
            bench.Measure(sendBurst(kind, count), onlineIs(before + (up ? count : -count)));
        char rate[128];
        std::snprintf(rate, sizeof rate, "   %.0f/s (raw %.0f/s)", count / sustained.wallMs * 1000,
                      count / rawMs * 1000);
        PrintRow((std::to_string(count) + " " + kind + " in place").c_str(), sustained.wallMs, rawMs, rate);
    }

    // The bulk delete of many selected members from the window, through its confirmation and its
    // paced requests, each counted done on the server's "ARD"; the administrator's own row is not
    // among them. Beside it, a raw client sends as many deletes at once and reads their reports.
    // The filter bar is closed first, as an administrator acting on the whole list would have it.
    bench.CloseFilterBar();
    {
        const int chosen = std::min(foldBurst, members - 1);
        const int adminRow = bench.Model().FindCaption("admin");
        const int first = adminRow >= 1 && adminRow <= chosen ? adminRow + 1 : 1;
        bench.SelectRows(first, chosen);
        std::vector<std::string> rawTargets;
        for (int row = first + chosen; row < bench.Rows() && static_cast<int>(rawTargets.size()) < chosen;
             ++row) {
            if (row != adminRow) {
                rawTargets.emplace_back(bench.Model().Row(row).Login());
            }
        }
        const int before = window.MemberCount();
        const auto bulk = bench.Measure([&] { bench.RunOnSelected("mnuBulkDelete", chosen); },
                                        [&] { return !bench.BulkSummary().isEmpty(); }, true);
        const QString summary = bench.BulkSummary();
        const bool rowsRight = bench.RowsAsRebuilt() && window.MemberCount() == before - chosen;
        bench.CloseBulkSummary();
        const Clock::time_point rawStart = Clock::now();
        for (const std::string& login : rawTargets) {
            raw.Send("ADD_" + login + ":");
        }
        raw.ReadPrefixed("ARD_", static_cast<int>(rawTargets.size()));
        const double rawBulkMs = MillisecondsSince(rawStart);
        PrintRow(("bulk delete of " + std::to_string(chosen) + " selected").c_str(), bulk.wallMs, rawBulkMs,
                 Handling(bulk) + late(bulk) + "\n     " + summary.toStdString() +
                     (rowsRight ? ", rows as a rebuild gives" : ", ROWS DIFFER FROM A REBUILD"));
        // The window takes the raw client's deletions before it idles.
        bench.Measure(
            [] {},
            [&] { return window.MemberCount() == before - chosen - static_cast<int>(rawTargets.size()); });
    }

    constexpr int kIdleMs = 5000;
    auto idle = [&](const char* state) {
        const long switches = ContextSwitches();
        const double cpu = CpuSeconds();
        bench.Idle(kIdleMs);
        const double seconds = kIdleMs / 1000.0;
        std::printf("  idle, %-12s %8.1f wake-ups/s, %.2f %% of a core\n", state,
                    (ContextSwitches() - switches) / seconds, (CpuSeconds() - cpu) / seconds * 100);
    };
    idle("connected");
    bench.Measure([&] { session.Disconnect(); }, rowsAre(0));
    idle("disconnected");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedMemoryForReuse();  // as the client's own main does
    const PageFaults start = PageFaults::Now();
    // Before any thread: every later one is recorded too.
    FaultRecorder faults;
    QApplication application(argc, argv);
    int members = 100000;
    int burst = 100000;
    int series = 1000;
    int foldBurst = 100000;
    bool oneAtATime = false;
    large_pages::PagePolicy pages = large_pages::PagePolicy::kMeasured;
    const QStringList arguments = QApplication::arguments();
    const bool loginOnly = arguments.contains("--login-only");
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--members") {
            members = arguments[i + 1].toInt();
        } else if (arguments[i] == "--burst") {
            burst = arguments[i + 1].toInt();
        } else if (arguments[i] == "--series") {
            series = arguments[i + 1].toInt();
        } else if (arguments[i] == "--one-at-a-time") {
            oneAtATime = arguments[i + 1] == "yes";
        } else if (arguments[i] == "--fold-burst") {
            foldBurst = arguments[i + 1].toInt();
        } else if (arguments[i] == "--pages") {
            const std::optional<large_pages::PagePolicy> policy = PagePolicyNamed(arguments[i + 1]);
            if (!policy) {
                std::fprintf(stderr, "bench_scale: --pages takes large, small or measured\n");
                return 2;
            }
            pages = *policy;
        } else if (arguments[i] == "--ways") {
            return RunLoginWays(members);
        }
    }
    // Before the client exists, so that every block of the login is given pages as told.
    large_pages::SetPagePolicy(pages);
    try {
        return Run(members, burst, series, foldBurst, oneAtATime, loginOnly, start, faults);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_scale: %s\n", failure.what());
        return 1;
    }
}

// The journal window over a journal of a million requests: how long it takes to show the newest
// page once opened, and the rows of a part of a member's login once typed; and the member plot
// of a month of minute samples, read from a journal and drawn.
//
// Run it with QT_QPA_PLATFORM=offscreen (bench/journal/CMakeLists.txt says how).

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>

#include "MillionJournal.hpp"
#include "window/JournalTableModel.hpp"
#include "window/JournalWindow.hpp"
#include "window/MemberCountPlot.hpp"

namespace {

constexpr int kMonthOfMinutes = 30 * 24 * 60;  // 43,200

// What the administrator sees: the window's table painted, its visible rows read.
void Paint(JournalWindow& window) {
    auto* table = window.findChild<QTableView*>(QStringLiteral("tvEntries"));
    benchmark::DoNotOptimize(table->grab());
}

// From File > Journal... to the newest page painted: the reader opened, the count, one page.
void BM_OpenNewestPage(benchmark::State& state) {
    const std::string path = Million().Path();
    for (auto _ : state) {
        JournalWindow window(path);
        window.findChild<QComboBox*>(QStringLiteral("cbRange"))->setCurrentIndex(4);  // everything
        window.show();
        Paint(window);
        if (window.Model().rowCount() != kRequests) {
            state.SkipWithError("not every request is counted");
        }
    }
}

// A part of a member's login typed: the count of the requests found and their newest page painted.
void BM_MemberFilter(benchmark::State& state, const char* part) {
    JournalWindow window(Million().Path());
    window.findChild<QComboBox*>(QStringLiteral("cbRange"))->setCurrentIndex(4);
    window.show();
    Paint(window);
    auto* member = window.findChild<QLineEdit*>(QStringLiteral("edMember"));
    int64_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        member->setText(QString());
        window.ApplyFilters();
        member->setText(QString::fromLatin1(part));
        state.ResumeTiming();
        window.ApplyFilters();
        Paint(window);
        rows = window.Model().rowCount();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

std::vector<MemberCountPoint> MonthOfMinutes(JournalTime from) {
    std::vector<MemberCountPoint> points;
    points.reserve(kMonthOfMinutes);
    for (int minute = 0; minute < kMonthOfMinutes; ++minute) {
        points.push_back({from + std::chrono::minutes(minute), 40'000 + minute / 10, (minute * 7919) % 9000});
    }
    return points;
}

// The plot of 43,200 samples painted whole, at a typical window's size.
void BM_PlotMonthOfMinutes(benchmark::State& state) {
    const JournalTime from = JournalNow() - std::chrono::hours(24 * 30);
    MemberCountPlot plot;
    plot.resize(static_cast<int>(state.range(0)), 400);
    plot.SetData(MonthOfMinutes(from), {from + std::chrono::hours(100), from + std::chrono::hours(500)}, from,
                 from + std::chrono::hours(24 * 30));
    for (auto _ : state) {
        benchmark::DoNotOptimize(plot.grab());
    }
}

// The same month read from a journal file by the window's Members tab, and drawn.
void BM_PlotTabFromJournal(benchmark::State& state) {
    const std::string path = Million().Path() + ".counts";
    {
        JournalOptions options;
        options.path = path;
        Journal journal(options);
        const JournalTime from = JournalNow() - std::chrono::hours(24 * 30) + std::chrono::minutes(1);
        for (const MemberCountPoint& point : MonthOfMinutes(from)) {
            journal.Record(MemberCountEntry{point.time, {"10.0.0.5", 4000, ""}, point.total, point.online});
        }
    }
    JournalWindow window(path);
    window.show();
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabsJournal"));
    for (auto _ : state) {
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(1);  // reads the counts and the losses again
        benchmark::DoNotOptimize(window.Plot().grab());
    }
    state.counters["points"] = static_cast<double>(window.Plot().PointCount());
    std::error_code error;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path + suffix, error);
    }
}

}  // namespace

BENCHMARK(BM_OpenNewestPage)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MemberFilter, rare, "member01234")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MemberFilter, some, "0123")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MemberFilter, common, "9")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotMonthOfMinutes)->Arg(900)->Arg(1900)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotTabFromJournal)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

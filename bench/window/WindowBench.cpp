#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/FakeClientSocket.hpp"
#include "support/ManualClock.hpp"
#include "window/MemberFindBar.hpp"
#include "window/untKrvClientA.hpp"

namespace {

// Spread over the whole range and in mixed letter case, so the sort has real work to do.
std::string LoginOf(int64_t number, int64_t count) {
    const int64_t scrambled = (number * 7919) % count;
    char login[32];
    std::snprintf(login, sizeof login, "%s%07lld", scrambled % 3 == 0 ? "Member" : "member",
                  static_cast<long long>(scrambled));
    return login;
}

std::vector<std::string> ListReport(int64_t count) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(count) + 1);
    for (int64_t i = 0; i < count; ++i) {
        std::string presence = i % 2 == 0 ? "10.0.0.1:4000" : "";
        lines.push_back("ARLM:" + presence + ",," + LoginOf(i, count) +
                        "=secret,administrator chat;bot1,bot2;");
    }
    lines.push_back("ARLC");
    return lines;
}

// A shown window, logged in through a scripted socket, its timer stopped.
struct LoggedInWindow {
    QTemporaryDir dir;
    ManualClock clock;
    std::unique_ptr<TfrmKrvClientA> window;
    FakeClientSocket* server = nullptr;  // owned by the window's link

    LoggedInWindow() {
        auto socket = std::make_unique<FakeClientSocket>();
        socket->SetAutoAccept(true);
        server = socket.get();
        window = std::make_unique<TfrmKrvClientA>(std::move(socket), dir.filePath("bench.ini"), clock);
        window->findChild<QTimer*>("Timer1")->stop();
        window->show();
        window->Session().SetCredentials("admin", "");
        window->Session().Connect("10.0.0.1", 6670);
        server->Deliver("protocols: administrator\r\n:)\r\n");
        window->Session().Tick();
    }

    // The line comes as the server sends it, through the link and the session.
    void Read(const std::string& line) {
        server->Deliver(line + "\r\n");
        window->Session().Tick();
    }
    // Then lets the event loop do what the line left for it (the view's layout and painting),
    // as the program's loop does before the next tick.
    void ReadAndSettle(const std::string& line) {
        Read(line);
        QCoreApplication::processEvents();
    }
};

// Every "ARLM" line of a full list report and the closing "ARLC" with its sorted rebuild.
void BM_ListReport(benchmark::State& state) {
    const std::vector<std::string> lines = ListReport(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        LoggedInWindow bench;
        state.ResumeTiming();
        for (const std::string& line : lines) {
            bench.Read(line);
        }
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (bench.window->OnlineCount() != state.range(0) / 2) {
            state.SkipWithError("rows do not match the report");
        }
        bench.window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ListReport)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// The closing "ARLC" alone: every row rebuilt from the member list and sorted.
void BM_Rebuild(benchmark::State& state) {
    LoggedInWindow bench;
    for (const std::string& line : ListReport(state.range(0))) {
        bench.Read(line);
    }
    for (auto _ : state) {
        bench.ReadAndSettle("ARLC");
    }
}
BENCHMARK(BM_Rebuild)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One "ARM" for a listed member: its row is found and rewritten in place.
void BM_MemberChange(benchmark::State& state) {
    const int64_t count = state.range(0);
    LoggedInWindow bench;
    for (const std::string& line : ListReport(count)) {
        bench.Read(line);
    }
    bool online = false;
    for (auto _ : state) {
        online = !online;
        bench.ReadAndSettle(std::string("ARM:") + (online ? "on" : "") + ",," + LoginOf(count - 1, count) +
                            "=,chat;;");
    }
}
BENCHMARK(BM_MemberChange)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One "ARA" for a new account, its row put in at its sorted place; the "ARD" that takes it out
// again is timed apart (`deleted`).
void BM_NewMember(benchmark::State& state) {
    const int64_t count = state.range(0);
    const bool deleted = state.range(1) != 0;
    LoggedInWindow bench;
    for (const std::string& line : ListReport(count)) {
        bench.Read(line);
    }
    QCoreApplication::processEvents();
    for (auto _ : state) {
        if (deleted) {
            state.PauseTiming();
        }
        bench.ReadAndSettle("ARA:,,Newcomer=,chat;;");
        if (deleted) {
            state.ResumeTiming();
        } else {
            state.PauseTiming();
        }
        bench.ReadAndSettle("ARD_Newcomer:");
        if (!deleted) {
            state.ResumeTiming();
        }
    }
    if (bench.window->MemberCount() != count) {
        state.SkipWithError("the new member did not come and go");
    }
}
BENCHMARK(BM_NewMember)
    ->ArgNames({"members", "deleted"})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond);

// The window with a million members listed, active, its find field open with `typed` in it.
struct FindingWindow : LoggedInWindow {
    QLineEdit* field = nullptr;
    QAbstractItemView* list = nullptr;
    bool active = false;  // the window's shortcuts need it active

    explicit FindingWindow(int64_t count) {
        for (const std::string& line : ListReport(count)) {
            Read(line);
        }
        window->activateWindow();
        active = QTest::qWaitForWindowActive(window.get());
        list = window->findChild<QAbstractItemView*>("ListView1");
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        field = window->findChild<QLineEdit*>("edFind");
        active = active && field->isVisible();
        // The index is made in idle slices once the field is open; BM_FindIndexing times that
        // and BM_FindAfterRebuild a keystroke that comes before any of it is made.
        WaitUntilIndexed();
    }

    // An "ARLC" outside the timing; the view's own work after the reset belongs to the rebuild.
    void RebuildUntimed(benchmark::State& state) {
        state.PauseTiming();
        Read("ARLC");
        QCoreApplication::sendPostedEvents();
        state.ResumeTiming();
    }

    void WaitUntilIndexed() {
        while (!static_cast<MemberFindBar*>(field)->Indexed()) {
            QCoreApplication::processEvents();
        }
    }

    // Types the last character of text after the rest, as a user's keystroke; the window then
    // handles what is pending (selection, scrolling, painting) before the next one.
    void Keystroke(const QString& text) {
        field->setText(text.chopped(1));
        QTest::keyClick(field, text.back().toLatin1());
        QCoreApplication::processEvents();
    }
    QString Selected() const {
        const QModelIndexList rows = list->selectionModel()->selectedRows(0);
        return rows.size() == 1 ? rows.first().data().toString() : QString();
    }
};

// One keystroke that makes the text match no row, though every row holds its first three
// letters: every row is searched, and the substring search meets a near match in each.
void BM_FindKeystrokeNoMatch(benchmark::State& state) {
    FindingWindow bench(state.range(0));
    if (!bench.active) {
        state.SkipWithError("the find field did not open");
    }
    for (auto _ : state) {
        bench.Keystroke(QStringLiteral("bot3"));
    }
    if (!bench.Selected().isEmpty()) {
        state.SkipWithError("a row was selected");
    }
}
BENCHMARK(BM_FindKeystrokeNoMatch)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One keystroke whose text only the last row holds: a full walk, then the list scrolls there.
void BM_FindKeystrokeLastRow(benchmark::State& state) {
    const int64_t count = state.range(0);
    FindingWindow bench(count);
    if (!bench.active) {
        state.SkipWithError("the find field did not open");
    }
    const QString last = bench.list->model()->index(int(count - 1), 0).data().toString();
    const QString typed = last.right(7).toUpper();
    for (auto _ : state) {
        bench.list->clearSelection();
        bench.Keystroke(typed);
    }
    if (bench.Selected() != last) {
        state.SkipWithError("the last row was not found");
    }
}
BENCHMARK(BM_FindKeystrokeLastRow)->Arg(1000000)->Unit(benchmark::kMillisecond);

// F3 on a text that one row holds: "next" walks every other row and wraps back to it.
void BM_FindNext(benchmark::State& state) {
    const int64_t count = state.range(0);
    FindingWindow bench(count);
    if (!bench.active) {
        state.SkipWithError("the find field did not open");
    }
    const QString middle = bench.list->model()->index(int(count / 2), 0).data().toString();
    bench.Keystroke(middle.right(7));
    for (auto _ : state) {
        QTest::keyClick(bench.field, Qt::Key_F3);
        QCoreApplication::processEvents();
    }
    if (bench.Selected() != middle) {
        state.SkipWithError("next lost the match");
    }
}
BENCHMARK(BM_FindNext)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A keystroke at once after the rows were rebuilt, before any idle slice of the index: what
// the key holds the window for (one slice of the index, then the answer waits for the rest).
void BM_FindAfterRebuild(benchmark::State& state) {
    FindingWindow bench(state.range(0));
    if (!bench.active) {
        state.SkipWithError("the find field did not open");
    }
    for (auto _ : state) {
        bench.field->setText(QStringLiteral("bot"));
        bench.RebuildUntimed(state);
        QTest::keyClick(bench.field, '3');
        QCoreApplication::sendPostedEvents();
    }
    bench.WaitUntilIndexed();
    if (!bench.Selected().isEmpty()) {
        state.SkipWithError("a row was selected");
    }
}
BENCHMARK(BM_FindAfterRebuild)->Arg(1000000)->Iterations(5)->Unit(benchmark::kMillisecond);

// The same keystroke for a text only the last row holds, until that row is selected: the
// answer comes once the idle slices have made the whole index.
void BM_FindAnswerAfterRebuild(benchmark::State& state) {
    const int64_t count = state.range(0);
    FindingWindow bench(count);
    if (!bench.active) {
        state.SkipWithError("the find field did not open");
    }
    const QString last = bench.list->model()->index(int(count - 1), 0).data().toString();
    for (auto _ : state) {
        bench.RebuildUntimed(state);
        bench.Keystroke(last.right(7).toUpper());
        while (bench.Selected() != last) {
            QCoreApplication::processEvents();
        }
    }
}
BENCHMARK(BM_FindAnswerAfterRebuild)->Arg(1000000)->Iterations(5)->Unit(benchmark::kMillisecond);

// From a rebuild until the idle slices have made the whole index again, the event loop
// running as in the program.
void BM_FindIndexing(benchmark::State& state) {
    FindingWindow bench(state.range(0));
    if (!bench.active) {
        state.SkipWithError("the find field did not open");
    }
    for (auto _ : state) {
        bench.RebuildUntimed(state);
        bench.WaitUntilIndexed();
    }
}
BENCHMARK(BM_FindIndexing)->Arg(1000000)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

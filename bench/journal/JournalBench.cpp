#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "MillionJournal.hpp"
#include "journal/Journal.hpp"
#include "journal/JournalReader.hpp"

namespace {

namespace fs = std::filesystem;

void Expect(benchmark::State& state, bool ok, const char* what) {
    if (!ok) {
        state.SkipWithError(what);
    }
}

void BM_NewestPage(benchmark::State& state) {
    JournalReader& reader = Million().Reader();
    PageRequest page;
    page.limit = 100;
    for (auto _ : state) {
        const auto records = reader.Requests({}, page);
        Expect(state, records.size() == 100, "short page");
        benchmark::DoNotOptimize(records.data());
    }
}

// The page half a million rows down, reached from the row above it as a scrolling view does.
void BM_PageDeepByCursor(benchmark::State& state) {
    JournalReader& reader = Million().Reader();
    PageRequest middle;
    middle.limit = 1;
    middle.offset = 500'000;
    const auto above = reader.Requests({}, middle);
    PageRequest page;
    page.limit = 100;
    page.after = JournalCursor{above.at(0).entry.time, above.at(0).id};
    for (auto _ : state) {
        const auto records = reader.Requests({}, page);
        Expect(state, records.size() == 100, "short page");
        benchmark::DoNotOptimize(records.data());
    }
}

// The newest page of the requests about logins holding a part: "member01234" is 10 members'
// (200 requests), "0123" 115 members' (2,300), "9" 17,195 members' (about 344,000).
void BM_MemberPart(benchmark::State& state, const char* part) {
    JournalReader& reader = Million().Reader();
    RequestFilter filter;
    filter.memberContains = part;
    PageRequest page;
    page.limit = 100;
    for (auto _ : state) {
        const auto records = reader.Requests(filter, page);
        Expect(state, records.size() == 100, "short page");
        benchmark::DoNotOptimize(records.data());
    }
}

void BM_CountMemberPart(benchmark::State& state, const char* part) {
    JournalReader& reader = Million().Reader();
    RequestFilter filter;
    filter.memberContains = part;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.CountRequests(filter));
    }
}

void BM_CountAll(benchmark::State& state) {
    JournalReader& reader = Million().Reader();
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader.CountRequests({}));
    }
}

// What a caller pays to journal a request: the queue, not the file.
void BM_RecordOne(benchmark::State& state) {
    JournalOptions options;
    options.path = Million().Path() + ".record";
    Journal journal(options);
    RequestEntry entry;
    entry.server = {"10.0.0.5", 4000, "office"};
    entry.command = "delete";
    entry.member = "member000042";
    int64_t n = 0;
    for (auto _ : state) {
        journal.Record(entry);
        if (++n % 50'000 == 0) {
            state.PauseTiming();
            journal.Flush();
            state.ResumeTiming();
        }
    }
    journal.Flush();
    std::error_code error;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        fs::remove(options.path + suffix, error);
    }
}

}  // namespace

BENCHMARK(BM_NewestPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageDeepByCursor)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MemberPart, rare, "member01234")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MemberPart, some, "0123")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MemberPart, common, "9")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CountMemberPart, some, "0123")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CountAll)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecordOne);

BENCHMARK_MAIN();

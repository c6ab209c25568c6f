#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "journal/Journal.hpp"
#include "journal/JournalReader.hpp"

namespace {

namespace fs = std::filesystem;

constexpr int64_t kRequests = 1'000'000;
constexpr int64_t kMembers = 50'000;

std::string MemberOf(int64_t number) {
    char login[32];
    std::snprintf(login, sizeof login, "member%06lld", static_cast<long long>(number));
    return login;
}

// A journal of a million requests over 180 days: fifty thousand members, the commands and
// outcomes mixed, written through the journal itself. Made once per run and removed at its end,
// unless KRV_JOURNAL_BENCH_FILE names where to keep it (and take it from, next time).
class MillionJournal {
public:
    MillionJournal() {
        if (const char* kept = std::getenv("KRV_JOURNAL_BENCH_FILE"); kept != nullptr && *kept != '\0') {
            path_ = kept;
        } else {
            std::string pattern = (fs::temp_directory_path() / "krv-journal-bench-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) {
                std::abort();
            }
            folder_ = pattern;
            path_ = (folder_ / "journal.sqlite3").string();
        }
        const auto started = std::chrono::steady_clock::now();
        if (!fs::exists(path_)) {
            JournalOptions options;
            options.path = path_;
            options.maxBytes = int64_t{1} << 40;
            Journal journal(options);
            const char* commands[] = {"add", "edit", "delete", "expel", "logoff", "reconnect"};
            const JournalTime newest = JournalNow();
            const auto step = std::chrono::milliseconds(std::chrono::hours(24 * 179)) / kRequests;
            for (int64_t i = 0; i < kRequests; ++i) {
                RequestEntry entry;
                entry.time = newest - step * (kRequests - i);
                entry.server = {"10.0.0.5", 4000, "office"};
                entry.administrator = "admin";
                entry.command = commands[i % 6];
                entry.member = MemberOf((i * 7919) % kMembers);
                if (entry.command == "edit") {
                    entry.fields = {{"protocols", "chat,admin"}, {"password", "x"}};
                }
                const JournalOutcome outcome =
                    i % 10 == 0 ? JournalOutcome::Refused : JournalOutcome::Confirmed;
                journal.Settle(journal.Record(std::move(entry)), {outcome, "ARM", "", {}});
                if (i % 100'000 == 99'999) {
                    journal.Flush();  // keeps the queue under its bound
                }
            }
            journal.Flush();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "journal of %lld requests written in %.1f s, %.0f MB\n",
                     static_cast<long long>(kRequests), seconds,
                     static_cast<double>(fs::file_size(path_)) / 1e6);
        std::string error;
        reader_ = JournalReader::Open(path_, &error);
        if (!reader_) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
    }
    ~MillionJournal() {
        reader_.reset();
        std::error_code error;
        if (!folder_.empty()) {
            fs::remove_all(folder_, error);
        }
    }

    JournalReader& Reader() { return *reader_; }
    const std::string& Path() const { return path_; }

private:
    fs::path folder_;
    std::string path_;
    std::unique_ptr<JournalReader> reader_;
};

MillionJournal& Million() {
    static MillionJournal journal;
    return journal;
}

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

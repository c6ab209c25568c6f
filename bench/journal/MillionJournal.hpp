#pragma once

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "journal/Journal.hpp"
#include "journal/JournalReader.hpp"

// The journal the benchmarks read, shared by the reader's and the window's.

inline constexpr int64_t kRequests = 1'000'000;
inline constexpr int64_t kMembers = 50'000;

inline std::string MemberOf(int64_t number) {
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
            std::string pattern =
                (std::filesystem::temp_directory_path() / "krv-journal-bench-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) {
                std::abort();
            }
            folder_ = pattern;
            path_ = (folder_ / "journal.sqlite3").string();
        }
        const auto started = std::chrono::steady_clock::now();
        if (!std::filesystem::exists(path_)) {
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
                if (i % 20'000 == 19'999) {
                    journal.Flush();  // keeps the queue, two entries a request, under its bound
                }
            }
            journal.Flush();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "journal of %lld requests written in %.1f s, %.0f MB\n",
                     static_cast<long long>(kRequests), seconds,
                     static_cast<double>(std::filesystem::file_size(path_)) / 1e6);
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
            std::filesystem::remove_all(folder_, error);
        }
    }

    JournalReader& Reader() { return *reader_; }
    const std::string& Path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::string path_;
    std::unique_ptr<JournalReader> reader_;
};

inline MillionJournal& Million() {
    static MillionJournal journal;
    return journal;
}

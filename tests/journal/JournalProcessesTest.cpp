#include "journal/Journal.hpp"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "journal/JournalTestSupport.hpp"

namespace {

using std::chrono::milliseconds;

std::set<std::string> Reasons(const std::vector<RequestRecord>& records) {
    std::set<std::string> reasons;
    for (const RequestRecord& record : records) {
        reasons.insert(record.entry.reason);
    }
    return reasons;
}

std::set<std::string> Expected(const std::vector<std::string>& writers, int each) {
    std::set<std::string> reasons;
    for (const std::string& writer : writers) {
        for (int i = 0; i < each; ++i) {
            reasons.insert(writer + Numbered(" ", i));
        }
    }
    return reasons;
}

// Requests in small batches, so that the writers' transactions interleave.
void Write(Journal& journal, const std::string& writer, int count) {
    for (int i = 0; i < count; ++i) {
        journal.Record(Request("edit", "member", writer + Numbered(" ", i)));
        if (i % 50 == 49) {
            std::this_thread::sleep_for(milliseconds(1));
        }
    }
}

JournalOptions Quick(JournalOptions options) {
    options.commitInterval = milliseconds(5);
    return options;
}

using JournalWritersTest = JournalFolderTest;

TEST_F(JournalWritersTest, TwoJournalsOnOneFileLoseNothing) {
    constexpr int kEach = 3000;
    {
        Journal first(Quick(Options()));
        Journal second(Quick(Options()));
        std::thread a([&] { Write(first, "a", kEach); });
        std::thread b([&] { Write(second, "b", kEach); });
        a.join();
        b.join();
        first.Flush();
        second.Flush();
        EXPECT_EQ(first.Failure(), "");
        EXPECT_EQ(second.Failure(), "");
    }
    const auto records = AllRequests();
    EXPECT_EQ(records.size(), 2u * kEach);
    EXPECT_EQ(Reasons(records), Expected({"a", "b"}, kEach));
}

// The child is forked before the parent starts a thread of its own.
TEST_F(JournalWritersTest, TwoProcessesOnOneFileLoseNothing) {
    constexpr int kEach = 3000;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = false;
        {
            Journal journal(Quick(Options()));
            Write(journal, "child", kEach);
            journal.Flush();
            ok = journal.Failure().empty() && journal.Dropped() == 0;
        }
        ::_exit(ok ? 0 : 1);
    }
    {
        Journal journal(Quick(Options()));
        Write(journal, "parent", kEach);
        journal.Flush();
        EXPECT_EQ(journal.Failure(), "");
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const auto records = AllRequests();
    EXPECT_EQ(records.size(), 2u * kEach);
    EXPECT_EQ(Reasons(records), Expected({"child", "parent"}, kEach));
}

// The child's commit interval is an hour: after its flush nothing more is committed, so what
// it queued afterwards dies with it and the file holds exactly what was flushed, undamaged.
TEST_F(JournalWritersTest, ACrashBetweenBatchesKeepsEverythingUpToTheLastCommit) {
    constexpr int kFlushed = 500;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        JournalOptions options = Options();
        options.commitInterval = std::chrono::hours(1);
        // Never destroyed: _exit ends the process under it, as a crash would.
        const auto journal = std::make_unique<Journal>(options);
        Write(*journal, "kept", kFlushed);
        journal->Flush();
        Write(*journal, "lost", 200);
        ::_exit(journal->Failure().empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    EXPECT_EQ(Reasons(AllRequests()), Expected({"kept"}, kFlushed));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(raw);
}

// Without a flush, what is queued is committed within the interval.
TEST_F(JournalWritersTest, EntriesAreCommittedWithinTheIntervalUnasked) {
    Journal journal(Options());  // the default interval
    journal.Record(Request("add", "first"));
    std::this_thread::sleep_for(milliseconds(50));
    journal.Record(Request("add", "second"));
    const auto deadline = std::chrono::steady_clock::now() + milliseconds(1500);
    size_t seen = 0;
    while (std::chrono::steady_clock::now() < deadline && seen < 2) {
        std::this_thread::sleep_for(milliseconds(50));
        std::string error;
        if (auto reader = JournalReader::Open(path_, &error)) {
            seen = reader->Requests({}, {}).size();
        }
    }
    EXPECT_EQ(seen, 2u);
}

}  // namespace

#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "journal/Journal.hpp"
#include "journal/JournalReader.hpp"

// A folder of the test's own, gone afterwards, with the journal's path inside it.
class JournalFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "krv-journal-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        path_ = (root_ / "krvClientA" / "journal.sqlite3").string();
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    JournalOptions Options() const {
        JournalOptions options;
        options.path = path_;
        return options;
    }

    std::unique_ptr<JournalReader> Reader() const {
        std::string error;
        auto reader = JournalReader::Open(path_, &error);
        EXPECT_NE(reader, nullptr) << error;
        return reader;
    }

    // Every request, newest first.
    std::vector<RequestRecord> AllRequests() const {
        auto reader = Reader();
        if (!reader) {
            return {};
        }
        PageRequest page;
        page.limit = 1'000'000;
        auto records = reader->Requests({}, page);
        EXPECT_EQ(reader->Error(), "");
        return records;
    }

    // Rows of the table of logins, read straight from the file.
    int64_t LoginsKept() const {
        sqlite3* raw = nullptr;
        int64_t count = -1;
        if (sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* query = nullptr;
            if (sqlite3_prepare_v2(raw, "SELECT count(*) FROM members", -1, &query, nullptr) == SQLITE_OK &&
                sqlite3_step(query) == SQLITE_ROW) {
                count = sqlite3_column_int64(query, 0);
            }
            sqlite3_finalize(query);
        }
        sqlite3_close(raw);
        return count;
    }

    std::filesystem::path root_;
    std::string path_;
};

// What a journal said, as its writer thread said it.
class NoticeLog {
public:
    JournalNoticeHandler Handler() {
        return [this](const JournalNotice& notice) {
            const std::lock_guard lock(mutex_);
            notices_.push_back(notice);
        };
    }
    std::vector<JournalNotice> Notices() const {
        const std::lock_guard lock(mutex_);
        return notices_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<JournalNotice> notices_;
};

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Appended rather than written "m" + std::to_string(n): g++ 12 at -O3 takes that form for an
// overlapping copy and warns (-Wrestrict) where nothing overlaps.
inline std::string Numbered(std::string prefix, long long number) {
    prefix += std::to_string(number);
    return prefix;
}

inline RequestEntry Request(std::string command, std::string member, std::string reason = {}) {
    RequestEntry entry;
    entry.server = {"10.0.0.5", 4000, "office"};
    entry.administrator = "admin";
    entry.command = std::move(command);
    entry.member = std::move(member);
    entry.reason = std::move(reason);
    return entry;
}

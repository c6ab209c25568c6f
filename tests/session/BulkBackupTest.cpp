#include "session/BulkBackup.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "util/Csv.hpp"

namespace {

namespace fs = std::filesystem;

struct TempFolder {
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "krv-backup-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;
};

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(BulkBackup, TheFolderFollowsTheDataHomeWhenItIsAbsolute) {
    EXPECT_EQ(BackupFolderFor("/data", "/home/ann"), "/data/krvClientA/backups");
    EXPECT_EQ(BackupFolderFor("", "/home/ann"), "/home/ann/.local/share/krvClientA/backups");
    EXPECT_EQ(BackupFolderFor("relative/data", "/home/ann"), "/home/ann/.local/share/krvClientA/backups");
}

TEST(BulkBackup, TheAccountsComeBackFieldForFieldAsImportReadsThem) {
    TkvCLDataCollection members;
    members.AddOrUpdate("bob", "", "", "chat, \"a b\"", "p,w\"1", "b1,b2", true);
    members.AddOrUpdate("carol", "", "", "", "", "", false);
    const std::string text = AccountsBackupCsv(members, {"BOB", "ghost", "carol"});
    CsvReader reader(text);
    std::vector<std::vector<std::string>> rows;
    CsvRecord record;
    while (reader.Next(record)) {
        ASSERT_TRUE(record.error.empty()) << record.error;
        rows.push_back(record.fields);
    }
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"login", "password", "protocols", "user_bots"},
                                                           {"bob", "p,w\"1", "chat,\"a b\"", "b1,b2"},
                                                           {"carol", "", "", ""}}));
}

TEST(BulkBackup, TheFileIsTheOwnersAloneAndNeverOverwritten) {
    TempFolder temp;
    const std::string folder = temp.path + "/made/backups";
    const std::time_t when = 1'800'000'000;
    const BackupWritten first = WriteBackupFile(folder, "delete", when, "login\r\nbob\r\n");
    const BackupWritten second = WriteBackupFile(folder, "delete", when, "login\r\ncarol\r\n");
    ASSERT_TRUE(first.error.empty()) << first.error;
    ASSERT_TRUE(second.error.empty()) << second.error;
    EXPECT_NE(first.path, second.path);
    EXPECT_EQ(second.path.substr(second.path.size() - 6), "-2.csv");
    EXPECT_EQ(ReadAll(first.path), "login\r\nbob\r\n");
    EXPECT_EQ(ReadAll(second.path), "login\r\ncarol\r\n");
    EXPECT_EQ(ModeOf(first.path), static_cast<mode_t>(0600));
    EXPECT_EQ(ModeOf(folder), static_cast<mode_t>(0700));
}

TEST(BulkBackup, AFolderThatCannotBeMadeIsSaidAndNothingIsWritten) {
    TempFolder temp;
    const std::string blocker = temp.path + "/file";
    std::ofstream(blocker) << "x";
    const BackupWritten written = WriteBackupFile(blocker + "/backups", "edit", 0, "login\r\n");
    EXPECT_TRUE(written.path.empty());
    EXPECT_NE(written.error.find("cannot make"), std::string::npos) << written.error;
}

TEST(BulkBackup, TheRestoreCommandQuotesThePathForAShell) {
    EXPECT_EQ(RestoreCommand("/home/ann/b.csv"), "krvadmin import --update '/home/ann/b.csv'");
    EXPECT_EQ(RestoreCommand("/tmp/it's.csv"), "krvadmin import --update '/tmp/it'\\''s.csv'");
}

}  // namespace

#include "settings/SettingsLocation.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

class SettingsLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "krv-location-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        programFolder_ = root_ / "bin";
        fs::create_directory(programFolder_);
        program_ = (programFolder_ / "krvClientA").string();
        beside_ = (programFolder_ / "krvClientA.ini").string();
        userFolder_ = (root_ / "home" / ".config" / "krvClientA").string();
        user_ = userFolder_ + "/krvClientA.ini";
    }
    void TearDown() override {
        fs::permissions(programFolder_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root_);
    }

    bool IsRoot() const { return ::geteuid() == 0; }

    fs::path root_;
    fs::path programFolder_;
    std::string program_;
    std::string beside_;
    std::string userFolder_;
    std::string user_;
};

// The writability is given by the test, so that the branches are checked whoever runs them
// (root writes to read-only files and folders alike).
TEST_F(SettingsLocationTest, BesideTheProgramOnlyWhereTheProgramMayWrite) {
    struct Case {
        const char* name;
        bool fileExists;
        bool folderWritable;
        bool fileWritable;
        bool expectBeside;
    };
    const Case cases[] = {
        {"writable program folder, no file yet", false, true, false, true},
        {"read-only program folder, no file", false, false, false, false},
        {"writable file in a writable folder", true, true, true, true},
        {"read-only file in a writable folder", true, true, false, false},
        {"writable file in a read-only folder (no atomic replace)", true, false, true, false},
        {"read-only file in a read-only folder", true, false, false, false},
    };
    for (const Case& c : cases) {
        fs::remove(beside_);
        if (c.fileExists) {
            std::ofstream(beside_) << "[Client]\n";
        }
        std::set<std::string> asked;
        const WritableTest canWrite = [&](const std::string& path) {
            asked.insert(path);
            if (path == beside_) {
                return c.fileWritable;
            }
            EXPECT_EQ(fs::path(path), programFolder_) << c.name;
            return c.folderWritable;
        };
        const std::string chosen = ChooseSettingsPath(program_, userFolder_, canWrite);
        EXPECT_EQ(chosen, c.expectBeside ? beside_ : user_) << c.name;
        EXPECT_TRUE(asked.count(programFolder_.string())) << c.name;
    }
}

TEST_F(SettingsLocationTest, TheRealTestFollowsTheSystemsAnswer) {
    EXPECT_TRUE(CanWrite(programFolder_.string()));
    EXPECT_FALSE(CanWrite((root_ / "missing" / "krvClientA.ini").string()));
    EXPECT_EQ(ChooseSettingsPath(program_, userFolder_), beside_);

    std::ofstream(beside_) << "[Client]\n";
    fs::permissions(beside_, fs::perms::owner_read);
    fs::permissions(programFolder_, fs::perms::owner_read | fs::perms::owner_exec);
    if (IsRoot()) {
        // Permission bits do not stop root, so there the system answers "writable" and the
        // file beside the program stays in use; the branches are checked above.
        EXPECT_TRUE(CanWrite(beside_));
        EXPECT_EQ(ChooseSettingsPath(program_, userFolder_), beside_);
        GTEST_SKIP() << "running as root: read-only files and folders are writable";
    }
    EXPECT_FALSE(CanWrite(beside_));
    EXPECT_FALSE(CanWrite(programFolder_.string()));
    EXPECT_EQ(ChooseSettingsPath(program_, userFolder_), user_);
}

TEST_F(SettingsLocationTest, ProgramWithoutFolderLooksAtTheCurrentOne) {
    std::set<std::string> asked;
    const WritableTest canWrite = [&](const std::string& path) {
        asked.insert(path);
        return true;
    };
    EXPECT_EQ(ChooseSettingsPath("krvClientA", userFolder_, canWrite), "krvClientA.ini");
    EXPECT_EQ(asked, std::set<std::string>{"."});
}

TEST_F(SettingsLocationTest, TheUsersFolderIsMadeOwnerOnly) {
    ASSERT_TRUE(PrepareSettingsFolder(user_));
    ASSERT_TRUE(fs::is_directory(userFolder_));
    EXPECT_EQ(fs::status(userFolder_).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(user_)) << "only the folder is made; the save writes the file";
}

TEST_F(SettingsLocationTest, AnExistingFolderIsLeftAsItIs) {
    fs::create_directories(userFolder_);
    const fs::perms open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(userFolder_, open);
    EXPECT_TRUE(PrepareSettingsFolder(user_));
    EXPECT_EQ(fs::status(userFolder_).permissions() & fs::perms::all, open);
}

TEST_F(SettingsLocationTest, AFolderThatCannotBeMadeIsReported) {
    std::ofstream((root_ / "home").string()) << "a file where a folder should be";
    EXPECT_FALSE(PrepareSettingsFolder(user_));
}

}  // namespace

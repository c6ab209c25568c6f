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

// What is on disk and what may be written are given by the test, so that the branches are
// checked whoever runs them (root writes to read-only files and folders alike) and for programs
// in folders the test cannot touch.
TEST_F(SettingsLocationTest, BesideTheProgramOnlyWhereTheMarkerSaysSo) {
    struct Case {
        const char* name;
        const char* folder;  // the program's; nullptr for the test's own
        bool marker;
        bool fileExists;
        bool folderWritable;
        bool fileWritable;
        bool expectBeside;
    };
    const Case cases[] = {
        {"marker, writable program folder, no file yet", nullptr, true, false, true, false, true},
        {"marker, read-only program folder, no file", nullptr, true, false, false, false, false},
        {"marker, writable file in a writable folder", nullptr, true, true, true, true, true},
        {"marker, read-only file in a writable folder", nullptr, true, true, true, false, false},
        {"marker, writable file in a read-only folder (no atomic replace)", nullptr, true, true, false, true,
         false},
        {"marker, read-only file in a read-only folder", nullptr, true, true, false, false, false},
        {"no marker, writable program folder", nullptr, false, false, true, false, false},
        {"no marker, writable file in a writable folder", nullptr, false, true, true, true, false},
        // Root may write anywhere: without the marker that must not matter.
        {"root, /usr/bin, no marker", "/usr/bin", false, false, true, true, false},
        {"root, file an older version left beside /usr/bin/krvClientA", "/usr/bin", false, true, true, true,
         false},
        {"root, /usr/bin, a marker and a leftover file", "/usr/bin", true, true, true, true, false},
        {"/usr/local/bin (cmake --install), a marker", "/usr/local/bin", true, false, true, true, false},
        {"/bin through a merged /usr, a marker", "/bin", true, false, true, true, false},
        {"/opt, a marker", "/opt/krv", true, false, true, true, true},
    };
    for (const Case& c : cases) {
        const std::string folder = c.folder != nullptr ? std::string(c.folder) : programFolder_.string();
        const std::string program = folder + "/krvClientA";
        const std::string beside = folder + "/krvClientA.ini";
        const std::string marker = folder + "/krvClientA.portable";
        const ExistsTest exists = [&](const std::string& path) {
            EXPECT_TRUE(path == marker || path == beside) << c.name << ": " << path;
            return path == marker ? c.marker : c.fileExists;
        };
        const WritableTest canWrite = [&](const std::string& path) {
            if (path == beside) {
                return c.fileWritable;
            }
            EXPECT_EQ(path, folder) << c.name;
            return c.folderWritable;
        };
        const std::string chosen = ChooseSettingsPath(program, userFolder_, canWrite, exists);
        EXPECT_EQ(chosen, c.expectBeside ? beside : user_) << c.name;
    }
}

TEST_F(SettingsLocationTest, TheRealTestFollowsTheSystemsAnswer) {
    EXPECT_TRUE(CanWrite(programFolder_.string()));
    EXPECT_FALSE(CanWrite((root_ / "missing" / "krvClientA.ini").string()));
    EXPECT_EQ(ChooseSettingsPath(program_, userFolder_), user_) << "no marker";
    std::ofstream((programFolder_ / "krvClientA.portable").string()) << "";
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
    std::set<std::string> looked;
    const ExistsTest exists = [&](const std::string& path) {
        looked.insert(path);
        return path == "krvClientA.portable";
    };
    EXPECT_EQ(ChooseSettingsPath("krvClientA", userFolder_, canWrite, exists), "krvClientA.ini");
    EXPECT_EQ(asked, std::set<std::string>{"."});
    EXPECT_EQ(looked, (std::set<std::string>{"krvClientA.portable", "krvClientA.ini"}));
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

#include "settings/IniStore.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class IniStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "krv-ini-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = (folder_ / "krvClientA.ini").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string ReadFile() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    IniStore Loaded(const std::string& text) {
        WriteFile(text);
        IniStore ini(path_);
        EXPECT_TRUE(ini.Load());
        return ini;
    }

    fs::path folder_;
    std::string path_;
};

TEST_F(IniStoreTest, ReadsWithFoldedNamesTrimmedValuesAndDefaults) {
    IniStore ini = Loaded(
        "; Port=1\n"
        "[client]\r\n"
        "  port =  5000  \n"
        "Empty=\n"
        "Equals=a=b\n"
        "[ Other ]\n"
        "Port=7\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Client", "Port", "5000"},  {"CLIENT", "PORT", "5000"},   {"Client", "Empty", ""},
        {"Client", "Equals", "a=b"}, {"other", "port", "7"},       {"Client", "Missing", "dflt"},
        {"Missing", "Port", "dflt"}, {"Client", "; Port", "dflt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini.ReadString(c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
    }
}

TEST_F(IniStoreTest, ValuesAreCutAtTheLongestReadableLength) {
    IniStore ini = Loaded("[S]\nK=" + std::string(3000, 'v') + "\n");
    EXPECT_EQ(ini.ReadString("S", "K", ""), std::string(IniStore::kMaxValueLength, 'v'));
}

TEST_F(IniStoreTest, WritesInPlaceAtSectionEndAndAsNewSectionKeepingEverythingElse) {
    IniStore ini = Loaded(
        "; settings\n"
        "[Client]\n"
        "PORT = 1\n"
        "Unknown=keep me\n"
        "\n"
        "[Parameters]\n"
        "wndMain=1,2,3,4\n");
    ASSERT_TRUE(ini.WriteString("client", "port", "5000"));
    ASSERT_TRUE(ini.WriteString("Client", "Host", "h"));
    ASSERT_TRUE(ini.WriteString("Extra", "Key", "v"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(),
              "; settings\n"
              "[Client]\n"
              "PORT =5000\n"
              "Unknown=keep me\n"
              "Host=h\n"
              "\n"
              "[Parameters]\n"
              "wndMain=1,2,3,4\n"
              "\n"
              "[Extra]\n"
              "Key=v\n");
}

TEST_F(IniStoreTest, KeepsWindowsLineEndsAndOtherBytes) {
    IniStore ini = Loaded("[S]\r\nK=\xe9t\xe9\r\n");
    ASSERT_TRUE(ini.WriteString("S", "L", "\xff"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(), "[S]\r\nK=\xe9t\xe9\r\nL=\xff\r\n");
}

TEST_F(IniStoreTest, MissingFileIsEmptyAndSaveCreatesItOwnerOnly) {
    IniStore ini(path_);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
    ASSERT_TRUE(ini.WriteString("S", "K", "v"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(), "[S]\nK=v\n");
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(IniStoreTest, RefusesTextThatWouldBreakTheFileStructure) {
    IniStore ini = Loaded("[S]\nK=old\n");
    for (std::string bad : {std::string("a\nb"), std::string("a\rb"), std::string("a\0b", 3)}) {
        EXPECT_FALSE(ini.WriteString("S", "K", bad));
        EXPECT_FALSE(ini.WriteString("S", bad, "v"));
        EXPECT_FALSE(ini.WriteString(bad, "K", "v"));
    }
    EXPECT_FALSE(ini.WriteString("S", "K=", "v"));
    EXPECT_EQ(ini.Text(), "[S]\nK=old\n");
}

TEST_F(IniStoreTest, FailedSaveLeavesTheOldFileWholeAndReportsWhy) {
    WriteFile("[S]\nK=old\n");
    // A path under a regular file can never be created, not even by root, whatever the
    // permission bits say.
    IniStore blocked(path_ + "/sub.ini");
    ASSERT_TRUE(blocked.Load());
    ASSERT_TRUE(blocked.WriteString("S", "K", "new"));
    EXPECT_FALSE(blocked.Save());
    EXPECT_NE(blocked.LastError().find(path_), std::string::npos) << blocked.LastError();

    // Renaming onto a folder fails after the temporary file was written: the target folder
    // and its neighbour stay as they were and no temporary file is left behind.
    fs::create_directory(folder_ / "taken.ini");
    IniStore taken((folder_ / "taken.ini").string());
    ASSERT_TRUE(taken.WriteString("S", "K", "new"));
    EXPECT_FALSE(taken.Save());
    EXPECT_TRUE(fs::is_directory(folder_ / "taken.ini"));
    EXPECT_EQ(ReadFile(), "[S]\nK=old\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

TEST_F(IniStoreTest, SaveWritesThroughSymbolicLinksToTheirTarget) {
    fs::create_directory(folder_ / "real");
    const fs::path target = folder_ / "real" / "settings.ini";
    std::ofstream(target, std::ios::binary) << "[S]\nK=old\n";
    struct Case {
        const char* label;
        fs::path linkTarget;
    };
    const Case cases[] = {{"absolute", target}, {"relative", fs::path("real") / "settings.ini"}};
    for (const auto& c : cases) {
        fs::remove(path_);
        fs::create_symlink(c.linkTarget, path_);
        IniStore ini(path_);
        ASSERT_TRUE(ini.Load()) << c.label;
        ASSERT_TRUE(ini.WriteString("S", "K", c.label)) << c.label;
        ASSERT_TRUE(ini.Save()) << c.label << ": " << ini.LastError();
        EXPECT_TRUE(fs::is_symlink(path_)) << c.label;
        EXPECT_EQ(ReadFile(), std::string("[S]\nK=") + c.label + "\n") << c.label;
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << c.label;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "real"), fs::directory_iterator()), 1)
            << c.label;
    }
}

TEST_F(IniStoreTest, AReadOnlyFileIsNotReplaced) {
    WriteFile("[S]\nK=old\n");
    fs::permissions(path_, fs::perms::owner_read);
    IniStore ini(path_);
    ASSERT_TRUE(ini.Load());
    ASSERT_TRUE(ini.WriteString("S", "K", "new"));
    EXPECT_FALSE(ini.Save());
    EXPECT_NE(ini.LastError().find("read-only"), std::string::npos) << ini.LastError();
    EXPECT_EQ(ReadFile(), "[S]\nK=old\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// A save killed between creating its temporary file and renaming it leaves the file behind; a
// fresh one may be another save in progress and stays.
TEST_F(IniStoreTest, TheNextSaveRemovesTemporaryFilesOfKilledSaves) {
    const fs::path orphan = folder_ / "krvClientA.ini.save-Ab12Cd";
    const fs::path fresh = folder_ / "krvClientA.ini.save-Zz99Yy";
    const fs::path unrelated = folder_ / "krvClientA.ini.backup";
    for (const auto& file : {orphan, fresh, unrelated}) {
        std::ofstream(file) << "x";
    }
    fs::last_write_time(orphan, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    fs::last_write_time(unrelated, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    IniStore ini(path_);
    ASSERT_TRUE(ini.WriteString("S", "K", "v"));
    ASSERT_TRUE(ini.Save());
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(unrelated));
}

TEST_F(IniStoreTest, UnreadableFileIsReportedAndReadsAsEmpty) {
    fs::create_directory(path_);
    IniStore ini(path_);
    EXPECT_FALSE(ini.Load());
    EXPECT_FALSE(ini.LastError().empty());
    EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");
}

}  // namespace

#include "settings/StoredSettings.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "util/EncryptIt.hpp"

namespace {

namespace fs = std::filesystem;

class StoredSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "krv-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = (folder_ / "krvClientA.ini").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    StoredSettings ReadFrom(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
        IniStore ini(path_);
        EXPECT_TRUE(ini.Load());
        return ReadStoredSettings(ini);
    }

    fs::path folder_;
    std::string path_;
};

TEST_F(StoredSettingsTest, MissingFileGivesEveryDefault) {
    StoredSettings defaults;
    EXPECT_EQ(ReadFrom(""), defaults);
    EXPECT_EQ(defaults.heartbeat, 10);
    EXPECT_TRUE(defaults.reconnectOn);
    EXPECT_EQ(defaults.reconnectDelay, 10);
    EXPECT_EQ(defaults.reconnectAttempts, 6);
    EXPECT_EQ(defaults.reconnectPause, 60);
    EXPECT_EQ(defaults.reconnectCycles, -1);
}

TEST_F(StoredSettingsTest, ValuesAreConvertedAsTheFileHasAlwaysBeenRead) {
    struct Case {
        const char* file;
        void (*check)(const StoredSettings&);
    } cases[] = {
        {"[Parameters]\nwndMain=100, 200\n",
         [](const StoredSettings& s) {
             EXPECT_EQ(std::pair(s.windowLeft, s.windowTop), std::pair(100, 200));
         }},
        {"[Parameters]\nwndMain=-40,99999,5,6\n",
         [](const StoredSettings& s) {
             EXPECT_EQ(std::pair(s.windowLeft, s.windowTop), std::pair(-40, 99999));
         }},
        {"[Parameters]\nwndMain=x,7\n",
         [](const StoredSettings& s) { EXPECT_EQ(std::pair(s.windowLeft, s.windowTop), std::pair(0, 7)); }},
        {"[Client]\nPassword=?abc\n", [](const StoredSettings& s) { EXPECT_EQ(s.password, "abc"); }},
        {"[Client]\nPassword=?\n", [](const StoredSettings& s) { EXPECT_EQ(s.password, ""); }},
        {"[Client]\nPassword=42E1\n", [](const StoredSettings& s) { EXPECT_EQ(s.password, "ab"); }},
        {"[Client]\nReconnectOn=yes\n", [](const StoredSettings& s) { EXPECT_TRUE(s.reconnectOn); }},
        {"[Client]\nReconnectOn=0\n", [](const StoredSettings& s) { EXPECT_FALSE(s.reconnectOn); }},
        {"[Client]\nReconnectOn=2\n", [](const StoredSettings& s) { EXPECT_TRUE(s.reconnectOn); }},
        {"[Client]\nPort=0x50\n", [](const StoredSettings& s) { EXPECT_EQ(s.port, 80); }},
        {"[Client]\nPort=0X50\n", [](const StoredSettings& s) { EXPECT_EQ(s.port, 80); }},
        {"[Client]\nPort=$50\n", [](const StoredSettings& s) { EXPECT_EQ(s.port, 80); }},
        {"[Client]\nPort=0x\n", [](const StoredSettings& s) { EXPECT_EQ(s.port, 0); }},
        {"[Client]\nPort=80x\n", [](const StoredSettings& s) { EXPECT_EQ(s.port, 0); }},
        {"[client]\nport=5000\nhost= 192.0.2.7 \n",
         [](const StoredSettings& s) {
             EXPECT_EQ(std::pair(s.port, s.host), std::pair(5000, std::string("192.0.2.7")));
         }},
        {"[Client]\nReconnectDelay=-5\nReconnectAttempts=-3\nHeartbeat=3\n",
         [](const StoredSettings& s) {
             // Passed on as read: the link and the window apply their own limits.
             EXPECT_EQ(s.reconnectDelay, -5);
             EXPECT_EQ(s.reconnectAttempts, -3);
             EXPECT_EQ(s.heartbeat, 3);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        c.check(ReadFrom(c.file));
    }
}

TEST_F(StoredSettingsTest, NewFileHoldsTheElevenKeysInOrderAndReadsBackTheSame) {
    StoredSettings s;
    s.windowLeft = 10;
    s.windowTop = 20;
    s.windowWidth = 640;
    s.windowHeight = 480;
    s.login = "admin";
    s.password = "abc";
    s.host = "192.0.2.7";
    s.port = 5000;
    s.reconnectOn = false;
    s.reconnectCycles = 3;
    IniStore ini(path_);
    ASSERT_TRUE(WriteStoredSettings(ini, s));
    ASSERT_TRUE(ini.Save());
    std::string scrambled = EncryptToHex("abc", kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
    EXPECT_EQ(
        ini.Text(),
        "[Parameters]\nwndMain=10,20,640,480\n\n[Client]\nHeartbeat=10\nLogin=admin\nPassword=" + scrambled +
            "\nHost=192.0.2.7\nPort=5000\nReconnectOn=0\nReconnectDelay=10\nReconnectAttempts=6\n"
            "ReconnectPause=60\nReconnectCycles=3\n");
    EXPECT_EQ(scrambled.size(), 6u);

    StoredSettings back = ReadFrom(ini.Text());
    s.windowWidth = s.windowHeight = 0;  // the size is not read back
    EXPECT_EQ(back, s);
}

// The journal's keys are read only: a file without them is written as before, one with them
// keeps them as the administrator wrote them.
TEST_F(StoredSettingsTest, TheJournalsKeysAreReadAndLeftAsTheyWere) {
    const struct {
        const char* file;
        bool on;
        int32_t days;
        int32_t megabytes;
    } cases[] = {
        {"", true, 180, 200},
        {"[Journal]\nOn=0\nMaxAgeDays=30\nMaxMegabytes=50\n", false, 30, 50},
        {"[Journal]\nMaxAgeDays=0\nMaxMegabytes=-5\n", true, 180, 200},
        {"[Journal]\nMaxAgeDays=lots\n", true, 180, 200},
    };
    for (const auto& c : cases) {
        const StoredSettings s = ReadFrom(c.file);
        EXPECT_EQ(s.journalOn, c.on) << c.file;
        EXPECT_EQ(s.journalMaxAgeDays, c.days) << c.file;
        EXPECT_EQ(s.journalMaxMegabytes, c.megabytes) << c.file;
    }
    const StoredSettings defaults = ReadFrom("");
    IniStore ini(path_);
    ASSERT_TRUE(ini.Load());
    ASSERT_TRUE(WriteStoredSettings(ini, defaults));
    EXPECT_EQ(ini.Text().find("Journal"), std::string::npos);
    std::ofstream(path_, std::ios::binary) << "[Journal]\nMaxAgeDays=30\n";
    IniStore kept(path_);
    ASSERT_TRUE(kept.Load());
    ASSERT_TRUE(WriteStoredSettings(kept, ReadStoredSettings(kept)));
    EXPECT_NE(kept.Text().find("[Journal]\nMaxAgeDays=30\n"), std::string::npos) << kept.Text();
}

TEST_F(StoredSettingsTest, SaveStopsAtAKeyThatCannotBeStored) {
    StoredSettings s;
    s.login = "ad\nmin";
    IniStore ini(path_);
    EXPECT_FALSE(WriteStoredSettings(ini, s));
    EXPECT_EQ(ini.ReadString("Client", "Heartbeat", ""), "10");
    EXPECT_EQ(ini.ReadString("Client", "Password", "none"), "none");
}

TEST(StoredSettings, ClampAndFileName) {
    EXPECT_EQ(ClampToScreen(-5, 1024), 0);
    EXPECT_EQ(ClampToScreen(500, 1024), 500);
    EXPECT_EQ(ClampToScreen(5000, 1024), 992);
    EXPECT_EQ(SettingsPathFor("/opt/krv/krvClientA"), "/opt/krv/krvClientA.ini");
    EXPECT_EQ(SettingsPathFor("/opt/krv/krvClientA.exe"), "/opt/krv/krvClientA.ini");
    EXPECT_EQ(SettingsPathFor("/opt/k.rv/krvClientA"), "/opt/k.rv/krvClientA.ini");
    EXPECT_EQ(SettingsPathFor("/opt/krv/.hidden"), "/opt/krv/.hidden.ini");
}

}  // namespace

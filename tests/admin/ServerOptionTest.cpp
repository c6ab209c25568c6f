#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "admin/AdminArguments.hpp"
#include "admin/ConnectionTarget.hpp"
#include "settings/IniStore.hpp"
#include "settings/SavedServers.hpp"

namespace {

namespace fs = std::filesystem;

// krvadmin --server NAME: a server the window saved.
class ServerOptionTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "krv-server-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = (folder_ / "krvClientA.ini").string();
        IniStore ini(path_);
        ini.SetText("[Client]\nHost=inuse.test\nPort=1\nLogin=inuse\nPassword=?inuse-pw\n");
        SavedServer prod;
        prod.name = "Prod";
        prod.host = "prod.test";
        prod.port = 7001;
        prod.login = "root";
        prod.password = "prod-pw";
        prod.reconnectDelay = 4;
        SavedServer asked = prod;
        asked.name = "Asked";
        asked.rememberPassword = false;
        SavedServer inKeyring = prod;
        inKeyring.name = "Keyring";
        inKeyring.password.clear();
        ASSERT_TRUE(WriteSavedServer(ini, prod) && WriteSavedServer(ini, asked) &&
                    WriteSavedServer(ini, inKeyring));
        ASSERT_TRUE(ini.Save());
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
    std::string path_;
};

TEST_F(ServerOptionTest, ParsedBeforeOrAfterTheCommand) {
    for (const auto& arguments : {std::vector<std::string>{"--server", "Prod", "list"},
                                  std::vector<std::string>{"list", "--server", "Prod"}}) {
        const ParsedArguments parsed = ParseAdminArguments(arguments);
        EXPECT_TRUE(parsed.error.empty()) << parsed.error;
        EXPECT_EQ(parsed.connection.server, "Prod");
    }
}

TEST_F(ServerOptionTest, TheServerAndWhereItsPasswordComesFrom) {
    struct Case {
        const char* server;
        const char* environment;
        std::optional<std::string> password;
        ConnectionTarget::PasswordSource source;
        bool keyringAsked;
        const char* savedName;  // as the journal names the server
    } cases[] = {
        {"prod", nullptr, "prod-pw", ConnectionTarget::PasswordSource::SettingsFile, true, "Prod"},
        {"PROD", "from-env", "from-env", ConnectionTarget::PasswordSource::Environment, false, "Prod"},
        // Not remembered: asked on the terminal, as the window asks it at every connect.
        {"Asked", nullptr, std::nullopt, ConnectionTarget::PasswordSource::None, true, "Asked"},
        {"Keyring", nullptr, std::nullopt, ConnectionTarget::PasswordSource::None, true, "Keyring"},
    };
    for (const Case& c : cases) {
        ConnectionOptions options;
        options.server = c.server;
        ConnectionTarget target;
        std::string error;
        // The window's file, as krvadmin finds it without --settings.
        ASSERT_TRUE(ResolveConnectionTarget(options, c.environment, target, error, path_)) << error;
        EXPECT_EQ(target.host, "prod.test") << c.server;
        EXPECT_EQ(target.port, 7001);
        EXPECT_EQ(target.login, "root");
        EXPECT_EQ(target.schedule.reconnectDelay, 4);
        EXPECT_EQ(target.password, c.password) << c.server;
        EXPECT_EQ(target.passwordSource, c.source) << c.server;
        EXPECT_EQ(target.MayAskKeyring(), c.keyringAsked) << c.server;
        EXPECT_EQ(target.serverName, c.savedName) << c.server;
    }
}

TEST_F(ServerOptionTest, SettingsOptionNamesTheFileAndOptionsWin) {
    ConnectionOptions options;
    options.server = "prod";
    options.settingsFile = path_;
    options.port = 7999;
    ConnectionTarget target;
    std::string error;
    ASSERT_TRUE(ResolveConnectionTarget(options, nullptr, target, error, "/nonexistent/krvClientA.ini"))
        << error;
    EXPECT_EQ(target.host, "prod.test");
    EXPECT_EQ(target.port, 7999);
}

TEST_F(ServerOptionTest, AnUnknownServerIsAnError) {
    ConnectionOptions options;
    options.server = "Lab";
    ConnectionTarget target;
    std::string error;
    EXPECT_FALSE(ResolveConnectionTarget(options, nullptr, target, error, path_));
    EXPECT_NE(error.find("no server named Lab"), std::string::npos) << error;
}

TEST_F(ServerOptionTest, TheWindowsFileIsFoundWhereTheWindowKeepsIt) {
    // Installed: the user's configuration folder.
    EXPECT_EQ(WindowSettingsPath("/usr/bin/krvadmin", "/home/u/.config"),
              "/home/u/.config/krvClientA/krvClientA.ini");
    // A build tree: the window one folder up, with the marker that keeps its file beside it.
    fs::create_directories(folder_ / "admin");
    std::ofstream(folder_ / "krvClientA") << "";
    std::ofstream(folder_ / "krvClientA.portable") << "";
    EXPECT_EQ(fs::path(WindowSettingsPath((folder_ / "admin" / "krvadmin").string(), "/home/u/.config")),
              folder_ / "admin" / ".." / "krvClientA.ini");
}

}  // namespace

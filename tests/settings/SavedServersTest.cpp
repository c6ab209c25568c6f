#include "settings/SavedServers.hpp"

#include <gtest/gtest.h>

#include <string>

#include "settings/PasswordPlace.hpp"

namespace {

// A file as the program wrote it before servers could be saved.
constexpr const char* kTodaysFile =
    "[Parameters]\r\nwndMain=10,20,300,400\r\n\r\n[Client]\r\nHeartbeat=10\r\nLogin=admin\r\n"
    "Password=?secret\r\nHost=example.test\r\nPort=7000\r\nReconnectOn=1\r\nReconnectDelay=5\r\n"
    "ReconnectAttempts=3\r\nReconnectPause=30\r\nReconnectCycles=-1\r\n";

IniStore FromText(const std::string& text) {
    IniStore ini("unused.ini");
    ini.SetText(text);
    return ini;
}

SavedServer Server(std::string name, std::string host, int32_t port, std::string login) {
    SavedServer s;
    s.name = std::move(name);
    s.host = std::move(host);
    s.port = port;
    s.login = std::move(login);
    return s;
}

TEST(SavedServersTest, TodaysFileHasNoServersAndReadsAsBefore) {
    const IniStore ini = FromText(kTodaysFile);
    EXPECT_TRUE(ReadSavedServers(ini).empty());
    EXPECT_TRUE(ReadRecentConnections(ini).empty());
    const StoredSettings s = ReadStoredSettings(ini);
    EXPECT_EQ(s.host, "example.test");
    EXPECT_EQ(s.password, "secret");
    const PasswordPolicy policy = ReadPasswordPolicy(ini);
    EXPECT_TRUE(policy.remember);
    EXPECT_FALSE(policy.inFile);
}

// What the program of today reads is the "Parameters" and "Client" sections; saving servers and
// recent connections must leave every byte of them as it was.
TEST(SavedServersTest, ServersLeaveTheConnectionInUseByteForByte) {
    IniStore ini = FromText(kTodaysFile);
    SavedServer prod = Server("Prod", "prod.test", 7001, "root");
    prod.rememberPassword = false;
    prod.reach = "plain";
    ASSERT_TRUE(WriteSavedServer(ini, prod));
    ASSERT_TRUE(WriteSavedServer(ini, Server("Lab one", "10.0.0.2", 7002, "admin")));
    ASSERT_TRUE(RememberRecentConnection(ini, {"admin", "example.test", 7000}));
    ASSERT_TRUE(WritePasswordPolicy(ini, PasswordPolicy{}));
    const std::string text = ini.Text();
    EXPECT_EQ(text.substr(0, std::string(kTodaysFile).size()), kTodaysFile);

    const IniStore reread = FromText(text);
    EXPECT_EQ(ReadStoredSettings(reread), ReadStoredSettings(FromText(kTodaysFile)));
    const std::vector<SavedServer> servers = ReadSavedServers(reread);
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0], prod);
    EXPECT_EQ(servers[1], Server("Lab one", "10.0.0.2", 7002, "admin"));
    EXPECT_EQ(ReadRecentConnections(reread),
              (std::vector<RecentConnection>{{"admin", "example.test", 7000}}));
}

TEST(SavedServersTest, NamesAreComparedWithoutLetterCase) {
    IniStore ini = FromText(kTodaysFile);
    ASSERT_TRUE(WriteSavedServer(ini, Server("Prod", "a.test", 1, "x")));
    ASSERT_TRUE(FindSavedServer(ini, "PROD").has_value());
    // Saving under the same name in another case replaces the server, under the new spelling.
    ASSERT_TRUE(WriteSavedServer(ini, Server("prod", "b.test", 2, "y")));
    const std::vector<SavedServer> servers = ReadSavedServers(ini);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0], Server("prod", "b.test", 2, "y"));
}

TEST(SavedServersTest, RenameAndDelete) {
    IniStore ini = FromText(kTodaysFile);
    ASSERT_TRUE(WriteSavedServer(ini, Server("A", "a.test", 1, "x")));
    ASSERT_TRUE(WriteSavedServer(ini, Server("B", "b.test", 2, "y")));
    struct Case {
        const char* from;
        const char* to;
        bool done;
    } cases[] = {
        {"A", "b", false},                          // taken by another server
        {"A", "", false},                           // not a name
        {"A", " C", false},                         // blanks around it would be lost
        {"A", "C]x", false},                        // would end the section header
        {"missing", "D", false}, {"A", "a", true},  // a change of case alone
        {"a", "C", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RenameSavedServer(ini, c.from, c.to), c.done) << c.from << " -> " << c.to;
    }
    std::vector<SavedServer> servers = ReadSavedServers(ini);
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[1], Server("C", "a.test", 1, "x"));
    EXPECT_FALSE(DeleteSavedServer(ini, "A"));
    EXPECT_TRUE(DeleteSavedServer(ini, "c"));
    servers = ReadSavedServers(ini);
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0].name, "B");
    // Nothing of the deleted server is left, nor a gap where it stood.
    EXPECT_EQ(ini.Text().find("a.test"), std::string::npos);
    EXPECT_EQ(ini.Text().find("\r\n\r\n\r\n"), std::string::npos);
}

TEST(SavedServersTest, ScrambledPasswordOfAServerIsReadBack) {
    IniStore ini = FromText("");
    SavedServer s = Server("A", "a.test", 1, "x");
    s.password = "pa ss";
    ASSERT_TRUE(WriteSavedServer(ini, s));
    EXPECT_EQ(ini.Text().find("pa ss"), std::string::npos);
    EXPECT_EQ(FindSavedServer(ini, "a")->password, "pa ss");
}

TEST(SavedServersTest, RecentConnectionsNewestFirstWithoutRepeats) {
    IniStore ini = FromText("");
    for (int port = 1; port <= 7; ++port) {
        ASSERT_TRUE(RememberRecentConnection(ini, {"admin", "h.test", port}));
    }
    ASSERT_TRUE(RememberRecentConnection(ini, {"admin", "h.test", 4}));
    std::vector<int32_t> ports;
    for (const RecentConnection& c : ReadRecentConnections(ini)) {
        ports.push_back(c.port);
    }
    EXPECT_EQ(ports, (std::vector<int32_t>{4, 7, 6, 5, 3}));
}

TEST(SavedServersTest, ConnectionKeys) {
    struct Case {
        const char* key;
        std::optional<RecentConnection> parsed;
    } cases[] = {
        {"admin@host.test:7000", RecentConnection{"admin", "host.test", 7000}},
        {"a@b@host.test:1", RecentConnection{"a@b", "host.test", 1}},
        {"admin@::1:7000", RecentConnection{"admin", "::1", 7000}},
        {"admin@host.test", std::nullopt},
        {"@host.test:7000", std::nullopt},
        {"admin@:7000", std::nullopt},
        {"admin@host.test:0", std::nullopt},
        {"admin@host.test:70000", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseConnectionKey(c.key), c.parsed) << c.key;
        if (c.parsed) {
            EXPECT_EQ(ConnectionKey(c.parsed->login, c.parsed->host, c.parsed->port), c.key);
        }
    }
}

TEST(SavedServersTest, ServerInUseAndBack) {
    StoredSettings settings = ReadStoredSettings(FromText(kTodaysFile));
    const SavedServer saved = ServerFromSettings("Today", settings);
    EXPECT_TRUE(IsServerInUse(saved, settings));
    StoredSettings other;
    other.heartbeat = 50;
    ApplyServerToSettings(saved, other);
    EXPECT_TRUE(IsServerInUse(saved, other));
    EXPECT_EQ(other.heartbeat, 50);
    EXPECT_EQ(other.reconnectDelay, 5);
    EXPECT_EQ(other.reconnectAttempts, 3);
    other.port = 7001;
    EXPECT_FALSE(IsServerInUse(saved, other));
}

TEST(PasswordPlaceTest, WhereThePasswordIsKept) {
    struct Case {
        PasswordPolicy policy;
        KeyringState keyring;
        PasswordPlace place;
    } cases[] = {
        {{true, false}, KeyringState::Absent, PasswordPlace::File},
        {{true, false}, KeyringState::Usable, PasswordPlace::Keyring},
        {{true, false}, KeyringState::Unusable, PasswordPlace::Nowhere},
        {{true, true}, KeyringState::Usable, PasswordPlace::File},
        {{true, true}, KeyringState::Unusable, PasswordPlace::File},
        {{false, false}, KeyringState::Usable, PasswordPlace::Nowhere},
        {{false, true}, KeyringState::Absent, PasswordPlace::Nowhere},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChoosePasswordPlace(c.policy, c.keyring), c.place)
            << c.policy.remember << c.policy.inFile << static_cast<int>(c.keyring);
    }
    EXPECT_TRUE(ShouldMoveToKeyring({}, KeyringState::Usable, "x"));
    EXPECT_FALSE(ShouldMoveToKeyring({}, KeyringState::Usable, ""));
    EXPECT_FALSE(ShouldMoveToKeyring({}, KeyringState::Unusable, "x"));
    EXPECT_FALSE(ShouldMoveToKeyring({true, true}, KeyringState::Usable, "x"));
}

TEST(PasswordPlaceTest, PolicyKeysAreWrittenOnlyWhenTheyDifferFromBefore) {
    IniStore ini = FromText(kTodaysFile);
    ASSERT_TRUE(WritePasswordPolicy(ini, PasswordPolicy{}));
    EXPECT_EQ(ini.Text(), kTodaysFile);
    ASSERT_TRUE(WritePasswordPolicy(ini, PasswordPolicy{false, true}));
    EXPECT_FALSE(ReadPasswordPolicy(ini).remember);
    EXPECT_TRUE(ReadPasswordPolicy(ini).inFile);
    // Once there, a key follows the choice back.
    ASSERT_TRUE(WritePasswordPolicy(ini, PasswordPolicy{}));
    EXPECT_TRUE(ReadPasswordPolicy(ini).remember);
    EXPECT_FALSE(ReadPasswordPolicy(ini).inFile);
}

}  // namespace

#include "admin/ConnectionTarget.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "util/EncryptIt.hpp"

namespace {

class ConnectionTargetTest : public testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = testing::TempDir() + "krvadmin_" + name;
        std::ofstream(path, std::ios::binary) << text;
        written_.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string& path : written_) {
            std::remove(path.c_str());
        }
    }

private:
    std::vector<std::string> written_;
};

TEST_F(ConnectionTargetTest, TakesHostPortLoginAndTheScrambledPasswordFromTheSettingsFile) {
    const std::string scrambled =
        EncryptToHex("s3cret", kPasswordInitialKey, kPasswordMultiplier, kPasswordIncrement);
    ConnectionOptions options;
    options.settingsFile = Write(
        "a.ini", "[Client]\r\nHost=example.invalid\r\nPort=6671\r\nLogin=root\r\nPassword=" + scrambled +
                     "\r\nReconnectDelay=3\r\n");
    ConnectionTarget target;
    std::string error;
    ASSERT_TRUE(ResolveConnectionTarget(options, nullptr, target, error)) << error;
    EXPECT_EQ(target.host, "example.invalid");
    EXPECT_EQ(target.port, 6671);
    EXPECT_EQ(target.login, "root");
    EXPECT_EQ(target.password, "s3cret");
    EXPECT_EQ(target.schedule.reconnectDelay, 3);

    // Options win over the file, the variable over the file's password, a password file over both.
    options.host = "127.0.0.1";
    options.login = "other";
    ASSERT_TRUE(ResolveConnectionTarget(options, "from-env", target, error));
    EXPECT_EQ(target.host, "127.0.0.1");
    EXPECT_EQ(target.login, "other");
    EXPECT_EQ(target.password, "from-env");
    options.passwordFile = Write("pw", "from-file\r\nsecond line\n");
    ASSERT_TRUE(ResolveConnectionTarget(options, "from-env", target, error));
    EXPECT_EQ(target.password, "from-file");
}

TEST_F(ConnectionTargetTest, WithoutAnyPasswordSourceThePasswordIsLeftToAsk) {
    ConnectionOptions options;
    options.host = "h";
    options.port = 1;
    options.login = "me";
    ConnectionTarget target;
    std::string error;
    ASSERT_TRUE(ResolveConnectionTarget(options, nullptr, target, error));
    EXPECT_FALSE(target.password.has_value());
    ASSERT_TRUE(ResolveConnectionTarget(options, "", target, error));
    EXPECT_EQ(target.password, "");
}

TEST_F(ConnectionTargetTest, SaysWhatIsMissingOrUnreadable) {
    ConnectionOptions options;
    options.host = "h";
    ConnectionTarget target;
    std::string error;
    EXPECT_FALSE(ResolveConnectionTarget(options, nullptr, target, error));
    EXPECT_NE(error.find("host, port and login are needed"), std::string::npos);

    options.port = 1;
    options.login = "me";
    options.passwordFile = testing::TempDir() + "krvadmin_no_such_file";
    EXPECT_FALSE(ResolveConnectionTarget(options, nullptr, target, error));
    EXPECT_NE(error.find("cannot read the password file"), std::string::npos);
}

}  // namespace

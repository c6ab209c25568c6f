#include "protocol/AdminRequest.hpp"

#include <string>

#include <gtest/gtest.h>

#include "protocol/ProtocolCodes.hpp"

namespace {

TEST(AdminRequest, LinesAreBuiltFieldByField) {
    EXPECT_EQ(AccountRequestLine(RequestCode::AddAccount, {"carol", "", "a, b", "x"}), "ADA_carol:,a, b;x");
    EXPECT_EQ(AccountRequestLine(RequestCode::EditAccount, {"", "", "", ""}), "ADE_:,;");
    EXPECT_EQ(LoginRequestLine(RequestCode::Expel, "bob"), "ADX_bob:");
    EXPECT_EQ(LoginRequestLine(RequestCode::LogoffAllButRequester, ""), "AEX_:");
    EXPECT_EQ(LoginRequestLine(RequestCode::Reconnect, "bob", ReconnectRequestArguments(5000, "192.0.2.7")),
              "ACR_bob:5 , 5000 , 192.0.2.7");
    EXPECT_EQ(ReconnectRequestArguments(-1, ""), "5 , -1 , ");
}

TEST(AdminRequest, EveryFieldIsRefusedForWhatWouldCutOrShiftTheLine) {
    struct Case {
        AccountFields fields;
        const char* reason;  // empty: sendable
    } cases[] = {
        {{"bob", "pw", "chat admin", "b1,b2"}, ""},
        {{"b o b", "p:w=", "a,b", "x,y"}, ""},
        {{"a\rb", "", "", ""}, "The login cannot contain a carriage return, so nothing was sent."},
        {{"a", "p\nw", "", ""}, "The password cannot contain a line feed, so nothing was sent."},
        {{"a", "", std::string("x\0y", 3), ""},
         "The protocols cannot contain a zero byte, so nothing was sent."},
        {{"a", "", "", "\n"}, "The user bots cannot contain a line feed, so nothing was sent."},
        {{"a:", "", "", ""}, "The login cannot contain the character \":\", so nothing was sent."},
        {{"=a", "", "", ""}, "The login cannot contain the character \"=\", so nothing was sent."},
        {{"a", ",", "", ""}, "The password cannot contain the character \",\", so nothing was sent."},
        {{"a", "", ";", ""}, "The protocols cannot contain the character \";\", so nothing was sent."},
        {{"a", "", "", "b;"}, "The user bots cannot contain the character \";\", so nothing was sent."},
        // The first field in line order is named, and a line break wins over a separator.
        {{"a:", ",", "", ""}, "The login cannot contain the character \":\", so nothing was sent."},
        {{"a:\n", "", "", ""}, "The login cannot contain a line feed, so nothing was sent."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UnsendableAccountFields(c.fields), c.reason) << c.fields.login << "|" << c.fields.password;
    }
    EXPECT_EQ(UnsendableLogin("bob"), "");
    EXPECT_EQ(UnsendableLogin("b=b"), "The login cannot contain the character \"=\", so nothing was sent.");
}

}  // namespace

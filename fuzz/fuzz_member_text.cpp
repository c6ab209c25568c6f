// A member text split into its fields: every field is trimmed and free of the separator that
// ends it, the member is online exactly when a presence field is filled, and the fields
// written back in the text's own form split into the same fields.
#include <cstdint>
#include <string>
#include <string_view>

#include "Require.hpp"
#include "members/MemberText.hpp"
#include "util/untCalc1.hpp"

namespace {

bool Same(const TkvMemberText& a, const TkvMemberText& b) {
    return a.Login == b.Login && a.Presence1 == b.Presence1 && a.Presence2 == b.Presence2 &&
           a.ProtocolsText == b.ProtocolsText && a.Password == b.Password &&
           a.UserBotsText == b.UserBotsText && a.Online == b.Online;
}

bool Clean(const std::string& field, char separator) {
    return Trim(field) == field && field.find(separator) == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TkvMemberText member = ParseMemberText(std::string_view(reinterpret_cast<const char*>(data), size));
    KRV_REQUIRE(Clean(member.Presence1, ','));
    KRV_REQUIRE(Clean(member.Presence2, ','));
    KRV_REQUIRE(Clean(member.Login, '='));
    KRV_REQUIRE(Clean(member.Password, ','));
    KRV_REQUIRE(Clean(member.ProtocolsText, ';'));
    KRV_REQUIRE(Clean(member.UserBotsText, ';'));
    KRV_REQUIRE(member.Online == (!member.Presence1.empty() || !member.Presence2.empty()));

    const std::string written = member.Presence1 + "," + member.Presence2 + "," + member.Login + "=" +
                                member.Password + "," + member.ProtocolsText + ";" + member.UserBotsText +
                                ";";
    KRV_REQUIRE(Same(ParseMemberText(written), member));
    return 0;
}

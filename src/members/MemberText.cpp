#include "members/MemberText.hpp"

#include <string>

#include "util/untCalc1.hpp"

TkvMemberText ParseMemberText(std::string_view text) {
    TkvMemberText member;
    std::string rest(text);
    SplitFirst(rest, ",", true, member.Presence1, rest);
    SplitFirst(rest, ",", true, member.Presence2, rest);
    SplitFirst(rest, "=", true, member.Login, rest);
    SplitFirst(rest, ",", true, member.Password, rest);
    SplitFirst(rest, ";", true, member.ProtocolsText, rest);
    SplitFirst(rest, ";", true, member.UserBotsText, rest);
    // The server fills a presence field only while the account is connected.
    member.Online = !member.Presence1.empty() || !member.Presence2.empty();
    return member;
}

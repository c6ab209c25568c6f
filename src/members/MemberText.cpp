#include "members/MemberText.hpp"

#include "util/untCalc1.hpp"

TkvMemberTextView ParseMemberTextView(std::string_view text) {
    TkvMemberTextView member;
    std::string_view rest = text;
    SplitFirst(rest, ',', true, member.Presence1, rest);
    SplitFirst(rest, ',', true, member.Presence2, rest);
    SplitFirst(rest, '=', true, member.Login, rest);
    SplitFirst(rest, ',', true, member.Password, rest);
    SplitFirst(rest, ';', true, member.ProtocolsText, rest);
    SplitFirst(rest, ';', true, member.UserBotsText, rest);
    // The server fills a presence field only while the account is connected.
    member.Online = !member.Presence1.empty() || !member.Presence2.empty();
    return member;
}

TkvMemberText ParseMemberText(std::string_view text) {
    const TkvMemberTextView view = ParseMemberTextView(text);
    return {std::string(view.Login),
            std::string(view.Presence1),
            std::string(view.Presence2),
            std::string(view.ProtocolsText),
            std::string(view.Password),
            std::string(view.UserBotsText),
            view.Online};
}

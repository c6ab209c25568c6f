#pragma once

#include <string>
#include <string_view>

#include "members/TkvCLData.hpp"

// Which members a list narrowed by the administrator shows, or a command on many members takes.
// Every part left empty lets every member through.
struct MemberFilter {
    enum class Presence { Any, Online, Offline };

    std::string text;  // held, ASCII letter case ignored, by the login, a protocol or a user bot
    Presence presence = Presence::Any;
    std::string protocol;  // the member has this protocol, ASCII letter case ignored

    bool Empty() const { return text.empty() && presence == Presence::Any && protocol.empty(); }
    bool Matches(const TkvCLData& member) const;
};

// Whether folded (ASCII-folded already) occurs in text with its ASCII letters folded.
bool ContainsFolded(std::string_view text, std::string_view folded);

#include "session/MemberFilter.hpp"

#include "util/untCalc1.hpp"

namespace {

char FoldChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ContainsFolded(std::string_view text, std::string_view folded) {
    if (folded.empty()) {
        return true;
    }
    if (folded.size() > text.size()) {
        return false;
    }
    for (size_t at = 0; at + folded.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < folded.size() && FoldChar(text[at + i]) == folded[i]) {
            ++i;
        }
        if (i == folded.size()) {
            return true;
        }
    }
    return false;
}

bool MemberFilter::Matches(const TkvCLData& member) const {
    if (presence == Presence::Online && !member.Online()) {
        return false;
    }
    if (presence == Presence::Offline && member.Online()) {
        return false;
    }
    if (!protocol.empty() && !member.HasProtocol(protocol)) {
        return false;
    }
    if (text.empty()) {
        return true;
    }
    const std::string folded = FoldAscii(text);
    if (ContainsFolded(member.Login(), folded)) {
        return true;
    }
    for (const std::string& name : member.Protocols()) {
        if (ContainsFolded(name, folded)) {
            return true;
        }
    }
    for (const std::string& name : member.UserBots()) {
        if (ContainsFolded(name, folded)) {
            return true;
        }
    }
    return false;
}

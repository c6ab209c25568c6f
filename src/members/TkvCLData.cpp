#include "members/TkvCLData.hpp"

#include <algorithm>

void TkvCLData::SetProtocolsText(std::string_view text) {
    protocols_ = ReadCommaList(text);
}

std::string TkvCLData::GetProtocolsText() const {
    return WriteCommaList(protocols_);
}

bool TkvCLData::HasProtocol(std::string_view name) const {
    return std::any_of(protocols_.begin(), protocols_.end(),
                       [name](const std::string& protocol) { return SameTextAscii(protocol, name); });
}

void TkvCLData::SetUserBotsText(std::string_view text) {
    userBots_ = ReadUserBotsText(text);
}

std::string TkvCLData::GetUserBotsText() const {
    return WriteUserBotsText(userBots_);
}

std::string WriteUserBotsText(const TextList& userBots) {
    std::string text;
    for (const std::string& userBot : userBots) {
        if (&userBot != &userBots.front()) {
            text.push_back(',');
        }
        text.append(userBot);
    }
    return text;
}

// Cutting at every comma in one pass gives the same pieces as popping the first piece off a
// trimmed rest again and again, without copying the rest once per piece.
TextList ReadUserBotsText(std::string_view text) {
    TextList userBots;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        size_t end = comma == std::string_view::npos ? text.size() : comma;
        std::string piece = Trim(text.substr(start, end - start));
        if (!piece.empty()) {
            userBots.push_back(std::move(piece));
        }
        start = end + 1;
    }
    return userBots;
}

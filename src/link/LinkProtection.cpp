#include "link/LinkProtection.hpp"

#include <cctype>

std::string EndpointKey(std::string_view host, int32_t port) {
    return std::string(host) + ":" + std::to_string(port);
}

std::string NormalFingerprint(std::string_view text) {
    const size_t equals = text.find('=');
    if (equals != std::string_view::npos) {
        text.remove_prefix(equals + 1);
    }
    std::string digits;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isxdigit(u) != 0) {
            digits.push_back(static_cast<char>(std::toupper(u)));
        } else if (c != ':' && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            return {};
        }
    }
    return digits.size() == 64 ? digits : std::string();
}

std::string ColonFingerprint(std::string_view normal) {
    std::string text;
    for (size_t i = 0; i < normal.size(); i += 2) {
        if (i > 0) {
            text.push_back(':');
        }
        text.append(normal.substr(i, 2));
    }
    return text;
}

std::map<std::string, std::string> ParsePins(std::string_view text) {
    std::map<std::string, std::string> pins;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view entry = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const size_t equals = entry.rfind('=');
        if (equals == std::string_view::npos || equals == 0) {
            continue;
        }
        const std::string fingerprint = NormalFingerprint(entry.substr(equals + 1));
        if (!fingerprint.empty()) {
            pins[std::string(entry.substr(0, equals))] = fingerprint;
        }
    }
    return pins;
}

std::string PinsText(const std::map<std::string, std::string>& pins) {
    std::string text;
    for (const auto& [endpoint, fingerprint] : pins) {
        if (!text.empty()) {
            text.push_back(',');
        }
        text += endpoint + "=" + fingerprint;
    }
    return text;
}

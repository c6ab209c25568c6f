#include "admin/TextOut.hpp"

#include <cstdint>

namespace {

constexpr char kHex[] = "0123456789abcdef";

// The length of the valid UTF-8 sequence at the start of text, or 0.
size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    uint32_t low = 0;
    uint32_t value = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        low = 0x80;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = 0x800;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = 0x10000;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not valid UTF-8.
    if (value < low || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        return 0;
    }
    return length;
}

void AppendUnicodeEscape(std::string& out, uint32_t unit) {
    out.append("\\u");
    for (int shift = 12; shift >= 0; shift -= 4) {
        out.push_back(kHex[(unit >> shift) & 0xF]);
    }
}

}  // namespace

void AppendDelimitedRow(std::string& out, std::initializer_list<std::string_view> fields, char separator,
                        std::string_view end, void (*appendField)(std::string&, std::string_view)) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first) {
            out.push_back(separator);
        }
        first = false;
        appendField(out, field);
    }
    out.append(end);
}

void AppendJsonString(std::string& out, std::string_view bytes) {
    out.push_back('"');
    size_t at = 0;
    while (at < bytes.size()) {
        const char c = bytes[at];
        const auto unit = static_cast<uint8_t>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
            ++at;
        } else if (c == '\n') {
            out.append("\\n");
            ++at;
        } else if (c == '\r') {
            out.append("\\r");
            ++at;
        } else if (c == '\t') {
            out.append("\\t");
            ++at;
        } else if (unit < 0x20 || unit == 0x7F) {
            AppendUnicodeEscape(out, unit);
            ++at;
        } else if (unit < 0x80) {
            out.push_back(c);
            ++at;
        } else if (const size_t length = Utf8SequenceLength(bytes.substr(at)); length > 0) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            AppendUnicodeEscape(out, 0xDC00u | unit);
            ++at;
        }
    }
    out.push_back('"');
}

void AppendTsvField(std::string& out, std::string_view field) {
    for (const char c : field) {
        switch (c) {
            case '\t':
                out.append("\\t");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\\':
                out.append("\\\\");
                break;
            default:
                out.push_back(c);
        }
    }
}

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto unit = static_cast<uint8_t>(c);
        if (unit < 0x20 || unit == 0x7F) {
            out.append("\\x");
            out.push_back(kHex[unit >> 4]);
            out.push_back(kHex[unit & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

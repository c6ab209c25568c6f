#include "util/WideText.hpp"

#include <cstdint>

namespace {

// Decodes into out; false at the first byte that makes the text invalid UTF-8.
bool DecodeUtf8(std::string_view bytes, std::u16string& out) {
    size_t at = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++at;
            continue;
        }
        size_t length = 0;
        uint32_t point = 0;
        uint32_t least = 0;  // below this the form is overlong
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1Fu;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            point = lead & 0x0Fu;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07u;
            least = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - at < length) {
            return false;
        }
        for (size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(bytes[at + i]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = point << 6 | (next & 0x3Fu);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        if (point >= 0x10000) {
            point -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(point));
        }
        at += length;
    }
    return true;
}

}  // namespace

void WidenBytes(std::string_view bytes, std::u16string& out) {
    out.clear();
    out.reserve(bytes.size());
    if (DecodeUtf8(bytes, out)) {
        return;
    }
    out.resize(bytes.size());
    for (size_t at = 0; at < bytes.size(); ++at) {
        out[at] = static_cast<unsigned char>(bytes[at]);
    }
}

std::u16string WidenBytes(std::string_view bytes) {
    std::u16string out;
    WidenBytes(bytes, out);
    return out;
}

void AppendUtf8(std::u16string_view units, std::string& out) {
    for (size_t at = 0; at < units.size(); ++at) {
        uint32_t point = units[at];
        if (point >= 0xD800 && point <= 0xDBFF && at + 1 < units.size()) {
            point = 0x10000 + ((point - 0xD800) << 10) + (units[++at] - 0xDC00u);
        }
        if (point < 0x80) {
            out.push_back(static_cast<char>(point));
        } else if (point < 0x800) {
            out.push_back(static_cast<char>(0xC0 | point >> 6));
            out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
        } else if (point < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | point >> 12));
            out.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | point >> 18));
            out.push_back(static_cast<char>(0x80 | (point >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
        }
    }
}

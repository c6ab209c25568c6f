#include "members/TkvCLData.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

// A million records are a hundred megabytes: each is its packed bytes and a few more.
static_assert(sizeof(TkvCLData) <= 80);

namespace {

// The bytes PartWriter::Length takes for length.
size_t LengthBytes(size_t length) {
    size_t bytes = 1;
    for (; length >= 0x80; length >>= 7) {
        ++bytes;
    }
    return bytes;
}

// The most a part made of text takes: a text part, or a list part, whose items are at most one
// more than its bytes, none longer than the text, and which ends with a zero byte.
size_t TextRoom(std::string_view text) {
    return LengthBytes(text.size()) + text.size();
}
size_t ListRoom(std::string_view text) {
    return (text.size() + 1) * LengthBytes(text.size() + 1) + text.size() + 1;
}

// Parts written at the end of a string, into room set aside for them beforehand and given back
// at the end: storing a million members is mostly this, and the string's own appends check its
// room at every byte and item.
class PartWriter {
public:
    PartWriter(std::string& out, size_t room) : out_(out) {
        const size_t start = out.size();
        out.resize(start + room);
        at_ = out.data() + start;
    }
    ~PartWriter() { out_.resize(static_cast<size_t>(at_ - out_.data())); }
    PartWriter(const PartWriter&) = delete;
    PartWriter& operator=(const PartWriter&) = delete;

    void Length(size_t length) {
        for (; length >= 0x80; length >>= 7) {
            *at_++ = static_cast<char>((length & 0x7F) | 0x80);
        }
        *at_++ = static_cast<char>(length);
    }
    void Bytes(std::string_view bytes) {
        if (!bytes.empty()) {
            std::memcpy(at_, bytes.data(), bytes.size());
            at_ += bytes.size();
        }
    }
    void End() { *at_++ = '\0'; }
    // Where the writing is, and a return there, dropping what came after.
    size_t Mark() const { return static_cast<size_t>(at_ - out_.data()); }
    void Rewind(size_t mark) { at_ = out_.data() + mark; }

private:
    std::string& out_;
    char* at_ = nullptr;
};

size_t GetLength(std::string_view packed, size_t& pos) {
    size_t length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(packed[pos++]);
        length |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            return length;
        }
    }
}

void PutText(PartWriter& out, std::string_view text) {
    out.Length(text.size());
    out.Bytes(text);
}

void PutItem(PartWriter& out, std::string_view item) {
    out.Length(item.size() + 1);
    out.Bytes(item);
}

// Lists as the server sends them are bare names and commas: such a list is put in one pass here,
// as the general readers would read it. False, with some of it put, at a quote, a blank or a
// control byte (a zero included), for the general reader to take instead. emptyItems: whether an
// empty piece between commas is an item (comma lists) or nothing (user bots).
bool PutBareList(PartWriter& out, std::string_view text, bool emptyItems) {
    size_t start = 0;
    for (size_t pos = 0; pos < text.size(); ++pos) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte == ',') {
            if (emptyItems || pos > start) {
                PutItem(out, text.substr(start, pos - start));
            }
            start = pos + 1;
        } else if (byte <= 32 || byte == '"') {
            return false;
        }
    }
    // A last comma ends the list in both kinds: nothing after it is an item.
    if (start < text.size()) {
        PutItem(out, text.substr(start));
    }
    return true;
}

// A list part: in one pass where the text is bare, through its kind's general reader otherwise.
template <class ReadEachItem>
void PutList(PartWriter& out, std::string_view text, bool emptyItems, ReadEachItem readEachItem) {
    const size_t mark = out.Mark();
    if (!PutBareList(out, text, emptyItems)) {
        out.Rewind(mark);
        readEachItem(text, [&out](std::string_view item) { PutItem(out, item); });
    }
    out.End();
}

void PutCommaList(PartWriter& out, std::string_view text) {
    PutList(out, text, true, [](std::string_view list, const auto& put) { ForEachCommaListItem(list, put); });
}

void PutUserBots(PartWriter& out, std::string_view text) {
    PutList(out, text, false, [](std::string_view list, const auto& put) { ForEachUserBot(list, put); });
}

// The same parts alone, for a record's part replaced.
void PutText(std::string& out, std::string_view text) {
    PartWriter writer(out, TextRoom(text));
    PutText(writer, text);
}

void PutCommaList(std::string& out, std::string_view text) {
    PartWriter writer(out, ListRoom(text));
    PutCommaList(writer, text);
}

void PutUserBots(std::string& out, std::string_view text) {
    PartWriter writer(out, ListRoom(text));
    PutUserBots(writer, text);
}

// Past one part that starts at pos.
void SkipPart(std::string_view packed, size_t& pos, bool isList) {
    if (!isList) {
        pos += GetLength(packed, pos);
        return;
    }
    for (size_t length = GetLength(packed, pos); length != 0; length = GetLength(packed, pos)) {
        pos += length - 1;
    }
}

bool IsList(int part) {
    return part >= 4;  // the protocols and the user bots
}

}  // namespace

TkvCLData::Span TkvCLData::SpanOf(Part part) const {
    size_t pos = 0;
    for (int skipped = 0; skipped < part; ++skipped) {
        SkipPart(packed_.View(), pos, IsList(skipped));
    }
    Span span{pos, pos};
    SkipPart(packed_.View(), span.end, IsList(part));
    return span;
}

std::string_view TkvCLData::Field(Part part) const {
    const Span span = SpanOf(part);
    size_t pos = span.begin;
    const size_t length = GetLength(packed_.View(), pos);
    return packed_.View().substr(pos, length);
}

template <typename Each>
void TkvCLData::ForEachItem(Part part, Each each) const {
    const std::string_view packed = packed_.View();
    size_t pos = SpanOf(part).begin;
    for (size_t length = GetLength(packed, pos); length != 0; length = GetLength(packed, pos)) {
        each(packed.substr(pos, length - 1));
        pos += length - 1;
    }
}

TextList TkvCLData::Items(Part part) const {
    TextList items;
    ForEachItem(part, [&items](std::string_view item) { items.emplace_back(item); });
    return items;
}

void TkvCLData::Replace(Part part, std::string_view encoded) {
    const Span span = SpanOf(part);
    std::string packed(packed_.View());
    packed.replace(span.begin, span.end - span.begin, encoded);
    packed_.Assign(packed);
}

void TkvCLData::ReplaceText(Part part, std::string_view text, void (*put)(std::string&, std::string_view)) {
    std::string encoded;
    put(encoded, text);
    Replace(part, encoded);
}

void TkvCLData::SetLogin(std::string_view login) {
    ReplaceText(kLogin, login, PutText);
}

void TkvCLData::SetPassword(std::string_view password) {
    ReplaceText(kPassword, password, PutText);
}

void TkvCLData::SetPresence1(std::string_view presence) {
    ReplaceText(kPresence1, presence, PutText);
}

void TkvCLData::SetPresence2(std::string_view presence) {
    ReplaceText(kPresence2, presence, PutText);
}

void TkvCLData::SetProtocolsText(std::string_view text) {
    ReplaceText(kProtocols, text, PutCommaList);
}

void TkvCLData::SetUserBotsText(std::string_view text) {
    ReplaceText(kUserBots, text, PutUserBots);
}

void TkvCLData::Assign(std::string_view login, std::string_view presence1, std::string_view presence2,
                       std::string_view protocolsText, std::string_view password,
                       std::string_view userBotsText, bool online) {
    AssignPacked(Pack(login, presence1, presence2, protocolsText, password, userBotsText), online);
}

std::string_view TkvCLData::Pack(std::string_view login, std::string_view presence1,
                                 std::string_view presence2, std::string_view protocolsText,
                                 std::string_view password, std::string_view userBotsText) {
    // Built in a buffer kept from call to call, so storing a member allocates nothing when its
    // fields fit in the record.
    thread_local std::string packed;
    packed.clear();
    {
        PartWriter out(packed, TextRoom(login) + TextRoom(password) + TextRoom(presence1) +
                                   TextRoom(presence2) + ListRoom(protocolsText) + ListRoom(userBotsText));
        PutText(out, login);
        PutText(out, password);
        PutText(out, presence1);
        PutText(out, presence2);
        PutCommaList(out, protocolsText);
        PutUserBots(out, userBotsText);
    }
    return packed;
}

std::string TkvCLData::GetProtocolsText() const {
    std::string text;
    AppendProtocolsText(text);
    return text;
}

void TkvCLData::AppendProtocolsText(std::string& out) const {
    const size_t start = out.size();
    size_t count = 0;
    ForEachItem(kProtocols, [&](std::string_view item) { AppendCommaListItem(out, item, count++ == 0); });
    EndCommaList(out, start, count);
}

bool TkvCLData::HasProtocol(std::string_view name) const {
    bool found = false;
    ForEachItem(kProtocols,
                [&](std::string_view protocol) { found = found || SameTextAscii(protocol, name); });
    return found;
}

std::string TkvCLData::GetUserBotsText() const {
    std::string text;
    AppendUserBotsText(text);
    return text;
}

void TkvCLData::AppendUserBotsText(std::string& out) const {
    bool first = true;
    ForEachItem(kUserBots, [&](std::string_view userBot) {
        if (!first) {
            out.push_back(',');
        }
        first = false;
        out.append(userBot);
    });
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

TextList ReadUserBotsText(std::string_view text) {
    TextList userBots;
    ForEachUserBot(text, [&userBots](std::string_view userBot) { userBots.emplace_back(userBot); });
    return userBots;
}

// Cutting at every comma in one pass gives the same pieces as popping the first piece off a
// trimmed rest again and again, without copying the rest once per piece.
void ForEachUserBot(std::string_view text, const std::function<void(std::string_view userBot)>& each) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        size_t end = comma == std::string_view::npos ? text.size() : comma;
        const std::string_view piece = TrimView(text.substr(start, end - start));
        if (!piece.empty()) {
            each(piece);
        }
        start = end + 1;
    }
}

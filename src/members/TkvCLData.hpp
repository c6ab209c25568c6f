#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "members/PackedBytes.hpp"
#include "util/untCalc1.hpp"

// One member account as the server reports it.
//
// A million of these are held at once, so a record is every field, the login first, packed into
// one buffer (each field, protocol and user bot preceded by its length), which for most members
// fits in the record itself. The fields are read back from that buffer; the lists come back as
// new lists.
class TkvCLData {
public:
    // Valid until the record changes, as the other views.
    std::string_view Login() const {
        const std::string_view packed = packed_.View();
        if (packed.empty()) {  // moved from
            return {};
        }
        const auto length = static_cast<unsigned char>(packed[0]);
        return length < 0x80 ? packed.substr(1, length) : Field(kLogin);
    }
    std::string Password() const { return std::string(PasswordView()); }
    std::string Presence1() const { return std::string(Presence1View()); }
    std::string Presence2() const { return std::string(Presence2View()); }
    // The same without a copy; valid until the record changes.
    std::string_view PasswordView() const { return Field(kPassword); }
    std::string_view Presence1View() const { return Field(kPresence1); }
    std::string_view Presence2View() const { return Field(kPresence2); }
    TextList Protocols() const { return Items(kProtocols); }
    TextList UserBots() const { return Items(kUserBots); }
    bool Online() const { return online_; }

    void SetLogin(std::string_view login);
    void SetPassword(std::string_view password);
    void SetPresence1(std::string_view presence);
    void SetPresence2(std::string_view presence);
    void SetOnline(bool online) { online_ = online; }

    void SetProtocolsText(std::string_view text);
    std::string GetProtocolsText() const;
    bool HasProtocol(std::string_view name) const;
    void SetUserBotsText(std::string_view text);
    std::string GetUserBotsText() const;
    // The same two texts appended to out, for callers that write many records into one buffer.
    void AppendProtocolsText(std::string& out) const;
    void AppendUserBotsText(std::string& out) const;

    // Every field at once, as AddOrUpdate stores them: one buffer built, nothing else allocated.
    void Assign(std::string_view login, std::string_view presence1, std::string_view presence2,
                std::string_view protocolsText, std::string_view password, std::string_view userBotsText,
                bool online);
    // The same in two steps: the fields packed into a buffer of the calling thread (valid until
    // its next Pack), then taken in by a record.
    static std::string_view Pack(std::string_view login, std::string_view presence1,
                                 std::string_view presence2, std::string_view protocolsText,
                                 std::string_view password, std::string_view userBotsText);
    void AssignPacked(std::string_view packed, bool online) {
        packed_.Assign(packed);
        online_ = online;
    }

private:
    friend class TkvCLDataCollection;

    // The packed parts, in this order. A text is its length and its bytes; a list is each item
    // as its length plus one and its bytes, ended by a zero.
    enum Part { kLogin, kPassword, kPresence1, kPresence2, kProtocols, kUserBots, kPartCount };

    struct Span {
        size_t begin = 0;
        size_t end = 0;
    };

    Span SpanOf(Part part) const;
    std::string_view Field(Part part) const;
    TextList Items(Part part) const;
    template <typename Each>
    void ForEachItem(Part part, Each each) const;
    // Puts encoded in the place of one part.
    void Replace(Part part, std::string_view encoded);
    // The same with the part encoded from text by put.
    void ReplaceText(Part part, std::string_view text, void (*put)(std::string&, std::string_view));

    PackedBytes packed_ = PackedBytes(std::string_view("\0\0\0\0\0\0", kPartCount));  // every part empty
    bool online_ = false;
    uint32_t position_ = 0;  // kept current by the collection, so IndexOf needs no walk
};

// User bots in their text form: joined with "," and no blanks; read back trimmed, empty pieces dropped.
std::string WriteUserBotsText(const TextList& userBots);
TextList ReadUserBotsText(std::string_view text);
// ReadUserBotsText without a list: each is called with every user bot in order.
void ForEachUserBot(std::string_view text, const std::function<void(std::string_view userBot)>& each);

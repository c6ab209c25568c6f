#include "rows/MemberRow.hpp"

#include <utility>

namespace {

const std::string kNoText;

}  // namespace

MemberRow::MemberRow(std::string login, std::string protocolsText, std::string userBotsText, bool online) {
    HoldCopy(std::make_unique<const Copy>(
        Copy{std::move(login), std::move(protocolsText), std::move(userBotsText), online}));
}

MemberRow::MemberRow(const MemberRow& other) : word_((other.word_ & kOwnsCopy) == 0 ? other.word_ : 0) {
    if (const Copy* copy = other.OwnCopy()) {
        HoldCopy(std::make_unique<const Copy>(*copy));
    }
}

MemberRow& MemberRow::operator=(const MemberRow& other) {
    if (this != &other) {
        *this = MemberRow(other);
    }
    return *this;
}

MemberRow& MemberRow::operator=(MemberRow&& other) noexcept {
    if (this != &other) {
        DropCopy();
        word_ = std::exchange(other.word_, 0);
    }
    return *this;
}

void MemberRow::HoldCopy(std::unique_ptr<const Copy> copy) {
    DropCopy();
    word_ = reinterpret_cast<std::uintptr_t>(copy.release()) | kOwnsCopy;
}

void MemberRow::FreeCopy() noexcept {
    // The copy goes with the owner it is handed back to.
    std::unique_ptr<const Copy> owned(OwnCopy());
    word_ = 0;
}

std::string_view MemberRow::Login() const {
    if (const TkvCLData* record = Record()) {
        return record->Login();
    }
    const Copy* copy = OwnCopy();
    return copy != nullptr ? copy->login : kNoText;
}

std::string MemberRow::ProtocolsText() const {
    if (const TkvCLData* record = Record()) {
        return record->GetProtocolsText();
    }
    const Copy* copy = OwnCopy();
    return copy != nullptr ? copy->protocolsText : std::string();
}

std::string MemberRow::UserBotsText() const {
    if (const TkvCLData* record = Record()) {
        return record->GetUserBotsText();
    }
    const Copy* copy = OwnCopy();
    return copy != nullptr ? copy->userBotsText : std::string();
}

bool MemberRow::Online() const {
    if (const TkvCLData* record = Record()) {
        return record->Online();
    }
    const Copy* copy = OwnCopy();
    return copy != nullptr && copy->online;
}

void MemberRow::AppendTexts(std::string& out) const {
    out += Login();
    out.push_back('\0');
    if (const TkvCLData* record = Record()) {
        record->AppendProtocolsText(out);
        out.push_back('\0');
        record->AppendUserBotsText(out);
    } else if (const Copy* copy = OwnCopy()) {
        out += copy->protocolsText;
        out.push_back('\0');
        out += copy->userBotsText;
    } else {
        out.push_back('\0');
    }
    out.push_back('\0');
}

void MemberRow::Detach() {
    const TkvCLData* record = Record();
    if (record == nullptr) {
        return;
    }
    HoldCopy(std::make_unique<const Copy>(Copy{std::string(record->Login()), record->GetProtocolsText(),
                                               record->GetUserBotsText(), record->Online()}));
}

#include "rows/MemberRow.hpp"

#include <utility>

namespace {

const std::string kNoText;

}  // namespace

MemberRow::MemberRow(std::string login, std::string protocolsText, std::string userBotsText, bool online)
    : copy_(std::make_unique<const Copy>(
          Copy{std::move(login), std::move(protocolsText), std::move(userBotsText), online})) {}

MemberRow::MemberRow(const MemberRow& other)
    : record_(other.record_), copy_(other.copy_ ? std::make_unique<const Copy>(*other.copy_) : nullptr) {}

MemberRow& MemberRow::operator=(const MemberRow& other) {
    if (this != &other) {
        *this = MemberRow(other);
    }
    return *this;
}

std::string_view MemberRow::Login() const {
    if (record_ != nullptr) {
        return record_->Login();
    }
    return copy_ ? copy_->login : kNoText;
}

std::string MemberRow::ProtocolsText() const {
    if (record_ != nullptr) {
        return record_->GetProtocolsText();
    }
    return copy_ ? copy_->protocolsText : std::string();
}

std::string MemberRow::UserBotsText() const {
    if (record_ != nullptr) {
        return record_->GetUserBotsText();
    }
    return copy_ ? copy_->userBotsText : std::string();
}

bool MemberRow::Online() const {
    if (record_ != nullptr) {
        return record_->Online();
    }
    return copy_ && copy_->online;
}

void MemberRow::AppendTexts(std::string& out) const {
    out += Login();
    out.push_back('\0');
    if (record_ != nullptr) {
        record_->AppendProtocolsText(out);
        out.push_back('\0');
        record_->AppendUserBotsText(out);
    } else if (copy_) {
        out += copy_->protocolsText;
        out.push_back('\0');
        out += copy_->userBotsText;
    } else {
        out.push_back('\0');
    }
    out.push_back('\0');
}

void MemberRow::Detach() {
    if (record_ == nullptr) {
        return;
    }
    copy_ = std::make_unique<const Copy>(Copy{std::string(record_->Login()), record_->GetProtocolsText(),
                                              record_->GetUserBotsText(), record_->Online()});
    record_ = nullptr;
}

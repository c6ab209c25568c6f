#include "members/TkvCLDataCollection.hpp"

void TkvCLDataCollection::AddOrUpdate(std::string_view login, std::string_view presence1,
                                      std::string_view presence2, std::string_view protocolsText,
                                      std::string_view password, std::string_view userBotsText, bool online) {
    auto [slot, added] = byFoldedLogin_.try_emplace(FoldAscii(login), nullptr);
    if (added) {
        auto record = std::make_unique<TkvCLData>();
        record->position_ = records_.size();
        slot->second = record.get();
        records_.push_back(std::move(record));
    }
    TkvCLData& record = *slot->second;
    record.SetLogin(login);
    record.SetPresence1(presence1);
    record.SetPresence2(presence2);
    record.SetProtocolsText(protocolsText);
    record.SetPassword(password);
    record.SetUserBotsText(userBotsText);
    record.SetOnline(online);
}

void TkvCLDataCollection::Delete(std::string_view login) {
    auto found = byFoldedLogin_.find(FoldAscii(login));
    if (found == byFoldedLogin_.end()) {
        return;
    }
    size_t position = found->second->position_;
    byFoldedLogin_.erase(found);
    records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(position));
    for (size_t i = position; i < records_.size(); ++i) {
        records_[i]->position_ = i;
    }
}

void TkvCLDataCollection::Clear() {
    byFoldedLogin_.clear();
    records_.clear();
}

bool TkvCLDataCollection::Exists(std::string_view login) const {
    return Find(login) != nullptr;
}

int32_t TkvCLDataCollection::IndexOf(std::string_view login) const {
    const TkvCLData* record = Find(login);
    return record == nullptr ? -1 : static_cast<int32_t>(record->position_);
}

const TkvCLData* TkvCLDataCollection::Items(int32_t position) const {
    if (position < 0 || position >= Count()) {
        return nullptr;
    }
    return records_[static_cast<size_t>(position)].get();
}

bool TkvCLDataCollection::GetData(std::string_view login, std::string& presence1, std::string& presence2,
                                  std::string& protocolsText, std::string& password,
                                  std::string& userBotsText, bool& online) const {
    const TkvCLData* record = Find(login);
    if (record == nullptr) {
        return false;
    }
    presence1 = record->Presence1();
    presence2 = record->Presence2();
    protocolsText = record->GetProtocolsText();
    password = record->Password();
    userBotsText = record->GetUserBotsText();
    online = record->Online();
    return true;
}

const TkvCLData* TkvCLDataCollection::Find(std::string_view login) const {
    auto found = byFoldedLogin_.find(FoldAscii(login));
    return found == byFoldedLogin_.end() ? nullptr : found->second;
}

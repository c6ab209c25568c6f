#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Require.hpp"
#include "members/TkvCLDataCollection.hpp"
#include "util/untCalc1.hpp"

// The member list as a plain vector searched from the front, and the check that a
// TkvCLDataCollection holds the same records in the same order and finds them by any spelling
// of their logins.
struct ModelMember {
    std::string login;
    std::string presence1;
    std::string presence2;
    std::string protocols;
    std::string password;
    std::string userBots;
    bool online = false;
};

class MemberModel {
public:
    int32_t IndexOf(const std::string& login) const {
        for (size_t i = 0; i < members_.size(); ++i) {
            if (SameTextAscii(members_[i].login, login)) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }
    void AddOrUpdate(const ModelMember& member) {
        const int32_t at = IndexOf(member.login);
        if (at < 0) {
            members_.push_back(member);
        } else {
            members_[static_cast<size_t>(at)] = member;
        }
    }
    void Delete(const std::string& login) {
        const int32_t at = IndexOf(login);
        if (at >= 0) {
            members_.erase(members_.begin() + at);
        }
    }
    void Clear() { members_.clear(); }
    const std::vector<ModelMember>& Members() const { return members_; }

private:
    std::vector<ModelMember> members_;
};

// Logins from a few letters in both cases, so that the same login recurs in other spellings.
inline std::string SomeLogin(FuzzedDataProvider& input) {
    std::string login;
    for (auto length = input.ConsumeIntegralInRange(0, 3); length > 0; --length) {
        login.push_back("aAbB\xc9\xe9"[input.ConsumeIntegralInRange(0, 5)]);
    }
    return login;
}

inline bool Matches(const TkvCLData& record, const ModelMember& member) {
    return record.Login() == member.login && record.Presence1() == member.presence1 &&
           record.Presence2() == member.presence2 && record.Protocols() == ReadCommaList(member.protocols) &&
           record.UserBots() == ReadUserBotsText(member.userBots) && record.Password() == member.password &&
           record.Online() == member.online;
}

inline void CheckSame(const TkvCLDataCollection& list, const MemberModel& model, const std::string& probe) {
    const auto& members = model.Members();
    KRV_REQUIRE(list.Count() == static_cast<int32_t>(members.size()));
    for (size_t i = 0; i < members.size(); ++i) {
        const TkvCLData* record = list.Items(static_cast<int32_t>(i));
        KRV_REQUIRE(record != nullptr && Matches(*record, members[i]));
        KRV_REQUIRE(list.IndexOf(FoldAscii(members[i].login)) == static_cast<int32_t>(i));
    }
    KRV_REQUIRE(list.Items(-1) == nullptr && list.Items(list.Count()) == nullptr);
    KRV_REQUIRE(list.IndexOf(probe) == model.IndexOf(probe));
    KRV_REQUIRE(list.Exists(probe) == (model.IndexOf(probe) >= 0));
    ModelMember got;
    const bool found = list.GetData(probe, got.presence1, got.presence2, got.protocols, got.password,
                                    got.userBots, got.online);
    KRV_REQUIRE(found == (model.IndexOf(probe) >= 0));
    if (found) {
        const ModelMember& expected = members[static_cast<size_t>(model.IndexOf(probe))];
        KRV_REQUIRE(got.presence1 == expected.presence1 && got.password == expected.password &&
                    got.online == expected.online);
    }
}

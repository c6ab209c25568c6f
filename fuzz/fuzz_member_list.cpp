// The member list against a plain vector searched from the front: the same records in the
// order of their first addition, one per login with ASCII letters folded, after any sequence
// of additions, updates, deletions and clears.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Require.hpp"
#include "members/TkvCLDataCollection.hpp"
#include "util/untCalc1.hpp"

namespace {

struct Member {
    std::string login;
    std::string presence1;
    std::string presence2;
    std::string protocols;
    std::string password;
    std::string userBots;
    bool online = false;
};

class Model {
public:
    int32_t IndexOf(const std::string& login) const {
        for (size_t i = 0; i < members_.size(); ++i) {
            if (SameTextAscii(members_[i].login, login)) {
                return static_cast<int32_t>(i);
            }
        }
        return -1;
    }
    void AddOrUpdate(const Member& member) {
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
    const std::vector<Member>& Members() const { return members_; }

private:
    std::vector<Member> members_;
};

// Logins from a few letters in both cases, so that the same login recurs in other spellings.
std::string SomeLogin(FuzzedDataProvider& input) {
    std::string login;
    for (auto length = input.ConsumeIntegralInRange(0, 3); length > 0; --length) {
        login.push_back("aAbB\xc9\xe9"[input.ConsumeIntegralInRange(0, 5)]);
    }
    return login;
}

bool Matches(const TkvCLData& record, const Member& member) {
    return record.Login() == member.login && record.Presence1() == member.presence1 &&
           record.Presence2() == member.presence2 && record.Protocols() == ReadCommaList(member.protocols) &&
           record.UserBots() == ReadUserBotsText(member.userBots) && record.Password() == member.password &&
           record.Online() == member.online;
}

void CheckSame(const TkvCLDataCollection& list, const Model& model, const std::string& probe) {
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
    Member got;
    const bool found = list.GetData(probe, got.presence1, got.presence2, got.protocols, got.password,
                                    got.userBots, got.online);
    KRV_REQUIRE(found == (model.IndexOf(probe) >= 0));
    if (found) {
        const Member& expected = members[static_cast<size_t>(model.IndexOf(probe))];
        KRV_REQUIRE(got.presence1 == expected.presence1 && got.password == expected.password &&
                    got.online == expected.online);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    TkvCLDataCollection list;
    Model model;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 7)) {
            case 0:
                list.Clear();
                model.Clear();
                break;
            case 1:
            case 2: {
                const std::string login = SomeLogin(input);
                list.Delete(login);
                model.Delete(login);
                break;
            }
            default: {
                Member member;
                member.login = SomeLogin(input);
                member.presence1 = input.ConsumeRandomLengthString(4);
                member.presence2 = input.ConsumeRandomLengthString(4);
                member.protocols = input.ConsumeRandomLengthString(8);
                member.password = input.ConsumeRandomLengthString(4);
                member.userBots = input.ConsumeRandomLengthString(8);
                member.online = input.ConsumeBool();
                list.AddOrUpdate(member.login, member.presence1, member.presence2, member.protocols,
                                 member.password, member.userBots, member.online);
                model.AddOrUpdate(member);
                break;
            }
        }
        CheckSame(list, model, SomeLogin(input));
    }
    return 0;
}

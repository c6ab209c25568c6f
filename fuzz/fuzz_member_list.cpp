// The member list against a plain vector searched from the front: the same records in the
// order of their first addition, one per login with ASCII letters folded, after any sequence
// of additions, updates, deletions and clears.
#include <cstdint>
#include <string>

#include "MemberModel.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    TkvCLDataCollection list;
    MemberModel model;
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
                ModelMember member;
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

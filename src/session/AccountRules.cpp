#include "session/AccountRules.hpp"

#include "protocol/ProtocolCodes.hpp"
#include "util/untCalc1.hpp"

std::string LockedProtocolsProblem(const TkvCLData& account, std::string_view ownLogin,
                                   std::string_view newProtocols) {
    if (!SameTextAscii(account.Login(), ownLogin) || !account.HasProtocol(kAdministratorProtocol)) {
        return {};
    }
    for (const std::string& name : ReadCommaList(newProtocols)) {
        if (SameTextAscii(name, kAdministratorProtocol)) {
            return {};
        }
    }
    return "the protocols of " + std::string(account.Login()) +
           ", the login of this connection, cannot lose administrator";
}

std::string AccountRequestProblem(const AccountFields& fields, const TkvCLData* existing,
                                  std::string_view ownLogin) {
    std::string problem = UnsendableAccountFields(fields);
    if (problem.empty() && existing != nullptr) {
        problem = LockedProtocolsProblem(*existing, ownLogin, fields.protocols);
    }
    return problem;
}

#include "settings/PasswordPlace.hpp"

#include "settings/StoredSettings.hpp"

namespace {

constexpr std::string_view kRememberKey = "RememberPassword";
constexpr std::string_view kInFileKey = "PasswordInFile";

bool WriteIfNeeded(IniStore& ini, std::string_view key, bool value, bool meantBefore) {
    if (value == meantBefore && ini.ReadString(kClientSection, key, "").empty()) {
        return true;
    }
    return ini.WriteString(kClientSection, key, value ? "1" : "0");
}

}  // namespace

PasswordPolicy ReadPasswordPolicy(const IniStore& ini) {
    return {ReadIniBool(ini, kClientSection, kRememberKey, true),
            ReadIniBool(ini, kClientSection, kInFileKey, false)};
}

bool WritePasswordPolicy(IniStore& ini, const PasswordPolicy& policy) {
    return WriteIfNeeded(ini, kRememberKey, policy.remember, true) &&
           WriteIfNeeded(ini, kInFileKey, policy.inFile, false);
}

PasswordPlace ChoosePasswordPlace(const PasswordPolicy& policy, KeyringState keyring) {
    if (!policy.remember) {
        return PasswordPlace::Nowhere;
    }
    if (policy.inFile) {
        return PasswordPlace::File;
    }
    switch (keyring) {
        case KeyringState::Absent:
            return PasswordPlace::File;
        case KeyringState::Usable:
            return PasswordPlace::Keyring;
        case KeyringState::Unusable:
            break;
    }
    return PasswordPlace::Nowhere;
}

bool ShouldMoveToKeyring(const PasswordPolicy& policy, KeyringState keyring, std::string_view filePassword) {
    return !filePassword.empty() && ChoosePasswordPlace(policy, keyring) == PasswordPlace::Keyring;
}

#pragma once

#include <string>
#include <string_view>

#include "settings/IniStore.hpp"

// Where the password of the connection in use is kept between runs.
enum class PasswordPlace {
    Nowhere,  // asked at every connect
    File,     // scrambled in the settings file, as the program always kept it
    Keyring,  // in the desktop's keyring; the file's "Password" stays empty
};

// What the program knows of the desktop's keyring.
enum class KeyringState {
    Absent,    // no Secret Service on the session bus (or no bus): the file keeps the password
    Usable,    // reads and writes succeed
    Unusable,  // locked and not unlocked, or a call failed: nothing is kept anywhere
};

// The administrator's choices for the connection in use, from the "Client" section. Both keys
// are written only where they differ from what the file meant before they existed.
struct PasswordPolicy {
    bool remember = true;  // "RememberPassword"; per saved server too
    bool inFile = false;   // "PasswordInFile": the file keeps it scrambled even with a keyring
};

PasswordPolicy ReadPasswordPolicy(const IniStore& ini);
bool WritePasswordPolicy(IniStore& ini, const PasswordPolicy& policy);

PasswordPlace ChoosePasswordPlace(const PasswordPolicy& policy, KeyringState keyring);

// Whether a scrambled password found in the file at start goes into the keyring: only where the
// keyring is where it belongs, and there is one to move.
bool ShouldMoveToKeyring(const PasswordPolicy& policy, KeyringState keyring, std::string_view filePassword);

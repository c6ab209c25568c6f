#include "window/untKrvClientA.hpp"

#include <QCheckBox>
#include <string>

#include "session/ConnectionLog.hpp"
#include "settings/PasswordKeyring.hpp"
#include "settings/SavedServers.hpp"

namespace {

constexpr std::string_view kKeyringLogName = "Keyring";

std::string KeyOf(const ServerAccount& account) {
    return ConnectionKey(account.login, account.host, account.port);
}

}  // namespace

void TfrmKrvClientA::UseKeyring(std::unique_ptr<PasswordKeyring> keyring) {
    keyring_ = std::move(keyring);
    if (keyring_ == nullptr || !keyring_->Present()) {
        keyringState_ = KeyringState::Absent;
        if (keyring_ != nullptr) {
            log_->Note(kKeyringLogName,
                       "no Secret Service on the session bus: the password is kept scrambled in the "
                       "settings file");
        }
        return;
    }
    keyringState_ = KeyringState::Usable;
    const ServerAccount account = session_->AccountToKeep();
    if (ShouldMoveToKeyring(policy_, keyringState_, account.password)) {
        MovePasswordToKeyring(account.password);
    } else if (KeyringWanted()) {
        ReadPasswordFromKeyring({});
    } else if (policy_.remember && policy_.inFile && account.password.empty()) {
        // Back to the file: the keyring's entry is written there once, and left in the keyring.
        ReadPasswordFromKeyring([this] {
            if (!session_->AccountToKeep().password.empty()) {
                SaveSettings();
            }
        });
    }
}

bool TfrmKrvClientA::KeyringWanted() const {
    return keyring_ != nullptr && keyringState_ != KeyringState::Absent && policy_.remember &&
           !policy_.inFile;
}

void TfrmKrvClientA::MovePasswordToKeyring(const std::string& password) {
    // Until the keyring has it, the file keeps it: a failed move loses nothing.
    passwordLeftInFile_ = password;
    const std::string key = KeyOf(session_->AccountToKeep());
    keyring_->Write(key, password, [this, key](const PasswordKeyring::Answer& answer) {
        if (answer.outcome != PasswordKeyring::Outcome::Done) {
            KeyringFailed("moving the password of " + key + " from the settings file to the keyring",
                          answer.error);
            return;
        }
        keyringState_ = KeyringState::Usable;
        passwordLeftInFile_.clear();
        log_->Note(kKeyringLogName, "the password of " + key +
                                        " was moved from the settings file to the keyring; the file no "
                                        "longer holds it");
        SaveSettings();
    });
}

void TfrmKrvClientA::ReadPasswordFromKeyring(std::function<void()> then) {
    const ServerAccount account = session_->AccountToKeep();
    keyring_->Read(
        KeyOf(account), [this, account, then = std::move(then)](const PasswordKeyring::Answer& answer) {
            if (answer.outcome == PasswordKeyring::Outcome::Failed) {
                KeyringFailed("reading the password of " + KeyOf(account), answer.error);
            } else {
                keyringState_ = KeyringState::Usable;
                // The connection in use may have changed while the keyring was asked.
                const ServerAccount now = session_->AccountToKeep();
                if (answer.outcome == PasswordKeyring::Outcome::Done && KeyOf(now) == KeyOf(account)) {
                    session_->SetCredentials(now.login, answer.password);
                }
            }
            if (then) {
                then();
            }
        });
}

void TfrmKrvClientA::KeepPasswordInKeyring(const std::string& password) {
    const std::string key = KeyOf(session_->AccountToKeep());
    keyring_->Write(key, password, [this, key](const PasswordKeyring::Answer& answer) {
        if (answer.outcome != PasswordKeyring::Outcome::Done) {
            KeyringFailed("keeping the password of " + key + " in the keyring", answer.error);
            return;
        }
        keyringState_ = KeyringState::Usable;
    });
}

void TfrmKrvClientA::KeyringFailed(const std::string& what, const std::string& error) {
    keyringState_ = KeyringState::Unusable;
    log_->Note(kKeyringLogName, what + " failed" + (error.empty() ? "" : " (" + error + ")") +
                                    ": the password is asked at connect and written to no file");
}

void TfrmKrvClientA::SetRememberPassword(bool remember) {
    if (policy_.remember == remember) {
        return;
    }
    policy_.remember = remember;
    if (!remember) {
        passwordLeftInFile_.clear();
        if (KeyringStatus() != KeyringState::Absent && keyring_ != nullptr) {
            const std::string key = KeyOf(session_->AccountToKeep());
            keyring_->Erase(key, [this, key](const PasswordKeyring::Answer& answer) {
                if (answer.outcome != PasswordKeyring::Outcome::Done) {
                    KeyringFailed("removing the password of " + key + " from the keyring", answer.error);
                }
            });
        }
    } else if (KeyringWanted() && !session_->AccountToKeep().password.empty()) {
        KeepPasswordInKeyring(session_->AccountToKeep().password);
    }
    SaveSettings();
}

void TfrmKrvClientA::StartConnect() {
    if (connectStarting_) {
        return;
    }
    if (KeyringWanted() && session_->AccountToKeep().password.empty()) {
        connectStarting_ = true;
        ReadPasswordFromKeyring([this] {
            connectStarting_ = false;
            RunConnectDialog();
        });
        return;
    }
    RunConnectDialog();
}

void TfrmKrvClientA::MakeConnectionInUse(const SavedServer& server) {
    policy_.remember = server.rememberPassword;
    // The password the file held belonged to the connection left behind.
    passwordLeftInFile_.clear();
    const bool fromFile = CurrentPasswordPlace() == PasswordPlace::File;
    session_->SetCredentials(server.login, fromFile ? server.password : std::string());
    session_->SetServer(server.host, server.port);
    session_->ApplySchedule({server.reconnectOn, server.reconnectDelay, server.reconnectAttempts,
                             server.reconnectPause, server.reconnectCycles});
    cbAutoReconnect_->setChecked(server.reconnectOn);
    SetReach(ReachOf(server));
    SaveSettings();
    StartConnect();
}

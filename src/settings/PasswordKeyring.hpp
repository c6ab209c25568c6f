#pragma once

#include <functional>
#include <string>

// The desktop's keyring, asked without waiting: every call answers later through its callback,
// from the program's event loop, never from inside the call. The settings core decides what is
// kept where; an implementation only carries entries to and from the keyring.
class PasswordKeyring {
public:
    enum class Outcome {
        Done,
        NotFound,  // a read found no entry
        Failed,    // locked and not unlocked, refused, or the service went away
    };
    struct Answer {
        Outcome outcome = Outcome::Failed;
        std::string password;  // a read's, when Done
        std::string error;     // the keyring's words, when Failed
    };
    using Callback = std::function<void(const Answer&)>;

    virtual ~PasswordKeyring() = default;

    // Whether a Secret Service is on the session bus at all.
    virtual bool Present() const = 0;
    virtual void Read(const std::string& key, Callback done) = 0;
    virtual void Write(const std::string& key, const std::string& password, Callback done) = 0;
    // Removing an entry that is not there is Done.
    virtual void Erase(const std::string& key, Callback done) = 0;
};

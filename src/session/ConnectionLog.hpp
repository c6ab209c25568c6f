#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "link/LinkEvent.hpp"

class ServerSession;
class TkvClient;
struct ConnectionEffect;

// One line of the connection log, as bytes: when, which event, and what it says.
struct ConnectionLogEntry {
    std::string time;
    std::string name;
    std::string text;      // the passwords of the line hidden
    std::string revealed;  // the text with them, where it hides any; empty otherwise

    // reveal: with the passwords that the text hides.
    std::string Line(bool reveal = false) const {
        const std::string& shown = reveal && !revealed.empty() ? revealed : text;
        return time + "  " + name + (shown.empty() ? "" : "  " + shown);
    }
};

// What happened to the connection, in the order the window received the link's events, with
// the reasons that the status bar's short state leaves out. Keeps the newest entries only.
// The answer to the password prompt is never kept in clear; the other passwords a line shows are
// kept beside its text, for the administrator who asks to see them.
class ConnectionLog {
public:
    static constexpr size_t kCapacity = 10000;

    using Listener = std::function<void(const ConnectionLogEntry&)>;
    // The wall-clock time of an entry as text; read only for the events that are kept, since
    // most events are lines the log leaves out.
    using TimeSource = std::function<std::string()>;

    explicit ConnectionLog(TimeSource now) : now_(std::move(now)) {}

    // Called for every entry added, once it is kept.
    void SetListener(Listener listener) { listener_ = std::move(listener); }
    // Off: the "Read" and "Write" lines are left out (their answers are still followed).
    void SetShowLines(bool on) { showLines_ = on; }
    bool ShowLines() const { return showLines_; }

    // One link event as the session receives it, with what a line orders of the connection;
    // session is read for what the event implies (where to, who logged in, whether the login
    // may stay).
    void Record(const LinkEvent& event, const ConnectionEffect& control, const ServerSession& session);
    // What the program itself has to say of the connection's surroundings (where its password is
    // kept, a journal that cannot be written), under its own name.
    void Note(std::string_view name, std::string text) { Add(name, std::move(text)); }
    void Clear() { entries_.clear(); }

    const std::deque<ConnectionLogEntry>& Entries() const { return entries_; }

private:
    enum class Answer { Login, Password };

    void Add(std::string_view name, std::string text, std::string revealed = {});
    void FollowPrompt(LineState state, const std::string& line);
    bool IsPasswordAnswer(const std::string& line, const TkvClient& link);
    void RecordRead(const std::string& line);
    void RecordConnectionControl(const ConnectionEffect& effect, const TkvClient& link);
    void RecordLogin(const ServerSession& session);

    std::deque<ConnectionLogEntry> entries_;
    // The prompts read and not yet answered, oldest first: the answers go out in this order,
    // though a heartbeat or a command may go out between them.
    std::deque<Answer> answersDue_;
    bool showLines_ = false;
    TimeSource now_;
    Listener listener_;
};

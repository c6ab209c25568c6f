#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "link/LinkEvent.hpp"

class TkvClient;
struct ConnectionEffect;

// One line of the connection log, as bytes: when, which event, and what it says.
struct ConnectionLogEntry {
    std::string time;
    std::string name;
    std::string text;

    std::string Line() const { return time + "  " + name + (text.empty() ? "" : "  " + text); }
};

// What happened to the connection, in the order the window received the link's events, with
// the reasons that the status bar's short state leaves out. Keeps the newest entries only.
// The answer to the password prompt is never kept in clear.
class ConnectionLog {
public:
    static constexpr size_t kCapacity = 10000;
    static constexpr const char* kHiddenPassword = "********";

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

    // One link event as the window receives it; link is read for what the event implies
    // (where to, who logged in, whether the login may stay).
    void Record(const LinkEvent& event, const TkvClient& link);
    void Clear() { entries_.clear(); }

    const std::deque<ConnectionLogEntry>& Entries() const { return entries_; }

private:
    enum class Answer { Login, Password };

    void Add(std::string_view name, std::string text);
    void FollowPrompt(LineState state, const std::string& line);
    bool IsPasswordAnswer(const std::string& line, const TkvClient& link);
    void RecordRead(const std::string& line, const ConnectionEffect& effect);
    void RecordConnectionControl(const ConnectionEffect& effect, const TkvClient& link);

    std::deque<ConnectionLogEntry> entries_;
    // The prompts read and not yet answered, oldest first: the answers go out in this order,
    // though a heartbeat or a command may go out between them.
    std::deque<Answer> answersDue_;
    bool showLines_ = false;
    TimeSource now_;
    Listener listener_;
};

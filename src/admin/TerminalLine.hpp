#pragma once

#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

// One line typed on a terminal, read as the event loop runs: while a person takes their time,
// the connection goes on being kept (its timer, its heartbeat, the server's reports).
class TerminalLine final {
public:
    explicit TerminalLine(int fd);
    ~TerminalLine();
    TerminalLine(const TerminalLine&) = delete;
    TerminalLine& operator=(const TerminalLine&) = delete;

    // A whole line came, or the input ended.
    bool Done() const { return done_; }
    // The line without its end (what came before the input ended, as fgets gives it); nothing
    // when the input ended or failed with nothing typed.
    std::optional<std::string> Line() const;

private:
    void Readable();
    void Stop();

    int fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::string typed_;
    bool done_ = false;
};

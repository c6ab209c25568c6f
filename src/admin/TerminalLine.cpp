#include "admin/TerminalLine.hpp"

#include <unistd.h>

#include <cerrno>

#include <QSocketNotifier>

namespace {

// Far more than any count; a line longer than this is no count either.
constexpr size_t kLongestLine = 4096;

}  // namespace

// The descriptor is left blocking, as the terminal is shared with the shell: it is read only
// when the notifier says a read will not wait.
TerminalLine::TerminalLine(int fd)
    : fd_(fd), notifier_(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Readable(); });
}

TerminalLine::~TerminalLine() = default;

std::optional<std::string> TerminalLine::Line() const {
    if (!done_ || typed_.empty()) {
        return std::nullopt;
    }
    return typed_;
}

void TerminalLine::Readable() {
    char chunk[256];
    const ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got < 0) {
        if (errno != EINTR && errno != EAGAIN) {
            Stop();
        }
        return;
    }
    if (got == 0) {
        Stop();
        return;
    }
    typed_.append(chunk, static_cast<size_t>(got));
    if (const size_t end = typed_.find('\n'); end != std::string::npos) {
        typed_.resize(end);
        Stop();
    } else if (typed_.size() > kLongestLine) {
        Stop();
    }
}

void TerminalLine::Stop() {
    notifier_->setEnabled(false);
    done_ = true;
}

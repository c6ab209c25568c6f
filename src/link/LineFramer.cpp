#include "link/LineFramer.hpp"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

// Where the next CR or LF is, from start on, over one text. Each kind of line end is found by a
// byte search and its place kept until the cutting has passed it, so every byte is searched at
// most once for each kind, however the lines end: a list of plain line feeds is not searched to
// its end for a carriage return at every line, nor one of plain carriage returns for line feeds.
class LineEnds {
public:
    explicit LineEnds(std::string_view text) : text_(text) {}

    std::size_t From(std::size_t start) { return std::min(Next(kCR, cr_, start), Next(kLF, lf_, start)); }

private:
    static constexpr std::size_t kUnsearched = std::string_view::npos - 1;

    std::size_t Next(char end, std::size_t& at, std::size_t start) const {
        if (at == kUnsearched || (at != std::string_view::npos && at < start)) {
            at = std::string_view::npos;
            if (start < text_.size()) {
                const auto* found =
                    static_cast<const char*>(std::memchr(text_.data() + start, end, text_.size() - start));
                if (found != nullptr) {
                    at = static_cast<std::size_t>(found - text_.data());
                }
            }
        }
        return at;
    }

    std::string_view text_;
    std::size_t cr_ = kUnsearched;
    std::size_t lf_ = kUnsearched;
};

}  // namespace

LineFramer::Pieces LineFramer::Cut(std::string_view chunk) {
    Pieces pieces;
    pieces.dropped = CutEach(chunk, [&pieces](std::string_view line) { pieces.lines.emplace_back(line); });
    pieces.rest = TakeHeld();
    return pieces;
}

// Only the first line is joined to the held text: copying a whole received chunk behind a held
// rest would copy every byte once more. A rest without a line end is appended to what is held,
// never copied whole again, so a peer that dribbles one long line cannot tie the program up.
std::size_t LineFramer::CutEach(std::string_view chunk,
                                const std::function<void(std::string_view line)>& line) {
    const auto zero = chunk.find('\0');
    const bool endsAtZero = zero != std::string_view::npos;
    const auto usable = SkipDroppedLine(chunk.substr(0, zero), endsAtZero);
    if (discarding_) {
        return 0;
    }
    std::size_t dropped = 0;
    const auto give = [&dropped, &line](std::string_view text) {
        if (text.size() > kMaxHeldBytes) {
            ++dropped;
        } else {
            line(text);
        }
    };
    std::size_t start = 0;
    LineEnds lineEnds(usable);
    for (auto end = lineEnds.From(0); end != std::string_view::npos; end = lineEnds.From(start)) {
        if (start == 0 && !held_.empty()) {
            held_.append(usable.substr(0, end));
            give(held_);
            held_.clear();
        } else {
            give(usable.substr(start, end - start));
        }
        start = end + 1;
        if (usable[end] == kCR && start < usable.size() && usable[start] == kLF) {
            ++start;
        }
    }
    held_.append(usable.substr(start));
    if (held_.size() > kMaxHeldBytes) {
        ++dropped;
        held_ = std::string();
        discarding_ = !endsAtZero;
    } else if (endsAtZero && !held_.empty()) {
        // The zero byte ends the piece before it like a line end.
        line(held_);
        held_.clear();
    }
    droppedLines_ += dropped;
    return dropped;
}

// While an overlong line is being dropped, everything up to its end goes with it.
std::string_view LineFramer::SkipDroppedLine(std::string_view usable, bool endsAtZero) {
    if (!discarding_) {
        return usable;
    }
    const auto end = LineEnds(usable).From(0);
    if (end == std::string_view::npos) {
        discarding_ = !endsAtZero;
        return {};
    }
    discarding_ = false;
    auto next = end + 1;
    if (usable[end] == kCR && next < usable.size() && usable[next] == kLF) {
        ++next;
    }
    return usable.substr(next);
}

bool LineFramer::Hold(std::string_view rest) {
    if (rest.size() > kMaxHeldBytes) {
        return false;
    }
    held_.assign(rest);
    return true;
}

std::string LineFramer::TakeHeld() {
    std::string held;
    held.swap(held_);
    return held;
}

#include "link/LineFramer.hpp"

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

// Where the next CR or LF is, from start on. A plain pass: find_first_of looks each byte up in
// the set with a call of its own, and every received byte goes through here.
std::size_t FindLineEnd(std::string_view text, std::size_t start = 0) {
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] == kCR || text[i] == kLF) {
            return i;
        }
    }
    return std::string_view::npos;
}

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
    for (auto end = FindLineEnd(usable); end != std::string_view::npos; end = FindLineEnd(usable, start)) {
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
    const auto end = FindLineEnd(usable);
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

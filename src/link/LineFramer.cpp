#include "link/LineFramer.hpp"

#include <algorithm>
#include <utility>

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

// Cuts text that holds no zero byte and at least one line end; the held text is the front of
// the first line. Only that line is joined: copying a whole received chunk behind a held rest
// would copy every byte once more.
LineFramer::Pieces CutAtLineEnds(std::string held, std::string_view text) {
    LineFramer::Pieces pieces;
    std::size_t start = 0;
    for (auto end = FindLineEnd(text); end != std::string_view::npos; end = FindLineEnd(text, start)) {
        if (start == 0) {
            held.append(text.substr(0, end));
            pieces.lines.push_back(std::move(held));
        } else {
            pieces.lines.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
        if (text[end] == kCR && start < text.size() && text[start] == kLF) {
            ++start;
        }
    }
    pieces.rest = text.substr(start);
    return pieces;
}

}  // namespace

LineFramer::Pieces LineFramer::Cut(std::string_view chunk) {
    const auto zero = chunk.find('\0');
    const bool endsAtZero = zero != std::string_view::npos;
    const auto usable = SkipDroppedLine(chunk.substr(0, zero), endsAtZero);
    if (discarding_) {
        return {};
    }
    Pieces pieces;
    if (FindLineEnd(usable) == std::string_view::npos) {
        // The held text holds no line end: looking at it again for every chunk would let a
        // peer that dribbles one long line tie the program up for minutes.
        pieces.rest = TakeHeld();
        pieces.rest.append(usable);
    } else {
        pieces = CutAtLineEnds(TakeHeld(), usable);
    }
    DropOverlong(pieces, endsAtZero);
    if (endsAtZero && !pieces.rest.empty()) {
        // The zero byte ends the piece before it like a line end.
        pieces.lines.push_back(std::move(pieces.rest));
        pieces.rest.clear();
    }
    return pieces;
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

void LineFramer::DropOverlong(Pieces& pieces, bool endsAtZero) {
    pieces.dropped =
        std::erase_if(pieces.lines, [](const std::string& line) { return line.size() > kMaxHeldBytes; });
    if (pieces.rest.size() > kMaxHeldBytes) {
        ++pieces.dropped;
        pieces.rest.clear();
        pieces.rest.shrink_to_fit();
        discarding_ = !endsAtZero;
    }
    droppedLines_ += pieces.dropped;
}

bool LineFramer::Hold(std::string&& rest) {
    if (rest.size() > kMaxHeldBytes) {
        return false;
    }
    held_ = std::move(rest);
    return true;
}

std::string LineFramer::TakeHeld() {
    std::string held;
    held.swap(held_);
    return held;
}

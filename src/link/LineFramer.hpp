#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "util/untCalc1.hpp"

// Cuts received chunks into lines. A line ends at CR LF, a lone CR or a lone LF (so LF CR ends
// two lines, the second one empty); a zero byte ends the line before it and the whole chunk.
// The text after the last line end is the rest; the link decides whether it is a line now or is
// held and joined to the next chunk, so that a line cut by TCP segmentation arrives whole.
//
// No line longer than kMaxHeldBytes ever comes out, nor any piece of one: such a line is dropped
// as a whole, up to its line end (or the zero byte that ends it), however many chunks it takes.
class LineFramer {
public:
    // A peer that sends no line end cannot make the link buffer without bound, and a piece of
    // an overlong line cannot pass for a report of its own.
    static constexpr std::size_t kMaxHeldBytes = std::size_t{1} << 20;

    struct Pieces {
        TextList lines;
        std::string rest;
        std::size_t dropped = 0;  // overlong lines this cut dropped
    };

    // The held rest, if any, is put in front of the chunk and is no longer held.
    Pieces Cut(std::string_view chunk);

    // Cuts as Cut does, with nothing made on the way: each line goes to line as it is found, as a
    // view that lasts for the call (into the chunk, or into the held rest joined to the chunk's
    // first line), and the rest stays held, to be taken with TakeHeld where it is a line now.
    // Gives how many overlong lines this cut dropped.
    std::size_t CutEach(std::string_view chunk, const std::function<void(std::string_view line)>& line);

    // Keeps the rest for the next chunk. False, with nothing held, when the rest is too long.
    bool Hold(std::string_view rest);

    // Gives up the held rest (empty when nothing is held).
    std::string TakeHeld();

    bool Holding() const { return !held_.empty(); }

    // Overlong lines dropped so far.
    std::size_t DroppedLines() const { return droppedLines_; }

private:
    std::string_view SkipDroppedLine(std::string_view usable, bool endsAtZero);

    std::string held_;
    // The line being received is overlong and has been dropped: the rest of it goes too.
    bool discarding_ = false;
    std::size_t droppedLines_ = 0;
};

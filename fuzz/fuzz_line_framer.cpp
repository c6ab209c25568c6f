// The line framer, used as the link uses it, against a reader that walks the same chunks byte
// by byte: CR ends a line, LF ends one unless it follows a CR of the same chunk, a zero byte
// ends the piece before it (when there is one) and the rest of its chunk. At the end of a
// chunk the unfinished piece is either held for the next chunk or taken as a line, as the
// fuzzer chooses. (A piece over the bound on what is held, never held, is longer than the
// fuzzer's inputs; the unit tests cover it.)
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "Require.hpp"
#include "link/LineFramer.hpp"

namespace {

class ByteReader {
public:
    void Chunk(const std::string& chunk, bool hold) {
        char previous = '\0';
        for (const char c : chunk) {
            if (c == '\0') {
                EndPieceIfAny();
                return;
            }
            if (c == '\r' || (c == '\n' && previous != '\r')) {
                lines.push_back(std::move(piece_));
                piece_.clear();
            } else if (c != '\n') {
                piece_.push_back(c);
            }
            previous = c;
        }
        if (!hold || piece_.size() > LineFramer::kMaxHeldBytes) {
            EndPieceIfAny();
        }
    }
    void End() { EndPieceIfAny(); }

    TextList lines;

private:
    void EndPieceIfAny() {
        if (!piece_.empty()) {
            lines.push_back(std::move(piece_));
            piece_.clear();
        }
    }
    std::string piece_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    LineFramer framer;
    TextList lines;
    ByteReader reader;
    while (input.remaining_bytes() > 0) {
        const bool hold = input.ConsumeBool();
        const std::string chunk = input.ConsumeRandomLengthString(64);
        LineFramer::Pieces pieces = framer.Cut(chunk);
        for (auto& line : pieces.lines) {
            lines.push_back(std::move(line));
        }
        KRV_REQUIRE(!framer.Holding());
        if (!pieces.rest.empty() && !(hold && framer.Hold(std::move(pieces.rest)))) {
            lines.push_back(std::move(pieces.rest));
        }
        reader.Chunk(chunk, hold);
        KRV_REQUIRE(lines == reader.lines);
    }
    if (framer.Holding()) {
        lines.push_back(framer.TakeHeld());
    }
    reader.End();
    KRV_REQUIRE(lines == reader.lines);
    return 0;
}

#include "link/LineFramer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

struct CutCase {
    const char* label;
    std::string chunk;
    TextList lines;
    std::string rest;
};

TEST(LineFramer, CutsOneChunkAtEveryKindOfLineEnd) {
    using namespace std::string_literals;
    const CutCase cases[] = {
        {"empty chunk", "", {}, ""},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}, ""},
        {"lone CR", "a\rb\r", {"a", "b"}, ""},
        {"lone LF", "a\nb\n", {"a", "b"}, ""},
        {"LF CR ends two lines", "a\n\rb\n", {"a", "", "b"}, ""},
        {"CR CR ends two lines", "a\r\rb\r", {"a", "", "b"}, ""},
        {"line ends only", "\r\n\n", {"", ""}, ""},
        {"unterminated rest", "a\r\nbc", {"a"}, "bc"},
        {"no line end at all", "abc", {}, "abc"},
        {"zero byte ends the piece before it", "a\r\nbc\0de\r\n"s, {"a", "bc"}, ""},
        {"zero byte right after a line end", "a\r\n\0de"s, {"a"}, ""},
        {"zero byte first", "\0abc\r\n"s, {}, ""},
        {"high bytes pass through", "\xe4\xff\r\n", {"\xe4\xff"}, ""},
        {"line feeds before a far carriage return", "a\nb\nc\rd\ne\r\n", {"a", "b", "c", "d", "e"}, ""},
        {"carriage returns before a far line feed", "a\rb\rc\nd\re", {"a", "b", "c", "d"}, "e"},
        {"alternating line ends", "\n\r\n\r", {"", "", ""}, ""},
        {"CR LF after lone ends of both kinds", "x\ry\nz\r\nw\n", {"x", "y", "z", "w"}, ""},
    };
    for (const auto& c : cases) {
        LineFramer framer;
        const auto pieces = framer.Cut(c.chunk);
        EXPECT_THAT(pieces.lines, ElementsAreArray(c.lines)) << c.label;
        EXPECT_EQ(pieces.rest, c.rest) << c.label;
    }
}

TEST(LineFramer, HeldRestIsJoinedToTheNextChunk) {
    LineFramer framer;
    ASSERT_TRUE(framer.Hold("ARLM_al"));
    EXPECT_TRUE(framer.Holding());
    const auto pieces = framer.Cut("ice:x\r\nARLC");
    EXPECT_THAT(pieces.lines, ElementsAreArray({"ARLM_alice:x"}));
    EXPECT_EQ(pieces.rest, "ARLC");
    EXPECT_FALSE(framer.Holding());
}

TEST(LineFramer, HeldRestBeforeAZeroByteBecomesALine) {
    LineFramer framer;
    ASSERT_TRUE(framer.Hold("ab"));
    const auto pieces = framer.Cut(std::string("c\0junk", 6));
    EXPECT_THAT(pieces.lines, ElementsAreArray({"abc"}));
    EXPECT_THAT(pieces.rest, IsEmpty());
}

TEST(LineFramer, LongLineDribbledInSmallChunksArrivesWhole) {
    LineFramer framer;
    std::string line;
    for (int i = 0; i < 1000; ++i) {
        const std::string piece = std::to_string(i) + ",";
        auto pieces = framer.Cut(piece);
        ASSERT_THAT(pieces.lines, IsEmpty());
        line += piece;
        ASSERT_EQ(pieces.rest, line);
        ASSERT_TRUE(framer.Hold(std::move(pieces.rest)));
    }
    const auto pieces = framer.Cut("end\r\nnext");
    EXPECT_THAT(pieces.lines, ElementsAreArray({line + "end"}));
    EXPECT_EQ(pieces.rest, "next");
}

TEST(LineFramer, HoldsAtMostOneMebibyte) {
    LineFramer framer;
    EXPECT_TRUE(framer.Hold(std::string(LineFramer::kMaxHeldBytes, 'x')));
    EXPECT_EQ(framer.TakeHeld().size(), LineFramer::kMaxHeldBytes);
    EXPECT_FALSE(framer.Holding());

    EXPECT_FALSE(framer.Hold(std::string(LineFramer::kMaxHeldBytes + 1, 'x')));
    EXPECT_FALSE(framer.Holding());
}

// A line over the bound goes as a whole, never as pieces that could each pass for a line; the
// line after it comes out as usual.
TEST(LineFramer, AnOverlongLineIsDroppedAsOne) {
    const std::string bound(LineFramer::kMaxHeldBytes, 'x');
    struct Case {
        const char* label;
        std::vector<std::string> chunks;
    };
    const Case cases[] = {
        {"in one chunk", {bound + "yARLM:on,,ghost=;;\r\nARLC\r\n"}},
        {"held, then one byte over", {bound, "y", "ARLM:on,,ghost=;;\r\n", "ARLC\r\n"}},
        {"many chunks without a line end", {bound, "yy", "ARLM:on", ",,ghost=;;", "\r\nARLC\r\n"}},
        {"ended in a later chunk", {bound, "y", "\r\nARLC\r\n"}},
        {"ended by a zero byte", {bound + "y", std::string("ghost\0junk", 10), "ARLC\r\n"}},
    };
    for (const auto& c : cases) {
        LineFramer framer;
        TextList lines;
        for (const auto& chunk : c.chunks) {
            auto pieces = framer.Cut(chunk);
            lines.insert(lines.end(), pieces.lines.begin(), pieces.lines.end());
            if (!pieces.rest.empty()) {
                ASSERT_TRUE(framer.Hold(std::move(pieces.rest))) << c.label;
            }
        }
        EXPECT_THAT(lines, ::testing::ElementsAre("ARLC")) << c.label;
        EXPECT_EQ(framer.DroppedLines(), 1u) << c.label;
        EXPECT_FALSE(framer.Holding()) << c.label;
    }
}

TEST(LineFramer, ALineAtTheBoundIsKept) {
    const std::string bound(LineFramer::kMaxHeldBytes, 'x');
    LineFramer framer;
    auto pieces = framer.Cut(bound.substr(0, 10));
    ASSERT_TRUE(framer.Hold(std::move(pieces.rest)));
    pieces = framer.Cut(bound.substr(10) + "\r\n");
    EXPECT_THAT(pieces.lines, ::testing::ElementsAre(bound));
    EXPECT_EQ(framer.DroppedLines(), 0u);
}

}  // namespace

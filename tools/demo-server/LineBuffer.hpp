#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Collects the bytes of one connection and hands them out as lines. A line ends at CR, LF or
// CR LF, also when the CR and the LF arrive in different reads. The unfinished tail is bounded so
// that a peer sending an endless line cannot exhaust memory.
class LineBuffer {
public:
    explicit LineBuffer(std::size_t maxLineBytes) : maxLineBytes_(maxLineBytes) {}

    void Append(std::string_view bytes);

    // The next complete line, without its line end.
    std::optional<std::string> NextLine();

    // True once the unfinished tail has grown beyond the bound; the connection should go.
    bool Overflowed() const { return tail_.size() - tailStart_ > maxLineBytes_; }

private:
    void Compact();

    std::size_t maxLineBytes_;
    std::string tail_;
    std::size_t tailStart_ = 0;
    bool skipLineFeed_ = false;
};

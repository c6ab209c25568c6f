#include "LineBuffer.hpp"

void LineBuffer::Append(std::string_view bytes) {
    Compact();
    tail_.append(bytes);
}

std::optional<std::string> LineBuffer::NextLine() {
    // A CR that ended the previous line may have its LF at the start of the next read.
    if (skipLineFeed_ && tailStart_ < tail_.size()) {
        if (tail_[tailStart_] == '\n') {
            ++tailStart_;
        }
        skipLineFeed_ = false;
    }
    std::size_t end = tail_.find_first_of("\r\n", tailStart_);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string line = tail_.substr(tailStart_, end - tailStart_);
    tailStart_ = end + 1;
    if (tail_[end] == '\r') {
        skipLineFeed_ = true;
    }
    return line;
}

void LineBuffer::Compact() {
    // Dropping consumed bytes only now keeps NextLine linear over a large read.
    tail_.erase(0, tailStart_);
    tailStart_ = 0;
}

#pragma once

#include <string_view>

class TkvClient;

// A handler of received lines; the link gives it every non-blank line at once, inside the
// receive notification.
class TkvClientProtocol {
public:
    virtual ~TkvClientProtocol() = default;
    virtual void Process(TkvClient& link, std::string_view line) = 0;
};

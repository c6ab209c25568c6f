#pragma once

#include <string>

class TkvClient;

// A handler of received lines; the link gives it every non-blank line at once, inside the
// receive notification.
class TkvClientProtocol {
public:
    virtual ~TkvClientProtocol() = default;
    virtual void Process(TkvClient& link, const std::string& line) = 0;
};

#pragma once

#include <cstdint>
#include <string>

// The platform's own description of a Windows Sockets error number: the text of the matching
// errno value, or of the matching resolver failure for the host-lookup numbers.
std::string WinsockErrorText(int32_t code);

#pragma once

#include <string>
#include <string_view>

// A line from the server: code, optionally "_" and a subject, optionally ":" and a payload.
struct ServerLine {
    std::string code;
    std::string subject;
    std::string payload;
};

// Only the first ":" separates; the head is trimmed, the subject and the payload keep their
// blanks.
ServerLine CutServerLine(std::string_view line);

#pragma once

#include <string>
#include <string_view>

// A line from the server: code, optionally "_" and a subject, optionally ":" and a payload.
struct ServerLine {
    std::string code;
    std::string subject;
    std::string payload;
};

// The same pieces as views into the line they were cut from.
struct ServerLineView {
    std::string_view code;
    std::string_view subject;
    std::string_view payload;
};

// Only the first ":" separates; the head is trimmed, the subject and the payload keep their
// blanks.
ServerLine CutServerLine(std::string_view line);
// The same cut without copying a byte, for a line that is only read while it lasts.
ServerLineView CutServerLineView(std::string_view line);

// The other way round: code ":" payload, or code "_" subject ":" payload.
std::string JoinedLine(std::string_view code, std::string_view payload);
std::string JoinedLine(std::string_view code, std::string_view subject, std::string_view payload);

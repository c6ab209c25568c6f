#include "protocol/ServerLine.hpp"

#include "util/untCalc1.hpp"

ServerLine CutServerLine(std::string_view line) {
    const ServerLineView cut = CutServerLineView(line);
    return {std::string(cut.code), std::string(cut.subject), std::string(cut.payload)};
}

ServerLineView CutServerLineView(std::string_view line) {
    ServerLineView cut;
    std::string_view head;
    SplitFirst(line, ':', false, head, cut.payload);
    SplitFirst(TrimView(head), '_', false, cut.code, cut.subject);
    return cut;
}

std::string JoinedLine(std::string_view code, std::string_view payload) {
    std::string line(code);
    line += ':';
    line += payload;
    return line;
}

std::string JoinedLine(std::string_view code, std::string_view subject, std::string_view payload) {
    std::string line(code);
    line += '_';
    line += subject;
    line += ':';
    line += payload;
    return line;
}

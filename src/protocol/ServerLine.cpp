#include "protocol/ServerLine.hpp"

#include "util/untCalc1.hpp"

ServerLine CutServerLine(std::string_view line) {
    ServerLine cut;
    std::string head;
    SplitFirst(std::string(line), ":", false, head, cut.payload);
    SplitFirst(Trim(head), "_", false, cut.code, cut.subject);
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

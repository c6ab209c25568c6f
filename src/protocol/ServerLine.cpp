#include "protocol/ServerLine.hpp"

#include "util/untCalc1.hpp"

ServerLine CutServerLine(std::string_view line) {
    ServerLine cut;
    std::string head;
    SplitFirst(std::string(line), ":", false, head, cut.payload);
    SplitFirst(Trim(head), "_", false, cut.code, cut.subject);
    return cut;
}

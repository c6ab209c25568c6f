#include "RequestLine.hpp"

#include "util/untCalc1.hpp"

RequestLine CutRequestLine(std::string_view line) {
    std::string head;
    RequestLine cut;
    SplitFirst(std::string(line), ":", false, head, cut.payload);
    SplitFirst(Trim(head), "_", false, cut.code, cut.subject);
    cut.subject = Trim(cut.subject);
    return cut;
}

AccountFields ParseAccountFields(std::string_view payload) {
    AccountFields fields;
    std::string rest;
    SplitFirst(std::string(payload), ",", true, fields.password, rest);
    SplitFirst(rest, ";", true, fields.protocols, rest);
    SplitFirst(rest, ";", true, fields.userBots, rest);
    return fields;
}

std::string LoginProblem(std::string_view login) {
    if (login.empty()) {
        return "empty login";
    }
    if (login.find_first_of(",=") != std::string_view::npos) {
        return "login holds \",\" or \"=\"";
    }
    return {};
}

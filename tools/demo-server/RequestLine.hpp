#pragma once

#include <string>
#include <string_view>

// One line from a logged-in client: code, optionally "_" and a subject, optionally ":" and a
// payload. Only the first ":" separates; later colons belong to the payload.
struct RequestLine {
    std::string code;
    std::string subject;
    std::string payload;
};

RequestLine CutRequestLine(std::string_view line);

// The payload of an add or edit request: password "," protocols ";" user bots, each trimmed.
struct AccountFields {
    std::string password;
    std::string protocols;
    std::string userBots;
};

AccountFields ParseAccountFields(std::string_view payload);

// Why a login cannot be stored, or empty when it can. A member text ends the login at "=" and
// the presence fields before it at ",", so a login holding either would corrupt every report.
std::string LoginProblem(std::string_view login);

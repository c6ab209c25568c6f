#include "journal/JournalRecordText.hpp"

#include <cctype>
#include <charconv>
#include <ctime>

namespace {

bool ReadNumber(std::string_view text, int& value) {
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    return failure == std::errc() && end == text.data() + text.size();
}

std::optional<JournalTime> ParseAge(std::string_view text, JournalTime now) {
    if (text.size() < 2) {
        return std::nullopt;
    }
    int amount = 0;
    if (!ReadNumber(text.substr(0, text.size() - 1), amount) || amount < 0) {
        return std::nullopt;
    }
    std::chrono::seconds unit{0};
    switch (text.back()) {
        case 's':
            unit = std::chrono::seconds(1);
            break;
        case 'm':
            unit = std::chrono::minutes(1);
            break;
        case 'h':
            unit = std::chrono::hours(1);
            break;
        case 'd':
            unit = std::chrono::hours(24);
            break;
        default:
            return std::nullopt;
    }
    return now - unit * amount;
}

}  // namespace

std::string JournalTimeText(JournalTime time) {
    const std::time_t seconds =
        JournalClock::to_time_t(std::chrono::time_point_cast<JournalClock::duration>(time));
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::optional<JournalTime> ParseJournalTime(std::string_view text, JournalTime now) {
    if (!text.empty() && std::isdigit(static_cast<unsigned char>(text.back())) == 0) {
        return ParseAge(text, now);
    }
    // YYYY-MM-DD[( |T)HH:MM[:SS]]
    std::tm local{};
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    const auto field = [&](size_t at, size_t length, int& value) {
        return text.size() >= at + length && ReadNumber(text.substr(at, length), value);
    };
    const bool date = text.size() >= 10 && text[4] == '-' && text[7] == '-' && field(0, 4, year) &&
                      field(5, 2, month) && field(8, 2, day);
    if (!date) {
        return std::nullopt;
    }
    if (text.size() > 10) {
        const bool clock = (text[10] == ' ' || text[10] == 'T') && text.size() >= 16 && text[13] == ':' &&
                           field(11, 2, hour) && field(14, 2, minute);
        const bool exact =
            text.size() == 16 || (text.size() == 19 && text[16] == ':' && field(17, 2, second));
        if (!clock || !exact) {
            return std::nullopt;
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return std::chrono::time_point_cast<std::chrono::milliseconds>(JournalClock::from_time_t(seconds));
}

std::string ChangesText(const RequestEntry& entry) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    bool passwordTold = false;
    for (const ChangedField& field : entry.fields) {
        if (IsSecretField(field.name)) {
            if (!passwordTold) {
                add("password changed");
                passwordTold = true;
            }
        } else {
            add(field.name + "=" + field.value);
        }
    }
    if (entry.passwordChanged && !passwordTold) {
        text = "password changed" + (text.empty() ? std::string() : ", " + text);
    }
    return text;
}

std::string OutcomeText(const OutcomeUpdate& outcome) {
    std::string text = JournalOutcomeName(outcome.outcome);
    if (outcome.outcome == JournalOutcome::Confirmed && !outcome.report.empty()) {
        text += " by " + outcome.report;
    } else if (!outcome.text.empty()) {
        text += ": " + outcome.text;
    }
    return text;
}

std::string ServerText(const JournalServer& server) {
    std::string text = server.host + ":" + std::to_string(server.port);
    return server.name.empty() ? text : server.name + " (" + text + ")";
}

const std::vector<std::string>& RequestColumnNames() {
    static const std::vector<std::string> names{"time",    "server",  "administrator", "command", "member",
                                                "changes", "outcome", "settled",       "reason"};
    return names;
}

std::vector<std::string> RequestColumns(const RequestRecord& record) {
    const RequestEntry& entry = record.entry;
    const bool settled =
        record.outcome.outcome != JournalOutcome::Pending && record.outcome.time != JournalTime{};
    return {JournalTimeText(entry.time),
            ServerText(entry.server),
            entry.administrator,
            entry.command,
            entry.member,
            ChangesText(entry),
            OutcomeText(record.outcome),
            settled ? JournalTimeText(record.outcome.time) : std::string(),
            entry.reason};
}

std::string CsvRow(const std::vector<std::string>& fields) {
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            row += ',';
        }
        const std::string& field = fields[i];
        if (field.find_first_of(",\"\r\n") == std::string::npos) {
            row += field;
            continue;
        }
        row += '"';
        for (const char c : field) {
            row += c;
            if (c == '"') {
                row += '"';
            }
        }
        row += '"';
    }
    return row + "\r\n";
}

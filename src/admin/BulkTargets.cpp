#include "admin/BulkTargets.hpp"

#include <algorithm>

#include "util/Csv.hpp"
#include "util/untCalc1.hpp"

namespace {

constexpr std::string_view kListingHeader = "login,online,protocols,user_bots";

std::string_view FirstLine(std::string_view text) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

}  // namespace

bool ReadTargetFile(std::string_view text, std::vector<std::string>& logins, std::string& error) {
    logins.clear();
    if (FirstLine(text) == kListingHeader) {
        CsvReader reader(text);
        CsvRecord record;
        reader.Next(record);  // the header
        while (reader.Next(record)) {
            if (!record.error.empty()) {
                error = "line " + std::to_string(record.line) + ": " + record.error;
                return false;
            }
            if (std::string login = Trim(record.fields.front()); !login.empty()) {
                logins.push_back(std::move(login));
            }
        }
        return true;
    }
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (std::string login = Trim(text.substr(at, end - at)); !login.empty()) {
            logins.push_back(std::move(login));
        }
        at = end + 1;
    }
    return true;
}

std::vector<std::string> SelectTargets(const TkvCLDataCollection& members,
                                       const std::optional<std::vector<std::string>>& named,
                                       const MemberFilter& filter) {
    std::vector<std::string> targets;
    if (named) {
        for (const std::string& login : *named) {
            const TkvCLData* member = members.RecordOf(login);
            if (member == nullptr || filter.Matches(*member)) {
                targets.push_back(login);
            }
        }
        return targets;
    }
    for (int32_t i = 0; i < members.Count(); ++i) {
        const TkvCLData* member = members.Items(i);
        if (filter.Matches(*member)) {
            targets.emplace_back(member->Login());
        }
    }
    return targets;
}

#include "admin/MemberOutput.hpp"

#include <algorithm>

#include "admin/TextOut.hpp"
#include "util/Csv.hpp"

namespace {

std::string_view YesNo(bool value) {
    return value ? "yes" : "no";
}

struct Columns {
    std::string login;
    std::string_view online;
    std::string protocols;
    std::string userBots;
};

Columns VisibleColumnsOf(const TkvCLData& member) {
    return {VisibleText(member.Login()), YesNo(member.Online()), VisibleText(member.GetProtocolsText()),
            VisibleText(member.GetUserBotsText())};
}

void AppendTsvRow(std::string& out, std::initializer_list<std::string_view> fields) {
    AppendDelimitedRow(out, fields, '\t', "\n", AppendTsvField);
}

void AppendJsonList(std::string& out, const TextList& items) {
    out.push_back('[');
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
        }
        AppendJsonString(out, items[i]);
    }
    out.push_back(']');
}

// Blanks pad by bytes: the table lines up for ASCII logins, which is what it is read for.
void AppendPadded(std::string& out, std::string_view text, size_t width) {
    out.append(text);
    out.append(width > text.size() ? width - text.size() : 0, ' ');
}

std::string FormatTable(const std::vector<const TkvCLData*>& members) {
    const std::vector<std::string_view> heads = {"LOGIN", "ONLINE", "PROTOCOLS", "USER BOTS"};
    std::vector<Columns> rows;
    rows.reserve(members.size());
    size_t widths[3] = {heads[0].size(), heads[1].size(), heads[2].size()};
    for (const TkvCLData* member : members) {
        rows.push_back(VisibleColumnsOf(*member));
        const Columns& row = rows.back();
        widths[0] = std::max(widths[0], row.login.size());
        widths[1] = std::max(widths[1], row.online.size());
        widths[2] = std::max(widths[2], row.protocols.size());
    }
    std::string out;
    const auto appendLine = [&](std::string_view a, std::string_view b, std::string_view c,
                                std::string_view d) {
        AppendPadded(out, a, widths[0] + 2);
        AppendPadded(out, b, widths[1] + 2);
        if (d.empty()) {
            out.append(c);
        } else {
            AppendPadded(out, c, widths[2] + 2);
            out.append(d);
        }
        out.push_back('\n');
    };
    appendLine(heads[0], heads[1], heads[2], heads[3]);
    for (const Columns& row : rows) {
        appendLine(row.login, row.online, row.protocols, row.userBots);
    }
    return out;
}

template <typename AppendRow>
std::string FormatDelimited(const std::vector<const TkvCLData*>& members, AppendRow appendRow) {
    std::string out;
    out.reserve(members.size() * 48);
    appendRow(out, {kLoginColumn, kOnlineColumn, kProtocolsColumn, kUserBotsColumn});
    // Reused from row to row, so a million rows cost no allocation each.
    std::string protocols;
    std::string userBots;
    for (const TkvCLData* member : members) {
        protocols.clear();
        member->AppendProtocolsText(protocols);
        userBots.clear();
        member->AppendUserBotsText(userBots);
        appendRow(out, {member->Login(), YesNo(member->Online()), protocols, userBots});
    }
    return out;
}

}  // namespace

bool ReadOutputFormat(std::string_view name, OutputFormat& format) {
    if (name == "table") {
        format = OutputFormat::Table;
    } else if (name == "csv") {
        format = OutputFormat::Csv;
    } else if (name == "tsv") {
        format = OutputFormat::Tsv;
    } else if (name == "json") {
        format = OutputFormat::Json;
    } else {
        return false;
    }
    return true;
}

std::vector<const TkvCLData*> SelectMembers(const TkvCLDataCollection& members, bool onlineOnly,
                                            bool sorted) {
    std::vector<const TkvCLData*> selected;
    selected.reserve(static_cast<size_t>(members.Count()));
    for (int32_t i = 0; i < members.Count(); ++i) {
        const TkvCLData* member = members.Items(i);
        if (!onlineOnly || member->Online()) {
            selected.push_back(member);
        }
    }
    if (sorted) {
        std::vector<std::pair<std::string, const TkvCLData*>> keyed;
        keyed.reserve(selected.size());
        for (const TkvCLData* member : selected) {
            keyed.emplace_back(FoldAscii(member->Login()), member);
        }
        std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : a.second->Login() < b.second->Login();
        });
        for (size_t i = 0; i < keyed.size(); ++i) {
            selected[i] = keyed[i].second;
        }
    }
    return selected;
}

void AppendMemberJson(std::string& out, const TkvCLData& member) {
    out.append("{\"login\":");
    AppendJsonString(out, member.Login());
    out.append(",\"online\":");
    out.append(member.Online() ? "true" : "false");
    out.append(",\"presence1\":");
    AppendJsonString(out, member.Presence1());
    out.append(",\"presence2\":");
    AppendJsonString(out, member.Presence2());
    out.append(",\"protocols\":");
    AppendJsonList(out, member.Protocols());
    out.append(",\"user_bots\":");
    AppendJsonList(out, member.UserBots());
    out.push_back('}');
}

std::string FormatMembers(const std::vector<const TkvCLData*>& members, OutputFormat format) {
    switch (format) {
        case OutputFormat::Table:
            return FormatTable(members);
        case OutputFormat::Csv:
            return FormatDelimited(members, AppendCsvRow);
        case OutputFormat::Tsv:
            return FormatDelimited(members, AppendTsvRow);
        case OutputFormat::Json:
            break;
    }
    std::string out = "[";
    out.reserve(members.size() * 120);
    for (size_t i = 0; i < members.size(); ++i) {
        out.append(i == 0 ? "\n" : ",\n");
        AppendMemberJson(out, *members[i]);
    }
    out.append("\n]\n");
    return out;
}

std::string FormatMember(const TkvCLData& member, OutputFormat format) {
    if (format != OutputFormat::Table) {
        if (format == OutputFormat::Json) {
            std::string out;
            AppendMemberJson(out, member);
            out.push_back('\n');
            return out;
        }
        return FormatMembers({&member}, format);
    }
    std::string out;
    for (const auto& [name, value] : {std::pair<std::string_view, std::string>{"login", member.Login()},
                                      {"online", std::string(YesNo(member.Online()))},
                                      {"presence1", member.Presence1()},
                                      {"presence2", member.Presence2()},
                                      {"protocols", member.GetProtocolsText()},
                                      {"user bots", member.GetUserBotsText()}}) {
        out.append(name);
        out.append(": ");
        out.append(VisibleText(value));
        out.push_back('\n');
    }
    return out;
}

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "members/TkvCLDataCollection.hpp"

enum class OutputFormat { Table, Csv, Tsv, Json };

// "table", "csv", "tsv" or "json"; false for anything else.
bool ReadOutputFormat(std::string_view name, OutputFormat& format);

// The members to print: in the server's order, or by login (ASCII letters folded, ties by byte).
std::vector<const TkvCLData*> SelectMembers(const TkvCLDataCollection& members, bool onlineOnly, bool sorted);

// The whole list with a header (csv, tsv), aligned columns (table) or as one JSON array.
std::string FormatMembers(const std::vector<const TkvCLData*>& members, OutputFormat format);

// One member: "field: value" lines for the table format, otherwise as the list prints it.
std::string FormatMember(const TkvCLData& member, OutputFormat format);

// One member as a JSON object, the presence fields included.
void AppendMemberJson(std::string& out, const TkvCLData& member);

// The column names of csv and tsv output, which import reads back.
inline constexpr std::string_view kLoginColumn = "login";
inline constexpr std::string_view kOnlineColumn = "online";
inline constexpr std::string_view kPasswordColumn = "password";
inline constexpr std::string_view kProtocolsColumn = "protocols";
inline constexpr std::string_view kUserBotsColumn = "user_bots";

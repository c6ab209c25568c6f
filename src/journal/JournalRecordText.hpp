#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/JournalTypes.hpp"

// A journal entry in words, the same in the journal window, its CSV export and krvadmin journal.

// Local time, "2026-12-11 02:30:05".
std::string JournalTimeText(JournalTime time);
// "2026-12-11", "2026-12-11 02:30", "2026-12-11 02:30:05" or with a "T", read as local time;
// or an age back from now: "90s", "30m", "12h", "7d". Unset when it is none of these.
std::optional<JournalTime> ParseJournalTime(std::string_view text, JournalTime now);

// "password changed, protocols=chat, bots=b1": what the request changed, the password's value
// never.
std::string ChangesText(const RequestEntry& entry);
// "confirmed by ARD", "refused: no such account", "unconfirmed: …", "pending", "cancelled".
std::string OutcomeText(const OutcomeUpdate& outcome);
std::string ServerText(const JournalServer& server);

// The columns of a request, as the window's table and every export show them.
const std::vector<std::string>& RequestColumnNames();
std::vector<std::string> RequestColumns(const RequestRecord& record);

// RFC 4180: a field holding a comma, a quote or a line end is quoted, its quotes doubled; the
// row ends with CR LF.
std::string CsvRow(const std::vector<std::string>& fields);

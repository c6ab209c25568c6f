#pragma once

#include <string>
#include <vector>

#include "admin/AdminArguments.hpp"
#include "journal/JournalTypes.hpp"

// The requests of the journal as krvadmin journal prints them, newest first.
std::string FormatJournal(const std::vector<RequestRecord>& records, JournalFormat format);

// The filter the options describe; false with the reason when a time cannot be read.
bool JournalFilterOf(const CommandOptions& options, JournalTime now, RequestFilter& filter,
                     std::string& error);

// Reads the journal at path (empty: this user's) and prints it to standard output; the exit
// status. A journal never written is no error: nothing has been done yet.
int RunJournalCommand(const CommandOptions& options, const std::string& path = {});

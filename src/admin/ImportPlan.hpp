#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "members/TkvCLDataCollection.hpp"
#include "session/AccountRules.hpp"
#include "session/RequestFollower.hpp"
#include "util/Csv.hpp"

// Every record of an import file, the header first. False with the reason when a quote is
// never closed: it takes every line after it into one field, so those rows would be neither sent
// nor reported; such a file is refused whole, before any row is sent.
bool ReadImportRecords(std::string_view text, std::vector<CsvRecord>& records, std::string& error);

// Where the account fields stand in an import file; -1 for a column it does not have.
struct ImportColumns {
    int login = -1;
    int password = -1;
    int protocols = -1;
    int userBots = -1;
    size_t count = 0;  // fields every row must have
};

// Reads the header row (names compared without regard to ASCII letter case; "bots" is taken
// for "user_bots"; other columns are ignored). False with the reason when it has no login
// column or names one twice.
bool ReadImportHeader(const CsvRecord& header, ImportColumns& columns, std::string& error);

enum class ImportAction { Add, Edit, Refuse, Skip };

// What one row becomes: the fields of a request to send, or why it is not sent. A row that is malformed
// is skipped; a row that is well formed but cannot or must not be sent is refused.
struct ImportStep {
    size_t line = 0;
    ImportAction action = ImportAction::Skip;
    std::string login;
    std::string reason;
    AccountFields fields;  // what the request carries
};

// members is the server's list as it stands when the row is sent: an existing login is edited
// with update, keeping the fields the file has no column for, and refused without it. ownLogin
// is the login this connection is logged in with.
ImportStep PlanImportRow(const CsvRecord& row, const ImportColumns& columns,
                         const TkvCLDataCollection& members, bool update, std::string_view ownLogin);

// The rows sent and not yet answered, and the outcome of every row, for the summary.
class ImportTally {
public:
    // id: the request the session follows for the row.
    void Sent(const ImportStep& step, RequestId id);
    void NotSent(const ImportStep& step);
    // The session settled a request; true when the server answered one of the rows sent. A row
    // left unanswered stays counted as sent without an answer.
    bool Settled(const SettledRequest& request);

    size_t Pending() const { return pending_; }
    size_t Added() const { return added_; }
    size_t Changed() const { return changed_; }
    size_t RefusedCount() const { return refused_.size(); }
    size_t SkippedCount() const { return skipped_.size(); }
    // Counts, then every refused row with its reason and every skipped row with its line.
    std::string Summary(bool dryRun) const;

private:
    struct Waiting {
        size_t line;
        ImportAction action;
        std::string login;
    };
    struct Outcome {
        size_t line;
        std::string login;
        std::string reason;
    };

    std::unordered_map<RequestId, Waiting> waiting_;
    size_t pending_ = 0;
    size_t added_ = 0;
    size_t changed_ = 0;
    std::vector<Outcome> refused_;
    std::vector<Outcome> skipped_;
};

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalTypes.hpp"
#include "journal/Sqlite.hpp"

// The journal file as the writer thread sees it: the schema, the writes and the pruning. Every
// failure is a SqliteError; the writer decides what it means.
class JournalStore {
public:
    // Opens or creates the file and its tables, in write-ahead-log mode.
    JournalStore(const std::string& path, std::chrono::milliseconds busyTimeout);

    void Begin();
    void Commit();
    void Rollback() noexcept;

    // outcome: what became of it, when that is known already; otherwise pending.
    int64_t Insert(const JournalRequest& request, const OutcomeUpdate* outcome = nullptr);
    // A request whose outcome is known already and whose row no one names later: such rows go
    // to the file many to a statement, by the next other write or Commit at the latest, in the
    // order given.
    void InsertSettled(const JournalRequest& request, const OutcomeUpdate& outcome);
    void UpdateOutcome(int64_t id, const OutcomeUpdate& outcome);
    void Insert(const ConnectionEntry& entry);
    void Insert(const MemberCountEntry& entry);

    // Removes what is older than maxAge, then the oldest entries until the pages in use hold no
    // more than maxBytes, and gives the freed pages back to the file system.
    void Prune(JournalTime now, std::chrono::milliseconds maxAge, int64_t maxBytes);

    // Bytes in the pages that hold data, the free ones left out.
    int64_t UsedBytes();

private:
    struct SettledRow {
        std::shared_ptr<const RequestContext> context;
        JournalTime time;
        int64_t memberId = 0;  // 0: none
        std::string fields;    // encoded
        bool passwordChanged = false;
        std::optional<OutcomeUpdate> outcome;  // a copy: the caller's may be gone by the write
    };

    int64_t MemberId(const std::string& member);
    SettledRow RowOf(const JournalRequest& request, const OutcomeUpdate* outcome);
    // Binds what is the request's own, as the statement's row-th row.
    void BindOwn(Statement& statement, int row, const SettledRow& values);
    void BindContext(Statement& statement, const RequestContext& context);
    void BindContextOnce(Statement& statement, std::shared_ptr<const RequestContext>& bound,
                         const std::shared_ptr<const RequestContext>& context);
    void WriteSettledRows();
    // The rows it removed.
    int64_t DropOldestShare(const char* table, double share);
    void DropOrphanMembers();

    SqliteDb db_;
    Statement begin_;
    Statement commit_;
    Statement addMember_;
    Statement findMember_;
    Statement addRequest_;
    Statement addRequests_;  // kRowsAtOnce rows of one context
    Statement updateOutcome_;
    Statement addConnection_;
    Statement addCount_;
    SettledRow single_;  // the request's own values as bound, alive until its insert has run
    std::vector<SettledRow> settledRows_;
    // The context whose texts the request statement holds: a statement keeps its values from
    // one run to the next, so the requests of one context bind them once, and this keeps the
    // texts alive meanwhile.
    std::shared_ptr<const RequestContext> boundContext_;
    std::shared_ptr<const RequestContext> boundManyContext_;  // addRequests_'s
};

// Whether an error says the file is not a database, or a damaged one.
bool IsDamage(const SqliteError& error);

// The fields as one text and back; a secret field keeps its name only.
std::string EncodeFields(const std::vector<ChangedField>& fields);
std::vector<ChangedField> DecodeFields(std::string_view text);

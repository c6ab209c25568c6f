#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

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
    void UpdateOutcome(int64_t id, const OutcomeUpdate& outcome);
    void Insert(const ConnectionEntry& entry);
    void Insert(const MemberCountEntry& entry);

    // Removes what is older than maxAge, then the oldest entries until the pages in use hold no
    // more than maxBytes, and gives the freed pages back to the file system.
    void Prune(JournalTime now, std::chrono::milliseconds maxAge, int64_t maxBytes);

    // Bytes in the pages that hold data, the free ones left out.
    int64_t UsedBytes();

private:
    int64_t MemberId(const std::string& member);
    void DropOldestShare(const char* table, double share);
    void DropOrphanMembers();

    SqliteDb db_;
    Statement begin_;
    Statement commit_;
    Statement addMember_;
    Statement findMember_;
    Statement addRequest_;
    Statement updateOutcome_;
    Statement addConnection_;
    Statement addCount_;
    std::string fieldsText_;  // the request's fields as bound, alive until its insert has run
    // The context whose texts the request statement holds: a statement keeps its values from
    // one run to the next, so the requests of one context bind them once, and this keeps the
    // texts alive meanwhile.
    std::shared_ptr<const RequestContext> boundContext_;
};

// Whether an error says the file is not a database, or a damaged one.
bool IsDamage(const SqliteError& error);

// The fields as one text and back; a secret field keeps its name only.
std::string EncodeFields(const std::vector<ChangedField>& fields);
std::vector<ChangedField> DecodeFields(std::string_view text);

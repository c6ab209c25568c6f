#include "journal/JournalStore.hpp"

#include <algorithm>
#include <cmath>

namespace {

// auto_vacuum must be chosen before the first table exists; on a file made earlier it is left as
// it was. The file is the user's and owner-only, so the log's index may live in shared memory.
// The tables are made under the write lock taken at once: a second program opening the same new
// file then waits through the busy timeout, where a read turned into a write would fail at once
// with "database is locked".
constexpr const char* kSchema = R"sql(
PRAGMA auto_vacuum = INCREMENTAL;
PRAGMA journal_mode = WAL;
PRAGMA synchronous = NORMAL;
BEGIN IMMEDIATE;
CREATE TABLE IF NOT EXISTS members (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE
);
CREATE TABLE IF NOT EXISTS requests (
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    host TEXT NOT NULL,
    port INTEGER NOT NULL,
    server_name TEXT NOT NULL,
    administrator TEXT NOT NULL,
    command TEXT NOT NULL,
    member_id INTEGER,
    fields TEXT NOT NULL,
    password_changed INTEGER NOT NULL,
    bulk_id TEXT NOT NULL,
    backup_file TEXT NOT NULL,
    reason TEXT NOT NULL,
    outcome INTEGER NOT NULL,
    outcome_report TEXT NOT NULL DEFAULT '',
    outcome_text TEXT NOT NULL DEFAULT '',
    outcome_time INTEGER
);
CREATE INDEX IF NOT EXISTS requests_by_time ON requests (time);
CREATE INDEX IF NOT EXISTS requests_by_member ON requests (member_id, time);
CREATE TABLE IF NOT EXISTS connection_events (
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    host TEXT NOT NULL,
    port INTEGER NOT NULL,
    server_name TEXT NOT NULL,
    administrator TEXT NOT NULL,
    kind INTEGER NOT NULL,
    text TEXT NOT NULL,
    redirect_kind TEXT NOT NULL,
    redirect_server TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS connection_events_by_time ON connection_events (time);
CREATE TABLE IF NOT EXISTS member_counts (
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    host TEXT NOT NULL,
    port INTEGER NOT NULL,
    server_name TEXT NOT NULL,
    total INTEGER NOT NULL,
    online INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS member_counts_by_time ON member_counts (time);
COMMIT;
)sql";

// The separators cannot come from the wire (a request line holds no control characters), and
// are replaced should one turn up all the same.
constexpr char kFieldEnd = '\x1e';
constexpr char kNameEnd = '\x1f';
constexpr char kSecretMark = '*';
constexpr char kValueMark = '=';

std::string Cleaned(std::string_view text) {
    std::string out(text);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == kFieldEnd || c == kNameEnd; }, ' ');
    return out;
}

// The writer's statements run once per entry: the texts they are given live until they have run.
constexpr TextBinding kBorrowed = TextBinding::Borrowed;

int64_t Millis(JournalTime time) {
    return time.time_since_epoch().count();
}

// Rows written by one statement: most of what a statement costs is paid once for them all.
constexpr int kRowsAtOnce = 32;
// The parameters: first the context's, shared by every row of a statement, then each row's own.
constexpr int kContextParameters = 8;
constexpr int kOwnParameters = 8;

std::string Parameter(int number) {
    std::string text = "?";
    text += std::to_string(number);
    return text;
}

std::string RequestInsertSql(int rows) {
    std::string sql =
        "INSERT INTO requests (time, host, port, server_name, administrator, command, member_id, fields, "
        "password_changed, bulk_id, backup_file, reason, outcome, outcome_report, outcome_text, "
        "outcome_time) "
        "VALUES ";
    for (int row = 0; row < rows; ++row) {
        const int own = kContextParameters + row * kOwnParameters;
        // The columns' order above, each with its parameter: a context's (1-8) or the row's own.
        const int numbers[] = {own + 1, 1, 2, 3, 4,       5,       own + 2, own + 3,
                               own + 4, 6, 7, 8, own + 5, own + 6, own + 7, own + 8};
        sql += row == 0 ? "(" : ", (";
        for (const int number : numbers) {
            if (number != own + 1) {
                sql += ", ";
            }
            sql += Parameter(number);
        }
        sql += ")";
    }
    return sql;
}

SqliteDb OpenWithSchema(const std::string& path, std::chrono::milliseconds busyTimeout) {
    SqliteDb db = OpenSqlite(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyTimeout);
    // A file that is no database fails here, at its first read.
    Execute(db.get(), kSchema);
    return db;
}

}  // namespace

bool IsDamage(const SqliteError& error) {
    return error.Primary() == SQLITE_CORRUPT || error.Primary() == SQLITE_NOTADB;
}

std::string EncodeFields(const std::vector<ChangedField>& fields) {
    std::string text;
    for (const ChangedField& field : fields) {
        text += Cleaned(field.name);
        text += kNameEnd;
        if (IsSecretField(field.name)) {
            text += kSecretMark;
        } else {
            text += kValueMark;
            text += Cleaned(field.value);
        }
        text += kFieldEnd;
    }
    return text;
}

std::vector<ChangedField> DecodeFields(std::string_view text) {
    std::vector<ChangedField> fields;
    while (!text.empty()) {
        const size_t end = std::min(text.find(kFieldEnd), text.size());
        const std::string_view one = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const size_t nameEnd = one.find(kNameEnd);
        ChangedField field;
        field.name = std::string(one.substr(0, nameEnd));
        if (nameEnd != std::string_view::npos && nameEnd + 1 < one.size() && one[nameEnd + 1] == kValueMark) {
            field.value = std::string(one.substr(nameEnd + 2));
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

JournalStore::JournalStore(const std::string& path, std::chrono::milliseconds busyTimeout)
    : db_(OpenWithSchema(path, busyTimeout)),
      // IMMEDIATE takes the write lock at once, so that two writers wait for each other through
      // the busy timeout rather than one failing when its read turns into a write.
      begin_(db_.get(), "BEGIN IMMEDIATE"),
      commit_(db_.get(), "COMMIT"),
      addMember_(db_.get(), "INSERT OR IGNORE INTO members (name) VALUES (?1)", kBorrowed),
      findMember_(db_.get(), "SELECT id FROM members WHERE name = ?1", kBorrowed),
      addRequest_(db_.get(), RequestInsertSql(1), kBorrowed),
      addRequests_(db_.get(), RequestInsertSql(kRowsAtOnce), kBorrowed),
      updateOutcome_(db_.get(),
                     "UPDATE requests SET outcome = ?2, outcome_report = ?3, outcome_text = ?4, "
                     "outcome_time = ?5 WHERE id = ?1",
                     kBorrowed),
      addConnection_(
          db_.get(),
          "INSERT INTO connection_events (time, host, port, server_name, administrator, kind, text, "
          "redirect_kind, redirect_server) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
          kBorrowed),
      addCount_(db_.get(),
                "INSERT INTO member_counts (time, host, port, server_name, total, online) "
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                kBorrowed) {}

void JournalStore::Begin() {
    settledRows_.clear();
    begin_.Run();
}

void JournalStore::Commit() {
    WriteSettledRows();
    commit_.Run();
}

void JournalStore::Rollback() noexcept {
    settledRows_.clear();
    // Nothing to undo when the failed statement ended the transaction itself.
    if (sqlite3_get_autocommit(db_.get()) == 0) {
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

int64_t JournalStore::MemberId(const std::string& member) {
    addMember_.Bind(1, member).Run();
    // A login new to the journal (every one of a bulk delete) is the row just inserted.
    if (sqlite3_changes(db_.get()) == 1) {
        return sqlite3_last_insert_rowid(db_.get());
    }
    findMember_.Bind(1, member);
    const int64_t id = findMember_.Step() ? findMember_.Int(0) : 0;
    findMember_.Reset();
    return id;
}

JournalStore::SettledRow JournalStore::RowOf(const JournalRequest& request, const OutcomeUpdate* outcome) {
    bool passwordChanged = request.passwordChanged;
    for (const ChangedField& field : request.fields) {
        passwordChanged = passwordChanged || IsSecretField(field.name);
    }
    return {request.context,
            request.time,
            request.member.empty() ? 0 : MemberId(request.member),
            EncodeFields(request.fields),
            passwordChanged,
            outcome != nullptr ? std::optional<OutcomeUpdate>(*outcome) : std::nullopt};
}

// The parameters as RequestInsertSql numbers them.
void JournalStore::BindContext(Statement& statement, const RequestContext& context) {
    statement.Bind(1, context.server.host)
        .Bind(2, int64_t{context.server.port})
        .Bind(3, context.server.name)
        .Bind(4, context.administrator)
        .Bind(5, context.command)
        .Bind(6, context.bulkId)
        .Bind(7, context.backupFile)
        .Bind(8, context.reason);
}

void JournalStore::BindOwn(Statement& statement, int row, const SettledRow& values) {
    const int first = kContextParameters + row * kOwnParameters + 1;
    statement.Bind(first, Millis(values.time));
    if (values.memberId == 0) {
        statement.BindNull(first + 1);
    } else {
        statement.Bind(first + 1, values.memberId);
    }
    statement.Bind(first + 2, values.fields).Bind(first + 3, int64_t{values.passwordChanged ? 1 : 0});
    if (values.outcome) {
        statement.Bind(first + 4, int64_t{static_cast<int32_t>(values.outcome->outcome)})
            .Bind(first + 5, values.outcome->report)
            .Bind(first + 6, values.outcome->text)
            .Bind(first + 7, Millis(values.outcome->time));
    } else {
        statement.Bind(first + 4, int64_t{0})
            .Bind(first + 5, std::string_view(""))
            .Bind(first + 6, std::string_view(""))
            .BindNull(first + 7);
    }
}

// A statement keeps its parameters from one run to the next: a context's texts are bound once
// for all its requests, and kept alive meanwhile by bound.
void JournalStore::BindContextOnce(Statement& statement, std::shared_ptr<const RequestContext>& bound,
                                   const std::shared_ptr<const RequestContext>& context) {
    if (context != bound) {
        bound.reset();  // until every text of the new one is bound
        BindContext(statement, *context);
        bound = context;
    }
}

int64_t JournalStore::Insert(const JournalRequest& request, const OutcomeUpdate* outcome) {
    // The rows queued before this one come first, as they were given.
    WriteSettledRows();
    single_ = RowOf(request, outcome);
    BindContextOnce(addRequest_, boundContext_, request.context);
    BindOwn(addRequest_, 0, single_);
    addRequest_.Run();
    return sqlite3_last_insert_rowid(db_.get());
}

void JournalStore::InsertSettled(const JournalRequest& request, const OutcomeUpdate& outcome) {
    settledRows_.push_back(RowOf(request, &outcome));
    if (settledRows_.size() == kRowsAtOnce) {
        WriteSettledRows();
    }
}

void JournalStore::WriteSettledRows() {
    const auto sharesFirstContext = [&](const SettledRow& row) {
        return row.context == settledRows_.front().context;
    };
    if (settledRows_.size() == kRowsAtOnce &&
        std::all_of(settledRows_.begin(), settledRows_.end(), sharesFirstContext)) {
        BindContextOnce(addRequests_, boundManyContext_, settledRows_.front().context);
        for (int row = 0; row < kRowsAtOnce; ++row) {
            BindOwn(addRequests_, row, settledRows_[static_cast<size_t>(row)]);
        }
        addRequests_.Run();
    } else {
        // Fewer, or of several contexts: one at a time.
        for (const SettledRow& one : settledRows_) {
            BindContextOnce(addRequest_, boundContext_, one.context);
            BindOwn(addRequest_, 0, one);
            addRequest_.Run();
        }
    }
    settledRows_.clear();
}

void JournalStore::UpdateOutcome(int64_t id, const OutcomeUpdate& outcome) {
    WriteSettledRows();
    updateOutcome_.Bind(1, id)
        .Bind(2, int64_t{static_cast<int32_t>(outcome.outcome)})
        .Bind(3, outcome.report)
        .Bind(4, outcome.text)
        .Bind(5, Millis(outcome.time))
        .Run();
}

void JournalStore::Insert(const ConnectionEntry& entry) {
    WriteSettledRows();
    addConnection_.Bind(1, Millis(entry.time))
        .Bind(2, entry.server.host)
        .Bind(3, int64_t{entry.server.port})
        .Bind(4, entry.server.name)
        .Bind(5, entry.administrator)
        .Bind(6, int64_t{static_cast<int32_t>(entry.kind)})
        .Bind(7, entry.text)
        .Bind(8, entry.redirectKind)
        .Bind(9, entry.redirectServer)
        .Run();
}

void JournalStore::Insert(const MemberCountEntry& entry) {
    WriteSettledRows();
    addCount_.Bind(1, Millis(entry.time))
        .Bind(2, entry.server.host)
        .Bind(3, int64_t{entry.server.port})
        .Bind(4, entry.server.name)
        .Bind(5, entry.total)
        .Bind(6, entry.online)
        .Run();
}

int64_t JournalStore::UsedBytes() {
    Statement pages(db_.get(),
                    "SELECT page_count - freelist_count, page_size FROM pragma_page_count, "
                    "pragma_freelist_count, pragma_page_size");
    pages.Step();
    return pages.Int(0) * pages.Int(1);
}

int64_t JournalStore::DropOldestShare(const char* table, double share) {
    const std::string sql = std::string("DELETE FROM ") + table + " WHERE id IN (SELECT id FROM " + table +
                            " ORDER BY time LIMIT (SELECT CAST(count(*) * ?1 AS INTEGER) + 1 FROM " + table +
                            "))";
    Statement(db_.get(), sql).Bind(1, share).Run();
    return sqlite3_changes64(db_.get());
}

void JournalStore::DropOrphanMembers() {
    Execute(
        db_.get(),
        "DELETE FROM members WHERE id NOT IN (SELECT member_id FROM requests WHERE member_id IS NOT NULL)");
}

void JournalStore::Prune(JournalTime now, std::chrono::milliseconds maxAge, int64_t maxBytes) {
    const int64_t cutoff = Millis(now) - maxAge.count();
    Begin();
    try {
        const auto dropOlder = [this, cutoff](const char* table) {
            Statement(db_.get(), std::string("DELETE FROM ") + table + " WHERE time < ?1")
                .Bind(1, cutoff)
                .Run();
            return sqlite3_changes64(db_.get());
        };
        // Logins are left without requests only when requests go: the sweep for them reads every
        // request, so it runs only then, not at every program's start.
        if (dropOlder("requests") > 0) {
            DropOrphanMembers();
        }
        dropOlder("connection_events");
        dropOlder("member_counts");
        // Each round drops the share of every table that would bring the pages in use under the
        // limit if rows were all alike, and a tenth more; a few rounds absorb the difference.
        for (int round = 0; round < 8; ++round) {
            const int64_t used = UsedBytes();
            if (used <= maxBytes) {
                break;
            }
            const double share =
                std::clamp(1.0 - 0.9 * static_cast<double>(maxBytes) / static_cast<double>(used), 0.0, 1.0);
            if (DropOldestShare("requests", share) > 0) {
                DropOrphanMembers();
            }
            DropOldestShare("connection_events", share);
            DropOldestShare("member_counts", share);
        }
        Commit();
    } catch (...) {
        Rollback();
        throw;
    }
    Execute(db_.get(), "PRAGMA incremental_vacuum");
}

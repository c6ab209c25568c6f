#include "journal/JournalReader.hpp"

#include <utility>
#include <variant>

#include "journal/JournalStore.hpp"
#include "journal/Sqlite.hpp"

struct JournalReaderFile {
    SqliteDb db;
};

namespace {

int64_t Millis(JournalTime time) {
    return time.time_since_epoch().count();
}

JournalTime TimeOf(int64_t millis) {
    return JournalTime(std::chrono::milliseconds(millis));
}

// A LIKE pattern that finds text anywhere, its own wildcards taken literally.
std::string ContainsPattern(std::string_view text) {
    std::string pattern = "%";
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "%";
}

// The conditions a filter makes and the values they take, in order.
class Conditions {
public:
    void Add(std::string sql) { sql_ += (sql_.empty() ? " WHERE " : " AND ") + std::move(sql); }
    void Value(int64_t value) { values_.emplace_back(value); }
    void Value(std::string value) { values_.emplace_back(std::move(value)); }

    const std::string& Sql() const { return sql_; }
    int BindTo(Statement& statement, int first = 1) const {
        int index = first;
        for (const auto& value : values_) {
            std::visit([&](const auto& v) { statement.Bind(index, v); }, value);
            ++index;
        }
        return index;
    }

private:
    std::string sql_;
    std::vector<std::variant<int64_t, std::string>> values_;
};

void AddCommon(Conditions& where, const char* table, const RequestFilter& filter) {
    const std::string t = table;
    if (filter.from) {
        where.Add(t + ".time >= ?");
        where.Value(Millis(*filter.from));
    }
    if (filter.to) {
        where.Add(t + ".time < ?");
        where.Value(Millis(*filter.to));
    }
    if (!filter.server.empty()) {
        where.Add("(" + t + ".host || ':' || " + t + ".port = ? OR " + t + ".server_name = ?)");
        where.Value(filter.server);
        where.Value(filter.server);
    }
}

Conditions RequestConditions(const RequestFilter& filter) {
    Conditions where;
    AddCommon(where, "r", filter);
    if (!filter.command.empty()) {
        where.Add("r.command = ?");
        where.Value(filter.command);
    }
    if (!filter.memberContains.empty()) {
        // The distinct logins are far fewer than the requests: the part is looked for among
        // them, and the requests of those found are then reached through their index.
        where.Add("r.member_id IN (SELECT id FROM members WHERE name LIKE ? ESCAPE '\\')");
        where.Value(ContainsPattern(filter.memberContains));
    }
    if (filter.outcome) {
        where.Add("r.outcome = ?");
        where.Value(int64_t{static_cast<int32_t>(*filter.outcome)});
    }
    return where;
}

void AddPage(Conditions& where, const char* table, const PageRequest& page) {
    if (page.after) {
        const std::string t = table;
        where.Add("(" + t + ".time, " + t + ".id) < (?, ?)");
        where.Value(Millis(page.after->time));
        where.Value(page.after->id);
    }
}

std::string Paging(const char* table, const PageRequest& page) {
    const std::string t = table;
    return " ORDER BY " + t + ".time DESC, " + t + ".id DESC LIMIT " + std::to_string(page.limit) +
           (page.after ? std::string() : " OFFSET " + std::to_string(page.offset));
}

JournalServer ServerAt(const Statement& row, int first) {
    return {row.Text(first), static_cast<int32_t>(row.Int(first + 1)), row.Text(first + 2)};
}

}  // namespace

JournalReader::JournalReader(std::unique_ptr<JournalReaderFile> file) : file_(std::move(file)) {}

JournalReader::~JournalReader() = default;

std::unique_ptr<JournalReader> JournalReader::Open(const std::string& path, std::string* error,
                                                   std::chrono::milliseconds busyTimeout) {
    try {
        auto file = std::make_unique<JournalReaderFile>();
        // Read-write without create: a reader of a write-ahead log keeps its index up to date.
        file->db = OpenSqlite(path, SQLITE_OPEN_READWRITE, busyTimeout);
        Statement check(file->db.get(), "SELECT count(*) FROM sqlite_schema WHERE name = 'requests'");
        if (!check.Step() || check.Int(0) == 0) {
            throw SqliteError(SQLITE_NOTADB, path + " holds no journal");
        }
        return std::unique_ptr<JournalReader>(new JournalReader(std::move(file)));
    } catch (const SqliteError& failure) {
        if (error != nullptr) {
            *error = failure.what();
        }
        return nullptr;
    }
}

std::vector<RequestRecord> JournalReader::Requests(const RequestFilter& filter, const PageRequest& page) {
    std::vector<RequestRecord> records;
    error_.clear();
    try {
        Conditions where = RequestConditions(filter);
        AddPage(where, "r", page);
        // The page is chosen on the ids alone and its rows read afterwards: a filter that lets
        // many rows through sorts their times and ids, not whole rows.
        Statement query(
            file_->db.get(),
            "SELECT r.id, r.time, r.host, r.port, r.server_name, r.administrator, r.command, m.name, "
            "r.fields, r.password_changed, r.bulk_id, r.backup_file, r.reason, r.outcome, "
            "r.outcome_report, r.outcome_text, r.outcome_time "
            "FROM (SELECT r.id FROM requests r" +
                where.Sql() + Paging("r", page) +
                ") AS page JOIN requests r ON r.id = page.id "
                "LEFT JOIN members m ON m.id = r.member_id ORDER BY r.time DESC, r.id DESC");
        where.BindTo(query);
        while (query.Step()) {
            RequestRecord record;
            record.id = query.Int(0);
            RequestEntry& entry = record.entry;
            entry.time = TimeOf(query.Int(1));
            entry.server = ServerAt(query, 2);
            entry.administrator = query.Text(5);
            entry.command = query.Text(6);
            entry.member = query.Text(7);
            entry.fields = DecodeFields(query.Text(8));
            entry.passwordChanged = query.Int(9) != 0;
            entry.bulkId = query.Text(10);
            entry.backupFile = query.Text(11);
            entry.reason = query.Text(12);
            record.outcome.outcome = static_cast<JournalOutcome>(query.Int(13));
            record.outcome.report = query.Text(14);
            record.outcome.text = query.Text(15);
            if (!query.IsNull(16)) {
                record.outcome.time = TimeOf(query.Int(16));
            }
            records.push_back(std::move(record));
        }
    } catch (const SqliteError& failure) {
        error_ = failure.what();
        records.clear();
    }
    return records;
}

int64_t JournalReader::CountRequests(const RequestFilter& filter) {
    error_.clear();
    try {
        const Conditions where = RequestConditions(filter);
        Statement query(file_->db.get(), "SELECT count(*) FROM requests r" + where.Sql());
        where.BindTo(query);
        return query.Step() ? query.Int(0) : 0;
    } catch (const SqliteError& failure) {
        error_ = failure.what();
        return 0;
    }
}

std::vector<ConnectionRecord> JournalReader::ConnectionEvents(const RequestFilter& filter,
                                                              const PageRequest& page) {
    std::vector<ConnectionRecord> records;
    error_.clear();
    try {
        Conditions where;
        AddCommon(where, "c", filter);
        AddPage(where, "c", page);
        Statement query(
            file_->db.get(),
            "SELECT c.id, c.time, c.host, c.port, c.server_name, c.administrator, c.kind, c.text, "
            "c.redirect_kind, c.redirect_server FROM connection_events c" +
                where.Sql() + Paging("c", page));
        where.BindTo(query);
        while (query.Step()) {
            ConnectionRecord record;
            record.id = query.Int(0);
            ConnectionEntry& entry = record.entry;
            entry.time = TimeOf(query.Int(1));
            entry.server = ServerAt(query, 2);
            entry.administrator = query.Text(5);
            entry.kind = static_cast<ConnectionEventKind>(query.Int(6));
            entry.text = query.Text(7);
            entry.redirectKind = query.Text(8);
            entry.redirectServer = query.Text(9);
            records.push_back(std::move(record));
        }
    } catch (const SqliteError& failure) {
        error_ = failure.what();
        records.clear();
    }
    return records;
}

std::vector<MemberCountPoint> JournalReader::MemberCounts(const std::string& server, JournalTime from,
                                                          JournalTime to, size_t maxPoints) {
    std::vector<MemberCountPoint> points;
    error_.clear();
    if (to <= from || maxPoints == 0) {
        return points;
    }
    try {
        RequestFilter filter;
        filter.from = from;
        filter.to = to;
        filter.server = server;
        Conditions where;
        AddCommon(where, "c", filter);
        Statement count(file_->db.get(), "SELECT count(*) FROM member_counts c" + where.Sql());
        where.BindTo(count);
        const bool gather = count.Step() && count.Int(0) > static_cast<int64_t>(maxPoints);
        // Spans of whole milliseconds that cover the range in no more than maxPoints of them.
        const int64_t range = Millis(to) - Millis(from);
        const int64_t span = (range + static_cast<int64_t>(maxPoints) - 1) / static_cast<int64_t>(maxPoints);
        Statement query(file_->db.get(),
                        gather ? "SELECT min(c.time), max(c.total), max(c.online) FROM member_counts c" +
                                     where.Sql() + " GROUP BY (c.time - ?) / ? ORDER BY 1"
                               : "SELECT c.time, c.total, c.online FROM member_counts c" + where.Sql() +
                                     " ORDER BY c.time");
        const int next = where.BindTo(query);
        if (gather) {
            query.Bind(next, Millis(from)).Bind(next + 1, span);
        }
        while (query.Step()) {
            points.push_back({TimeOf(query.Int(0)), query.Int(1), query.Int(2)});
        }
    } catch (const SqliteError& failure) {
        error_ = failure.what();
        points.clear();
    }
    return points;
}

int64_t JournalReader::DataVersion() {
    error_.clear();
    try {
        Statement query(file_->db.get(), "PRAGMA data_version");
        return query.Step() ? query.Int(0) : 0;
    } catch (const SqliteError& failure) {
        error_ = failure.what();
        return 0;
    }
}

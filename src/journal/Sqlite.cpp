#include "journal/Sqlite.hpp"

#include <mutex>

namespace {

// SQLite counts every allocation under a lock of its own for statistics nobody here reads: about
// a twentieth of what the writer spends per entry. It can be said only before SQLite starts; if
// something in the program started it first, it says no and nothing changes.
void LeaveOutMemoryStatistics() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

}  // namespace

SqliteDb OpenSqlite(const std::string& path, int flags, std::chrono::milliseconds busyTimeout) {
    LeaveOutMemoryStatistics();
    sqlite3* raw = nullptr;
    const int code = sqlite3_open_v2(path.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDb db(raw);  // closed on every path, the failed open's included
    if (code != SQLITE_OK) {
        ThrowSqlite(db.get(), code, "opening " + path);
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), static_cast<int>(busyTimeout.count()));
    return db;
}

void Execute(sqlite3* db, const char* sql) {
    char* message = nullptr;
    const int code = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        const std::string text = message != nullptr ? message : sqlite3_errstr(code);
        sqlite3_free(message);
        throw SqliteError(code, text);
    }
}

void ThrowSqlite(sqlite3* db, int code, std::string_view doing) {
    std::string text = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    if (!doing.empty()) {
        text = std::string(doing) + ": " + text;
    }
    throw SqliteError(code, text);
}

Statement::Statement(sqlite3* db, std::string_view sql, TextBinding texts) : db_(db), texts_(texts) {
    sqlite3_stmt* raw = nullptr;
    const int code = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                        SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    stmt_.reset(raw);
    if (code != SQLITE_OK) {
        ThrowSqlite(db, code, "");
    }
}

Statement& Statement::Bind(int index, int64_t value) {
    const int code = sqlite3_bind_int64(stmt_.get(), index, value);
    if (code != SQLITE_OK) {
        ThrowSqlite(db_, code, "");
    }
    return *this;
}

Statement& Statement::Bind(int index, double value) {
    const int code = sqlite3_bind_double(stmt_.get(), index, value);
    if (code != SQLITE_OK) {
        ThrowSqlite(db_, code, "");
    }
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    const int code =
        sqlite3_bind_text64(stmt_.get(), index, text.data(), text.size(),
                            texts_ == TextBinding::Borrowed ? SQLITE_STATIC : SQLITE_TRANSIENT, SQLITE_UTF8);
    if (code != SQLITE_OK) {
        ThrowSqlite(db_, code, "");
    }
    return *this;
}

Statement& Statement::BindNull(int index) {
    const int code = sqlite3_bind_null(stmt_.get(), index);
    if (code != SQLITE_OK) {
        ThrowSqlite(db_, code, "");
    }
    return *this;
}

bool Statement::Step() {
    const int code = sqlite3_step(stmt_.get());
    if (code == SQLITE_ROW) {
        return true;
    }
    if (code == SQLITE_DONE) {
        return false;
    }
    // The statement is reset so that its next use starts cleanly; the error is the step's.
    sqlite3_reset(stmt_.get());
    ThrowSqlite(db_, code, "");
}

void Statement::Reset() {
    sqlite3_reset(stmt_.get());
    if (texts_ == TextBinding::Copied) {
        sqlite3_clear_bindings(stmt_.get());
    }
}

std::string Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), column));
    if (text == nullptr) {
        return {};
    }
    return std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), column)));
}

#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// A thin hold on the sqlite3 C interface for the journal's own use: handles that close
// themselves, and an error that carries SQLite's code so that the writer can tell a damaged
// file from a busy or full one.

class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int Code() const { return code_; }
    // The primary code, without the extended part.
    int Primary() const { return code_ & 0xff; }

private:
    int code_;
};

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;

// Opens a connection; throws SqliteError. flags: SQLITE_OPEN_READWRITE and the like.
SqliteDb OpenSqlite(const std::string& path, int flags, std::chrono::milliseconds busyTimeout);

// Runs statements that return no rows.
void Execute(sqlite3* db, const char* sql);

// How a statement holds the texts bound to it.
enum class TextBinding {
    Copied,    // SQLite copies each text; bindings are cleared after each run
    Borrowed,  // each text must live until the run that uses it ends, and every parameter is
               // bound before every run: no copy and no clearing, for statements run in bulk
};

// One prepared statement, reset before each use.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql, TextBinding texts = TextBinding::Copied);
    Statement(Statement&&) noexcept = default;
    Statement& operator=(Statement&&) noexcept = default;

    Statement& Bind(int index, int64_t value);
    Statement& Bind(int index, double value);
    Statement& Bind(int index, std::string_view text);
    Statement& BindNull(int index);

    // True while a row is there to read.
    bool Step();
    void Reset();
    void Run() {
        Step();
        Reset();
    }

    int64_t Int(int column) const { return sqlite3_column_int64(stmt_.get(), column); }
    bool IsNull(int column) const { return sqlite3_column_type(stmt_.get(), column) == SQLITE_NULL; }
    std::string Text(int column) const;

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
    TextBinding texts_;
};

[[noreturn]] void ThrowSqlite(sqlite3* db, int code, std::string_view doing);

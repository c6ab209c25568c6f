#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the journal keeps: the requests an administrator sent and what became of them, the
// connection's story, and the member counts over time. Times are the wall clock's, kept to the
// millisecond; a time left at its default is stamped by the journal when the entry is queued.

using JournalClock = std::chrono::system_clock;
using JournalTime = std::chrono::time_point<JournalClock, std::chrono::milliseconds>;

JournalTime JournalNow();

struct JournalServer {
    std::string host;
    int32_t port = 0;
    std::string name;  // the saved server's name; empty for a server typed in

    bool operator==(const JournalServer&) const = default;
};

// What became of a request as far as the session knows. Pending until the session settles it.
enum class JournalOutcome : int32_t {
    Pending = 0,
    Confirmed = 1,    // by the report named with it
    Refused = 2,      // with the server's reason
    Unconfirmed = 3,  // no answer in time, or the connection ended first
    Cancelled = 4,    // never sent after all
};

const char* JournalOutcomeName(JournalOutcome outcome);
std::optional<JournalOutcome> JournalOutcomeFromName(std::string_view name);

struct ChangedField {
    std::string name;
    std::string value;

    bool operator==(const ChangedField&) const = default;
};

struct RequestEntry {
    JournalTime time{};
    JournalServer server;
    std::string administrator;  // the login the administrator is connected under
    std::string command;        // "add", "edit", "delete", "expel", "logoff", "reconnect", "logoff-all"…
    std::string member;         // empty for a command on every member
    // The fields the request changes. A field named "password" (in any case) is kept as the
    // fact that it changed, never its value, as is passwordChanged.
    std::vector<ChangedField> fields;
    bool passwordChanged = false;
    std::string bulkId;      // the bulk operation this request belongs to, if any
    std::string backupFile;  // the backup taken before that operation, if any
    std::string reason;      // what the administrator typed as the reason, if anything
};

// What the requests of one stretch of work have in common: the server, the administrator, the
// command, and the bulk operation with its backup and reason. Made once whenever one of them
// changes and shared by every request of the stretch, so that a bulk of many requests copies
// none of it per request.
struct RequestContext {
    JournalServer server;
    std::string administrator;
    std::string command;
    std::string bulkId;
    std::string backupFile;
    std::string reason;
};

// A request as the journal queues it: what is its own, and the context it shares with its
// neighbours. Everything a RequestEntry says, without the copies.
struct JournalRequest {
    JournalTime time{};
    std::shared_ptr<const RequestContext> context;  // never null once queued
    std::string member;                             // empty for a command on every member
    std::vector<ChangedField> fields;               // as RequestEntry's
    bool passwordChanged = false;
};

// Names a request whose outcome comes later; valid in the Journal that gave it out.
using JournalTicket = uint64_t;

// Whether a field's value must never be kept.
bool IsSecretField(std::string_view name);

struct OutcomeUpdate {
    JournalOutcome outcome = JournalOutcome::Pending;
    std::string report;  // Confirmed: the report that confirmed it ("ARD", "ARM"…)
    std::string text;    // Refused: the server's reason; Unconfirmed: why
    JournalTime time{};  // when the outcome became known
};

enum class ConnectionEventKind : int32_t {
    Connect = 0,   // a connection attempt began
    Login = 1,     // logged in
    Refusal = 2,   // the login was refused; text: the server's reason
    Loss = 3,      // the connection ended; text: why
    Redirect = 4,  // the server ordered a reconnection ("SRE"); redirectKind, redirectServer, text
};

const char* ConnectionEventKindName(ConnectionEventKind kind);

struct ConnectionEntry {
    JournalTime time{};
    JournalServer server;
    std::string administrator;
    ConnectionEventKind kind = ConnectionEventKind::Connect;
    std::string text;
    std::string redirectKind;
    std::string redirectServer;  // host:port the server sends the client to
};

struct MemberCountEntry {
    JournalTime time{};
    JournalServer server;
    int64_t total = 0;
    int64_t online = 0;
};

// ---- What a reader gets back.

struct RequestRecord {
    int64_t id = 0;  // the row's, stable while the row lives; what keyset paging continues from
    RequestEntry entry;
    OutcomeUpdate outcome;
};

struct ConnectionRecord {
    int64_t id = 0;
    ConnectionEntry entry;
};

// Where the previous page ended: the last record's time and id. The next page, newest first,
// starts just past it, however many rows came in at the top meanwhile.
struct JournalCursor {
    JournalTime time{};
    int64_t id = 0;
};

struct RequestFilter {
    std::optional<JournalTime> from;  // inclusive
    std::optional<JournalTime> to;    // exclusive
    std::string server;               // "host:port" or a saved server's name; empty for all
    std::string command;              // exact; empty for all
    std::string memberContains;       // a part of the member's login, ASCII case ignored
    std::optional<JournalOutcome> outcome;
};

struct PageRequest {
    size_t limit = 100;
    size_t offset = 0;                   // used only without a cursor
    std::optional<JournalCursor> after;  // keyset paging: rows older than this one
};

struct MemberCountPoint {
    JournalTime time{};
    int64_t total = 0;
    int64_t online = 0;
};

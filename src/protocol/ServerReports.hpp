#pragma once

#include <string>
#include <string_view>

#include "members/TkvCLDataCollection.hpp"
#include "protocol/ServerReconnectOrder.hpp"

// What the rows of a member list view must do after a report.
enum class RowsChange {
    None,        // the rows stay as they are (an "ARLM" waits for the list's end)
    RebuildAll,  // every row is rebuilt from the member list
    RewriteOne,  // the row of one listed login is rewritten where it stands
};

struct RowsEffect {
    RowsChange change = RowsChange::None;
    std::string login;  // RewriteOne: whose row

    bool operator==(const RowsEffect&) const = default;
};

// What the connection must do after a line from the server.
enum class ConnectionOrder { None, Reconnect, Close };

struct ConnectionEffect {
    ConnectionOrder order = ConnectionOrder::None;
    ServerReconnectOrder reconnect;  // Reconnect: where, when and as whom

    bool operator==(const ConnectionEffect&) const = default;
};

// The server's reports applied to the member list they describe. Only lines read once the
// login has completed are reports; connection control is obeyed at any time.
class ServerReports {
public:
    explicit ServerReports(TkvCLDataCollection& members) : members_(members) {}

    RowsEffect ApplyReport(std::string_view line);
    static ConnectionEffect ConnectionControlOf(std::string_view line);

private:
    RowsEffect ApplyMemberText(std::string_view payload, bool rebuildAlways);

    TkvCLDataCollection& members_;
};

#pragma once

#include <string>
#include <string_view>

#include "members/TkvCLDataCollection.hpp"
#include "protocol/ServerLine.hpp"
#include "protocol/ServerReconnectOrder.hpp"

// What the rows of a member list view must do after a report.
enum class RowsChange {
    None,        // the rows stay as they are (an "ARLM" waits for the list's end)
    RebuildAll,  // every row is rebuilt from the member list
    RewriteOne,  // the row of one listed login is rewritten where it stands
    InsertOne,   // a row for one login the rows lack goes in at its sorted place
    RemoveOne,   // the row whose caption is login goes
};

struct RowsEffect {
    RowsChange change = RowsChange::None;
    std::string login;  // RewriteOne, InsertOne: whose row; RemoveOne: the row's caption

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

    RowsEffect ApplyReport(std::string_view line) { return ApplyReport(CutServerLineView(line)); }
    // The same for a line already cut, so that one cut serves every reader of the line.
    RowsEffect ApplyReport(const ServerLineView& line);
    static ConnectionEffect ConnectionControlOf(std::string_view line);
    static ConnectionEffect ConnectionControlOf(const ServerLineView& line);

    // With single-row changes on, a report that adds or removes one member asks for one row to
    // go in or out (InsertOne, RemoveOne) where a rebuild would give exactly that; off (the
    // default), it asks for a rebuild. Once an "ARLM" has changed the list behind the rows'
    // back, only a rebuild can bring them up to date, until one has been made.
    void SetSingleRowChanges(bool on) { singleRowChanges_ = on; }
    // The view rebuilt every row from the member list, for whatever reason.
    void RowsRebuilt() { rowsBehind_ = listArriving_ = false; }
    // "ARLM" lines came since the rows were last rebuilt: a list is most likely on its way,
    // and a rebuild will follow at its end.
    bool ListArriving() const { return listArriving_; }

private:
    RowsEffect ApplyMemberText(std::string_view payload, bool rebuildAlways);
    RowsEffect Rebuild();
    bool OneRowWillDo() const { return singleRowChanges_ && !rowsBehind_; }

    TkvCLDataCollection& members_;
    bool singleRowChanges_ = false;
    bool rowsBehind_ = false;  // the list changed since the rows were last rebuilt
    bool listArriving_ = false;
};

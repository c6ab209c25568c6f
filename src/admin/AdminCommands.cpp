#include "admin/AdminCommands.hpp"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <unordered_map>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "admin/BulkTargets.hpp"
#include "admin/ExitStatus.hpp"
#include "admin/ImportPlan.hpp"
#include "admin/MemberOutput.hpp"
#include "admin/TerminalLine.hpp"
#include "admin/TextOut.hpp"
#include "members/MemberText.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "session/BulkBackup.hpp"
#include "session/BulkOperation.hpp"
#include "session/BulkRate.hpp"
#include "util/untCalc1.hpp"

namespace {

std::atomic<bool> stopRequested{false};

// How many import rows may wait for their answer at once: enough to keep the server busy,
// few enough that an answer never waits behind megabytes of requests.
constexpr size_t kImportWindow = 1000;
constexpr qint64 kProgressEveryMs = 100;

void PrintError(const std::string& message) {
    std::fprintf(stderr, "krvadmin: %s\n", message.c_str());
}

void WriteOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int Refuse(const std::string& message) {
    PrintError(message);
    return ExitStatus::Refused;
}

// Why the session sent nothing, in krvadmin's words.
int RefusalStatus(AdminSession& session, const RequestResult& result, const std::string& login) {
    switch (result.refusal) {
        case RequestRefusal::None:
            break;
        case RequestRefusal::LoginExists: {
            const TkvCLData* existing = session.Members().RecordOf(login);
            return Refuse("login name exists: " + VisibleText(existing ? existing->Login() : login));
        }
        case RequestRefusal::EmptyLogin:
            return Refuse("the login cannot be empty; nothing was sent");
        case RequestRefusal::Unsendable:
        case RequestRefusal::OwnAdministrator:
            return Refuse(result.detail);
        case RequestRefusal::NotOnline:
            return Refuse(VisibleText(login) + " is not online; nothing was sent");
        case RequestRefusal::NobodyToReach:
            return Refuse("nobody but this login is listed; nothing was sent");
    }
    return ExitStatus::Done;
}

// Waits until the server confirms or refuses the request the session sent; a request left
// unanswered ends as the wait does (the timeout, or the connection's end).
int AwaitAnswer(AdminSession& session, const RequestResult& sent, const std::string& login,
                const std::string& doneText) {
    if (!sent.Sent()) {
        return RefusalStatus(session, sent, login);
    }
    std::optional<int> outcome;
    session.SetRequestListener([&](const SettledRequest& request) {
        if (request.id != sent.followed || request.outcome == RequestOutcome::Unconfirmed) {
            return;
        }
        if (request.outcome == RequestOutcome::Refused) {
            PrintError("the server refused: " + VisibleText(request.reason));
            outcome = ExitStatus::Refused;
        } else {
            outcome = ExitStatus::Done;
        }
    });
    session.RenewDeadline();
    const int status = session.Await([&] { return outcome; });
    session.SetRequestListener({});
    if (status == ExitStatus::Done) {
        WriteOut(doneText + "\n");
    }
    return status;
}

const TkvCLData* FindMember(const AdminSession& session, const std::string& login) {
    return session.Members().Items(session.Members().IndexOf(login));
}

int RunList(const AdminSession& session, const CommandOptions& options) {
    WriteOut(
        FormatMembers(SelectMembers(session.Members(), options.onlineOnly, options.sorted), options.format));
    return ExitStatus::Done;
}

int RunShow(const AdminSession& session, const CommandOptions& options) {
    const TkvCLData* member = FindMember(session, options.login);
    if (member == nullptr) {
        return Refuse("no member " + VisibleText(options.login));
    }
    WriteOut(FormatMember(*member, options.format));
    return ExitStatus::Done;
}

int RunAccount(AdminSession& session, const CommandOptions& options) {
    const bool add = options.command == AdminCommand::Add;
    const std::string login = Trim(options.login);
    const TkvCLData* member = FindMember(session, login);
    if (!add && member == nullptr) {
        return Refuse("no member " + VisibleText(login));
    }
    AccountFields fields;
    fields.login = login;
    if (!add) {
        fields.password = member->Password();
        fields.protocols = member->GetProtocolsText();
        fields.userBots = member->GetUserBotsText();
    }
    if (options.passwordFile) {
        std::string error;
        if (!ReadPasswordFile(*options.passwordFile, fields.password, error)) {
            return Refuse(error);
        }
        fields.password = Trim(fields.password);
    }
    if (options.password) {
        fields.password = Trim(*options.password);
    }
    if (options.protocols) {
        fields.protocols = Trim(*options.protocols);
    }
    if (options.userBots) {
        fields.userBots = Trim(*options.userBots);
    }
    ServerSession& server = session.Session();
    return AwaitAnswer(session, add ? server.AddAccount(fields) : server.EditAccount(fields), login,
                       (add ? "added " : "changed ") + VisibleText(fields.login));
}

// Delete, expel, and logoff or reconnect of one member.
int RunMemberRequest(AdminSession& session, const CommandOptions& options) {
    const TkvCLData* member = FindMember(session, options.login);
    if (member == nullptr) {
        return Refuse("no member " + VisibleText(options.login));
    }
    const std::string login(member->Login());
    ServerSession& server = session.Session();
    switch (options.command) {
        case AdminCommand::Delete:
            return AwaitAnswer(session, server.DeleteAccount(login), login, "deleted " + VisibleText(login));
        case AdminCommand::Expel:
            return AwaitAnswer(session, server.Expel(login), login, "expelled " + VisibleText(login));
        case AdminCommand::Logoff:
            return AwaitAnswer(session, server.AskToLogOff(login), login, "logged off " + VisibleText(login));
        default:
            return AwaitAnswer(session, server.AskToReconnect(login), login,
                               "asked to reconnect: " + VisibleText(login));
    }
}

// Everyone: there is no report that confirms these, so they end once the line is sent.
int RunAllRequest(AdminSession& session, const CommandOptions& options) {
    const bool logoff = options.command == AdminCommand::Logoff;
    ServerSession& server = session.Session();
    const RequestResult sent =
        logoff ? server.AskEveryoneToLogOff(options.butMe) : server.AskEveryoneToReconnect(options.butMe);
    if (!sent.Sent()) {
        return RefusalStatus(session, sent, {});
    }
    WriteOut(std::string(logoff ? "asked to log off: " : "asked to reconnect: ") +
             (options.butMe ? "everyone but this login" : "everyone") + "\n");
    return ExitStatus::Done;
}

class ImportProgress {
public:
    explicit ImportProgress(size_t rows) : rows_(rows), shown_(isatty(STDERR_FILENO) == 1) { clock_.start(); }
    ~ImportProgress() {
        if (drawn_) {
            std::fputs("\n", stderr);
        }
    }
    ImportProgress(const ImportProgress&) = delete;
    ImportProgress& operator=(const ImportProgress&) = delete;

    // detail: what follows the count (the rate and time left of a command on many members).
    void Show(size_t done, bool force = false, const std::function<std::string()>& detail = {}) {
        if (!shown_ || (!force && clock_.elapsed() < nextMs_)) {
            return;
        }
        nextMs_ = clock_.elapsed() + kProgressEveryMs;
        constexpr size_t kWidth = 40;
        const size_t filled = rows_ == 0 ? kWidth : done * kWidth / rows_;
        std::fprintf(stderr, "\r[%s%s] %zu/%zu%s", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, ' ').c_str(), done, rows_, detail ? detail().c_str() : "");
        std::fflush(stderr);
        drawn_ = true;
    }

private:
    size_t rows_;
    bool shown_;
    bool drawn_ = false;
    QElapsedTimer clock_;
    qint64 nextMs_ = 0;
};

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

int RunImport(AdminSession& session, const CommandOptions& options) {
    std::string text;
    std::string error;
    // A file that is not there is a mistake in the command, as a bad option is.
    if (!ReadWholeFile(options.file, text, error)) {
        PrintError(error);
        return ExitStatus::Usage;
    }
    std::vector<CsvRecord> records;
    if (!ReadImportRecords(text, records, error)) {
        return Refuse(options.file + ": " + error);
    }
    ImportColumns columns;
    if (records.empty()) {
        return Refuse(options.file + " holds no rows");
    }
    if (!ReadImportHeader(records.front(), columns, error)) {
        return Refuse(options.file + ": " + error);
    }
    ImportTally tally;
    session.SetRequestListener([&](const SettledRequest& request) {
        if (tally.Settled(request)) {
            session.RenewDeadline();
        }
    });
    const size_t rows = records.size() - 1;
    ImportProgress progress(rows);
    size_t next = 1;
    int status = ExitStatus::Done;
    while (next < records.size() || tally.Pending() > 0) {
        while (next < records.size() && tally.Pending() < kImportWindow) {
            const ImportStep step = PlanImportRow(records[next++], columns, session.Members(), options.update,
                                                  session.Link().Login());
            const bool sendable = step.action == ImportAction::Add || step.action == ImportAction::Edit;
            if (sendable && !options.dryRun) {
                ServerSession& server = session.Session();
                const RequestResult sent = step.action == ImportAction::Add ? server.AddAccount(step.fields)
                                                                            : server.EditAccount(step.fields);
                if (sent.Sent()) {
                    tally.Sent(step, *sent.followed);
                } else {
                    // Listed meanwhile, by another administrator: as if it had been listed before.
                    const std::string why = sent.refusal == RequestRefusal::LoginExists
                                                ? "login exists (--update edits it)"
                                                : sent.detail;
                    tally.NotSent({step.line, ImportAction::Refuse, step.login, why, step.fields});
                }
            } else {
                tally.NotSent(step);
            }
        }
        progress.Show(next - 1 - tally.Pending());
        if (tally.Pending() == 0) {
            continue;
        }
        session.RenewDeadline();
        const size_t waiting = tally.Pending();
        // Back to the loop until some answers have come, so the window can be topped up.
        status = session.Await([&]() -> std::optional<int> {
            if (tally.Pending() < waiting) {
                return ExitStatus::Done;
            }
            return std::nullopt;
        });
        if (status != ExitStatus::Done) {
            break;
        }
    }
    progress.Show(next - 1 - tally.Pending(), true);
    session.SetRequestListener({});
    WriteOut(tally.Summary(options.dryRun));
    if (status != ExitStatus::Done) {
        return status;
    }
    return tally.RefusedCount() + tally.SkippedCount() == 0 ? ExitStatus::Done : ExitStatus::Refused;
}

void StopOnInterrupt(int /*signal*/) {
    stopRequested.store(true);
}

// While it lives, SIGINT and SIGTERM ask the command to stop rather than end the program.
class InterruptStopsSending {
public:
    InterruptStopsSending() {
        stopRequested.store(false);
        std::signal(SIGINT, StopOnInterrupt);
        std::signal(SIGTERM, StopOnInterrupt);
    }
    ~InterruptStopsSending() {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
    InterruptStopsSending(const InterruptStopsSending&) = delete;
    InterruptStopsSending& operator=(const InterruptStopsSending&) = delete;
};

// How many requests of a command on many members await their answer at once, as for import.
constexpr BulkPacing kBulkPacing{kImportWindow, kImportWindow};
constexpr size_t kLoginsShown = 5;

BulkCommand BulkCommandOf(const CommandOptions& options) {
    BulkCommand command;
    switch (options.command) {
        case AdminCommand::Delete:
            command.action = BulkAction::Delete;
            break;
        case AdminCommand::Expel:
            command.action = BulkAction::Expel;
            break;
        case AdminCommand::Logoff:
            command.action = BulkAction::LogOff;
            break;
        case AdminCommand::Reconnect:
            command.action = BulkAction::Reconnect;
            break;
        default:
            command.action = BulkAction::Edit;
            command.edit = options.bulkEdit;
            break;
    }
    return command;
}

// "a, b, c, d, e and 7 more"
std::string FirstLogins(const std::vector<std::string>& logins) {
    std::string text;
    for (size_t i = 0; i < logins.size() && i < kLoginsShown; ++i) {
        text += (i == 0 ? "" : ", ") + VisibleText(logins[i]);
    }
    if (logins.size() > kLoginsShown) {
        text += " and " + std::to_string(logins.size() - kLoginsShown) + " more";
    }
    return text;
}

// More than one target goes on with --yes, or with the count typed on a terminal; otherwise
// nothing is sent. The status to end with, or nothing to go on. The count is read as the event
// loop runs, so that the connection is kept while the administrator reads and types.
std::optional<int> ConfirmTargets(AdminSession& session, const BulkOperation& bulk,
                                  const CommandOptions& options) {
    const size_t count = bulk.Targets().size();
    if (count <= 1 || options.yes || options.dryRun) {
        return std::nullopt;
    }
    const std::string verb(BulkActionWord(bulk.Command().action));
    if (isatty(STDIN_FILENO) != 1) {
        PrintError(std::to_string(count) + " members to " + verb +
                   ": give --yes, or run on a terminal and type the count; nothing was sent");
        return ExitStatus::Usage;
    }
    std::fprintf(stderr, "krvadmin: about to %s %zu members: %s\nType %zu to go on: ", verb.c_str(), count,
                 FirstLogins(bulk.Targets()).c_str(), count);
    std::fflush(stderr);
    const TerminalLine typed(STDIN_FILENO);
    session.RunUntil([&] { return typed.Done() || session.Ended(); });
    if (!typed.Done()) {
        std::fputc('\n', stderr);
        PrintError("the connection ended while the count was awaited; nothing was sent");
        return ExitStatus::NoConnection;
    }
    if (const std::optional<std::string> line = typed.Line(); !line || Trim(*line) != std::to_string(count)) {
        PrintError("not confirmed; nothing was sent");
        return ExitStatus::Refused;
    }
    // However long the typing took, the server has had no request to answer meanwhile.
    session.RenewDeadline();
    return std::nullopt;
}

std::string DryRunText(const AdminSession& session, const BulkOperation& bulk) {
    std::string text;
    const std::string verb(BulkActionWord(bulk.Command().action));
    for (const std::string& login : bulk.Targets()) {
        text += "would " + verb + " " + VisibleText(login);
        if (bulk.Command().action == BulkAction::Edit) {
            const std::optional<AccountFields> fields =
                EditedAccount(*session.Members().RecordOf(login), bulk.Command().edit);
            text += ": protocols \"" + VisibleText(fields->protocols) + "\", user bots \"" +
                    VisibleText(fields->userBots) + "\"";
        }
        text += "\n";
    }
    for (const BulkEntry& entry : bulk.List(BulkOutcome::Skipped)) {
        text += "would skip " + VisibleText(entry.login) + ": " + VisibleText(entry.reason) + "\n";
    }
    text += std::to_string(bulk.Targets().size()) + " would be sent, " +
            std::to_string(bulk.Count(BulkOutcome::Skipped)) + " skipped; nothing was sent\n";
    return text;
}

std::string BulkSummaryText(const BulkOperation& bulk) {
    std::string text = bulk.SummaryLine() + "\n";
    const std::pair<BulkOutcome, const char*> kinds[] = {{BulkOutcome::Refused, "refused"},
                                                         {BulkOutcome::Unconfirmed, "unconfirmed"},
                                                         {BulkOutcome::Skipped, "skipped"},
                                                         {BulkOutcome::NotSent, "not sent"}};
    for (const auto& [outcome, word] : kinds) {
        for (const BulkEntry& entry : bulk.List(outcome)) {
            text +=
                std::string(word) + " " + VisibleText(entry.login) + ": " + VisibleText(entry.reason) + "\n";
        }
    }
    if (!bulk.Context().backupPath.empty()) {
        text += "backup: " + bulk.Context().backupPath +
                "\nrestore with: " + RestoreCommand(bulk.Context().backupPath) + "\n";
    }
    return text;
}

int RunManyMembers(AdminSession& session, const CommandOptions& options) {
    std::optional<std::vector<std::string>> named;
    if (!options.logins.empty() || options.fromFile) {
        named = options.logins;
    }
    if (options.fromFile) {
        std::string text;
        std::string error;
        std::vector<std::string> fromFile;
        if (!ReadWholeFile(*options.fromFile, text, error) || !ReadTargetFile(text, fromFile, error)) {
            PrintError(*options.fromFile + ": " + error);
            return ExitStatus::Usage;
        }
        named->insert(named->end(), fromFile.begin(), fromFile.end());
    }
    BulkOperation bulk(session.Session(), BulkCommandOf(options),
                       SelectTargets(session.Members(), named, options.Filter()));
    bulk.SetPacing(kBulkPacing);
    // The journal tells one operation's requests from another's by the time it began.
    bulk.SetContext({static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count()),
                     {}});
    if (options.dryRun) {
        WriteOut(DryRunText(session, bulk));
        return bulk.Count(BulkOutcome::Skipped) == 0 ? ExitStatus::Done : ExitStatus::Refused;
    }
    if (const std::optional<int> declined = ConfirmTargets(session, bulk, options)) {
        return *declined;
    }
    if (bulk.Command().NeedsBackup() && !bulk.Targets().empty()) {
        const BackupWritten backup =
            WriteBackupFile(DefaultBackupFolder(), BulkActionWord(bulk.Command().action), std::time(nullptr),
                            AccountsBackupCsv(session.Members(), bulk.Targets()));
        if (!backup.error.empty()) {
            return Refuse("no backup, so nothing was sent: " + backup.error);
        }
        bulk.SetContext({bulk.Context().id, backup.path});
    }
    // From here on Ctrl+C stops the sending, not the program: what was sent is followed still.
    const InterruptStopsSending interrupts;
    session.JournalAsPartOf(bulk.Context());
    bulk.SetSendGate([&] { return !session.JournalFallingBehind(); });
    bulk.SetNotSentListener(
        [&](const std::vector<std::string>& logins, const std::string& why, const BulkContext&) {
            session.JournalNotSent(BulkRequestWord(bulk.Command().action), logins, why);
        });
    session.SetRequestListener([&](const SettledRequest& request) {
        if (bulk.Settled(request)) {
            session.RenewDeadline();
        }
    });
    // Ended before the summary, so that the summary starts on a line of its own.
    std::optional<ImportProgress> progress(std::in_place, bulk.Targets().size());
    BulkRate rate;
    const auto rateText = [&] {
        rate.Note(bulk.SettledCount(), SteadyClock::Instance().Now());
        const std::optional<double> perSecond = rate.PerSecond();
        if (!perSecond) {
            return std::string("          ");
        }
        char text[64];
        std::snprintf(text, sizeof text, ", %.0f/s, %s left  ", *perSecond,
                      ClockText(*rate.TimeLeft(bulk.Targets().size())).c_str());
        return std::string(text);
    };
    int status = ExitStatus::Done;
    while (!bulk.Finished()) {
        if (stopRequested.load() && !bulk.Cancelled()) {
            bulk.Cancel();
            progress.reset();
            PrintError("interrupted: nothing more is sent; waiting for the answers to what was sent");
            progress.emplace(bulk.Targets().size());
            continue;
        }
        bulk.Pump();
        progress->Show(bulk.SettledCount(), false, rateText);
        if (bulk.Awaiting() == 0) {
            // The journal's writer catches up meanwhile; the session's ticks go on.
            session.RunUntil([&] { return !bulk.GateClosed() || session.Ended() || stopRequested.load(); });
            continue;
        }
        session.RenewDeadline();
        const size_t waiting = bulk.Awaiting();
        status = session.Await([&]() -> std::optional<int> {
            if (bulk.Awaiting() < waiting || (stopRequested.load() && !bulk.Cancelled())) {
                return ExitStatus::Done;
            }
            return std::nullopt;
        });
        if (status != ExitStatus::Done) {
            bulk.GiveUp(status == ExitStatus::TimedOut ? "no answer within --timeout"
                                                       : "the connection ended first");
            break;
        }
    }
    progress->Show(bulk.SettledCount(), true, rateText);
    progress.reset();
    session.SetRequestListener({});
    WriteOut(BulkSummaryText(bulk));
    // Its end settles every request still awaited, which may finish the operation first.
    if (status == ExitStatus::NoConnection || session.Ended()) {
        return ExitStatus::NoConnection;
    }
    if (bulk.Count(BulkOutcome::Unconfirmed) > 0 || bulk.Count(BulkOutcome::NotSent) > 0) {
        return ExitStatus::TimedOut;
    }
    return bulk.Count(BulkOutcome::Refused) + bulk.Count(BulkOutcome::Skipped) == 0 ? ExitStatus::Done
                                                                                    : ExitStatus::Refused;
}

// What watch remembers of a member, to tell what a reloaded list changed.
struct WatchedMember {
    std::string login;
    bool online = false;
    std::string password;
    std::string protocols;
    std::string userBots;

    bool SameAccount(const WatchedMember& other) const {
        return login == other.login && password == other.password && protocols == other.protocols &&
               userBots == other.userBots;
    }
};

using WatchSnapshot = std::map<std::string, WatchedMember>;  // by folded login

WatchSnapshot SnapshotOf(const TkvCLDataCollection& members) {
    WatchSnapshot snapshot;
    for (int32_t i = 0; i < members.Count(); ++i) {
        const TkvCLData* member = members.Items(i);
        snapshot[FoldAscii(member->Login())] = {std::string(member->Login()), member->Online(),
                                                member->Password(), member->GetProtocolsText(),
                                                member->GetUserBotsText()};
    }
    return snapshot;
}

// The word watch prints for what happened; a session's end is a logoff, whatever the member's
// state after it.
const char* WatchWord(MemberEvent event) {
    switch (event) {
        case MemberEvent::Added:
            return "added";
        case MemberEvent::Changed:
            return "changed";
        case MemberEvent::LoggedIn:
            return "online";
        case MemberEvent::LoggedOut:
            return "logoff";
        case MemberEvent::Deleted:
            return "deleted";
        case MemberEvent::ListComplete:
        case MemberEvent::Refused:
            break;
    }
    return nullptr;
}

class Watcher {
public:
    Watcher(AdminSession& session, WatchFormat format) : session_(session), format_(format) {}

    int Run() {
        snapshot_ = SnapshotOf(session_.Members());
        session_.SetReportListener([this](const MemberReport& report) { OnReport(report); });
        session_.SetConnectionListener(
            [this](bool up, const std::string& reason) { OnConnection(up, reason); });
        session_.KeepReconnecting();
        std::fprintf(stderr, "krvadmin: watching %d members (Ctrl+C ends)\n", session_.Members().Count());
        session_.RunUntil(
            [this] { return stopRequested.load() || (session_.Ended() && !session_.WillReconnect()); });
        session_.SetReportListener({});
        session_.SetConnectionListener({});
        if (!stopRequested.load()) {
            PrintError(
                "the connection ended and is not made again (the server closed it, or the schedule gave up)");
            return ExitStatus::NoConnection;
        }
        session_.Close();
        return ExitStatus::Done;
    }

private:
    void OnConnection(bool up, const std::string& reason) {
        if (up) {
            std::fprintf(stderr, "krvadmin: connected again to %s:%d\n", session_.Link().Host().c_str(),
                         session_.Link().Port());
            return;
        }
        reloading_ = true;
        std::fprintf(stderr, "krvadmin: connection lost (%s)%s\n", VisibleText(reason).c_str(),
                     session_.WillReconnect() ? "; reconnecting under the schedule" : "");
    }

    void OnReport(const MemberReport& report) {
        if (report.event == MemberEvent::ListComplete) {
            if (reloading_) {
                PrintDifferences(SnapshotOf(session_.Members()));
                reloading_ = false;
            }
            snapshot_ = SnapshotOf(session_.Members());
            return;
        }
        if (reloading_) {
            return;
        }
        const char* event = WatchWord(report.event);
        if (event == nullptr) {
            return;
        }
        const std::string login(report.login);
        const TkvCLData* member = session_.Members().Items(session_.Members().IndexOf(login));
        Print(event, login, report.event == MemberEvent::Deleted ? nullptr : member);
        if (member != nullptr) {
            snapshot_[FoldAscii(login)] = {std::string(member->Login()), member->Online(), member->Password(),
                                           member->GetProtocolsText(), member->GetUserBotsText()};
        } else {
            snapshot_.erase(FoldAscii(login));
        }
    }

    // A drop may have hidden changes; the reloaded list tells them.
    void PrintDifferences(const WatchSnapshot& now) {
        for (const auto& [key, before] : snapshot_) {
            if (now.find(key) == now.end()) {
                Print("deleted", before.login, nullptr);
            }
        }
        for (const auto& [key, after] : now) {
            const auto found = snapshot_.find(key);
            const TkvCLData* member = session_.Members().Items(session_.Members().IndexOf(after.login));
            if (found == snapshot_.end()) {
                Print("added", after.login, member);
                continue;
            }
            if (!found->second.SameAccount(after)) {
                Print("changed", after.login, member);
            }
            if (found->second.online != after.online) {
                Print(after.online ? "online" : "offline", after.login, member);
            }
        }
    }

    void Print(const char* event, const std::string& login, const TkvCLData* member) {
        std::string out;
        if (format_ == WatchFormat::Jsonl) {
            out = "{\"event\":\"" + std::string(event) + "\",\"member\":";
            if (member != nullptr) {
                AppendMemberJson(out, *member);
            } else {
                out += "{\"login\":";
                AppendJsonString(out, login);
                out += "}";
            }
            out += "}\n";
        } else {
            out = std::string(event) + " " + VisibleText(login) + "\n";
        }
        WriteOut(out);
    }

    AdminSession& session_;
    WatchFormat format_;
    WatchSnapshot snapshot_;
    bool reloading_ = false;
};

}  // namespace

void RequestAdminStop() {
    stopRequested.store(true);
}

int RunAdminCommand(AdminSession& session, const CommandOptions& options) {
    if (options.reason) {
        session.JournalReason(*options.reason);
    }
    if (options.ManyMembers() && !options.all) {
        return RunManyMembers(session, options);
    }
    switch (options.command) {
        case AdminCommand::List:
            return RunList(session, options);
        case AdminCommand::Show:
            return RunShow(session, options);
        case AdminCommand::Add:
        case AdminCommand::Edit:
            return RunAccount(session, options);
        case AdminCommand::Delete:
        case AdminCommand::Expel:
            return RunMemberRequest(session, options);
        case AdminCommand::Logoff:
        case AdminCommand::Reconnect:
            return options.all ? RunAllRequest(session, options) : RunMemberRequest(session, options);
        case AdminCommand::Import:
            return RunImport(session, options);
        case AdminCommand::Watch:
            return Watcher(session, options.watchFormat).Run();
        case AdminCommand::Journal:  // reads a file; needs no session
        case AdminCommand::None:
            break;
    }
    return ExitStatus::Usage;
}

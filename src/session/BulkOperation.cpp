#include "session/BulkOperation.hpp"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "util/Csv.hpp"
#include "util/untCalc1.hpp"

BulkOperation::BulkOperation(ServerSession& session, BulkCommand command,
                             const std::vector<std::string>& logins)
    : session_(session), command_(std::move(command)) {
    std::unordered_set<std::string> seen;
    seen.reserve(logins.size());
    targets_.reserve(logins.size());
    for (const std::string& named : logins) {
        const std::string login = Trim(named);
        if (login.empty() || !seen.insert(FoldAscii(login)).second) {
            continue;
        }
        const TkvCLData* account = session_.Members().RecordOf(login);
        const std::string listed(account != nullptr ? account->Login() : std::string_view(login));
        // Whatever else would keep it out, this is the reason that matters to the administrator.
        if (SameTextAscii(login, session_.Link().Login())) {
            Record(BulkOutcome::Skipped, listed,
                   "the account of this connection never takes part in a command on many members");
            continue;
        }
        if (std::string problem = PlanProblem(account); !problem.empty()) {
            Record(BulkOutcome::Skipped, listed, std::move(problem));
            continue;
        }
        targets_.push_back(listed);
    }
    total_ = targets_.size() + Count(BulkOutcome::Skipped);
}

std::string BulkOperation::PlanProblem(const TkvCLData* account) const {
    if (account == nullptr) {
        return "not listed";
    }
    if (command_.NeedsOnline() && !account->Online()) {
        return "not online";
    }
    if (command_.action == BulkAction::Edit && !EditedAccount(*account, command_.edit)) {
        return "nothing to change";
    }
    return {};
}

void BulkOperation::Pump() {
    if (cancelled_ || next_ == targets_.size()) {
        return;
    }
    if (!session_.Link().LoggedIn()) {
        StopSending("the connection ended before it was sent");
        return;
    }
    if (GateClosed()) {
        return;
    }
    size_t sentNow = 0;
    while (next_ < targets_.size() && awaiting_.size() < pacing_.maxAwaiting &&
           sentNow < pacing_.maxPerPump) {
        const std::string& login = targets_[next_++];
        // The list may have changed since the plan: the member went, or went offline.
        const TkvCLData* account = session_.Members().RecordOf(login);
        if (std::string problem = PlanProblem(account); !problem.empty()) {
            Record(BulkOutcome::Skipped, login, std::move(problem));
            continue;
        }
        const RequestResult result = SendOne(login);
        if (!result.Sent() || !result.followed) {
            Record(BulkOutcome::Skipped, login, RequestRefusalWords(result));
            continue;
        }
        ++sent_;
        ++sentNow;
        awaiting_.emplace(*result.followed, login);
        if (onSent_) {
            onSent_(login, *result.followed, context_);
        }
    }
}

RequestResult BulkOperation::SendOne(const std::string& login) {
    switch (command_.action) {
        case BulkAction::Delete:
            return session_.DeleteAccount(login);
        case BulkAction::Expel:
            return session_.Expel(login);
        case BulkAction::LogOff:
            return session_.AskToLogOff(login);
        case BulkAction::Reconnect:
            return session_.AskToReconnect(login);
        case BulkAction::Edit:
            break;
    }
    // Every other field as the server lists it at this moment.
    return session_.EditAccount(*EditedAccount(*session_.Members().RecordOf(login), command_.edit));
}

bool BulkOperation::Settled(const SettledRequest& request) {
    const auto found = awaiting_.find(request.id);
    if (found == awaiting_.end()) {
        return false;
    }
    std::string login = std::move(found->second);
    awaiting_.erase(found);
    switch (request.outcome) {
        case RequestOutcome::Confirmed:
            Record(BulkOutcome::Confirmed, std::move(login), {});
            break;
        case RequestOutcome::Refused:
            Record(BulkOutcome::Refused, std::move(login), request.reason);
            break;
        case RequestOutcome::Unconfirmed:
            Record(BulkOutcome::Unconfirmed, std::move(login), request.reason);
            break;
    }
    return true;
}

void BulkOperation::Cancel() {
    if (next_ < targets_.size()) {
        StopSending("cancelled before it was sent");
    }
    cancelled_ = true;
}

void BulkOperation::GiveUp(const std::string& why) {
    StopSending(why);
    // In the order they were sent, as the lists are read.
    std::vector<std::pair<RequestId, std::string>> left(awaiting_.begin(), awaiting_.end());
    std::sort(left.begin(), left.end());
    for (auto& [id, login] : left) {
        Record(BulkOutcome::Unconfirmed, std::move(login), why);
    }
    awaiting_.clear();
}

void BulkOperation::StopSending(const std::string& why) {
    if (next_ == targets_.size()) {
        return;
    }
    if (onNotSent_) {
        onNotSent_(std::vector<std::string>(targets_.begin() + static_cast<ptrdiff_t>(next_), targets_.end()),
                   why, context_);
    }
    while (next_ < targets_.size()) {
        Record(BulkOutcome::NotSent, targets_[next_++], why);
    }
}

void BulkOperation::Record(BulkOutcome outcome, std::string login, std::string reason) {
    lists_[static_cast<size_t>(outcome)].push_back({std::move(login), std::move(reason)});
}

std::string BulkOperation::SummaryLine() const {
    std::string line = std::to_string(Count(BulkOutcome::Confirmed)) + " confirmed, " +
                       std::to_string(Count(BulkOutcome::Refused)) + " refused, " +
                       std::to_string(Count(BulkOutcome::Unconfirmed)) + " unconfirmed";
    if (Count(BulkOutcome::Skipped) > 0) {
        line += ", " + std::to_string(Count(BulkOutcome::Skipped)) + " skipped";
    }
    if (Count(BulkOutcome::NotSent) > 0) {
        line += ", " + std::to_string(Count(BulkOutcome::NotSent)) + " not sent";
    }
    return line;
}

std::string BulkOperation::ListCsv(BulkOutcome outcome) const {
    std::string text;
    AppendCsvRow(text, {"login", "reason"});
    for (const BulkEntry& entry : List(outcome)) {
        AppendCsvRow(text, {entry.login, entry.reason});
    }
    return text;
}

std::string RequestRefusalWords(const RequestResult& result) {
    switch (result.refusal) {
        case RequestRefusal::None:
            return {};
        case RequestRefusal::LoginExists:
            return "login name exists";
        case RequestRefusal::EmptyLogin:
            return "the login is empty";
        case RequestRefusal::Unsendable:
        case RequestRefusal::OwnAdministrator:
            return result.detail;
        case RequestRefusal::NotOnline:
            return "not online";
        case RequestRefusal::NobodyToReach:
            return "nobody to reach";
    }
    return {};
}

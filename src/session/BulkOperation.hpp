#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "session/BulkCommand.hpp"
#include "session/ServerSession.hpp"

enum class BulkOutcome {
    Confirmed,    // the server's report says it was done
    Refused,      // the server answered "ARE", with its reason
    Unconfirmed,  // sent, and no answer within the wait or before the connection ended
    Skipped,      // never sent: the own account, a member not listed or not online, nothing to change
    NotSent,      // cancelled, or the connection ended, before its turn
};
inline constexpr size_t kBulkOutcomeCount = 5;

struct BulkEntry {
    std::string login;
    std::string reason;
};

// How fast requests go out: a bounded number awaits its answer, so that neither the front end
// nor the server is flooded and an answer never waits behind a long queue of requests.
struct BulkPacing {
    size_t maxAwaiting = 200;
    size_t maxPerPump = 500;  // requests one Pump may send
};

// What a request belongs to, for whoever records requests: the operation and the backup made
// before it (empty when the command needs none).
struct BulkContext {
    uint64_t id = 0;
    std::string backupPath;
};

// One command on many members through a session: the plan (what is sent, what is skipped and
// why), sending paced, following every request until the server settles it, and the outcome
// of each member. The front end ticks the session, calls Pump after each tick and hands every
// settled request to Settled.
class BulkOperation {
public:
    // The plan is made from the session's list as it is now. The session's own login is always
    // skipped; so is a login named twice (its first naming counts).
    BulkOperation(ServerSession& session, BulkCommand command, const std::vector<std::string>& logins);

    const BulkCommand& Command() const { return command_; }
    // The logins that will be sent, in order.
    const std::vector<std::string>& Targets() const { return targets_; }
    // Every member taking part or skipped.
    size_t Total() const { return total_; }

    void SetPacing(const BulkPacing& pacing) { pacing_ = pacing; }
    void SetContext(BulkContext context) { context_ = std::move(context); }
    const BulkContext& Context() const { return context_; }
    using SentListener =
        std::function<void(const std::string& login, RequestId id, const BulkContext& context)>;
    void SetSentListener(SentListener listener) { onSent_ = std::move(listener); }
    // The targets given up before they were sent (cancelled, or the connection ended first), why.
    using NotSentListener = std::function<void(const std::vector<std::string>& logins, const std::string& why,
                                               const BulkContext& context)>;
    void SetNotSentListener(NotSentListener listener) { onNotSent_ = std::move(listener); }
    // Asked before each Pump sends: while it says no, nothing more goes out (a journal that
    // must catch up, for one); what was sent is still followed.
    void SetSendGate(std::function<bool()> open) { sendGate_ = std::move(open); }
    bool GateClosed() const { return sendGate_ && !sendGate_(); }

    // Sends what the pacing allows now. Once the session is no longer logged in, every target
    // not yet sent is not sent.
    void Pump();
    // True when the request was one of this operation's.
    bool Settled(const SettledRequest& request);
    // Sends nothing more; what was sent is still followed.
    void Cancel();
    // The front end waits no longer: what awaits its answer is unconfirmed, and the rest is not
    // sent, both for the reason given.
    void GiveUp(const std::string& why);

    bool Cancelled() const { return cancelled_; }
    bool Finished() const { return next_ == targets_.size() && awaiting_.empty(); }
    size_t SentCount() const { return sent_; }
    size_t Awaiting() const { return awaiting_.size(); }
    // Confirmed, refused or unconfirmed: the requests the server settled or the wait gave up on.
    size_t SettledCount() const {
        return Count(BulkOutcome::Confirmed) + Count(BulkOutcome::Refused) + Count(BulkOutcome::Unconfirmed);
    }
    size_t Count(BulkOutcome outcome) const { return lists_[static_cast<size_t>(outcome)].size(); }
    const std::vector<BulkEntry>& List(BulkOutcome outcome) const {
        return lists_[static_cast<size_t>(outcome)];
    }

    // "N confirmed, M refused, K unconfirmed", then the skipped and not sent when there are any.
    std::string SummaryLine() const;
    // One list as CSV: "login,reason" and a row per member.
    std::string ListCsv(BulkOutcome outcome) const;

private:
    std::string PlanProblem(const TkvCLData* account) const;
    RequestResult SendOne(const std::string& login);
    void Record(BulkOutcome outcome, std::string login, std::string reason);
    void StopSending(const std::string& why);

    ServerSession& session_;
    BulkCommand command_;
    std::vector<std::string> targets_;
    BulkPacing pacing_;
    BulkContext context_;
    SentListener onSent_;
    NotSentListener onNotSent_;
    std::function<bool()> sendGate_;
    size_t next_ = 0;
    size_t sent_ = 0;
    size_t total_ = 0;
    bool cancelled_ = false;
    std::unordered_map<RequestId, std::string> awaiting_;
    std::array<std::vector<BulkEntry>, kBulkOutcomeCount> lists_;
};

// Why the session sent nothing, in words.
std::string RequestRefusalWords(const RequestResult& result);

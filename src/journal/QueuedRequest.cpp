#include "journal/QueuedRequest.hpp"

#include <algorithm>
#include <utility>

// Every request of a burst writes this many bytes on the sending thread.
static_assert(sizeof(QueuedRequest) <= 10 * sizeof(void*));

QueuedRequest::QueuedRequest(JournalTicket ticket, JournalRequest&& request, uint32_t context)
    : ticket_(ticket),
      time_(request.time),
      member_(std::move(request.member)),
      context_(context),
      passwordChanged_(request.passwordChanged) {
    if (!request.fields.empty()) {
        RareOnes().fields = std::move(request.fields);
    }
}

QueuedRequest::Rare& QueuedRequest::RareOnes() {
    if (!rare_) {
        rare_ = std::make_unique<Rare>();
    }
    return *rare_;
}

void QueuedRequest::Settle(OutcomeUpdate&& update) {
    if (Settled()) {
        return;
    }
    outcome_ = update.outcome;
    settledAt_ = update.time;
    // What an earlier update left goes: this one's words are the ones kept.
    reportLength_ = 0;
    if (rare_) {
        rare_->report.clear();
        rare_->text.clear();
    }
    if (update.report.size() <= kReportInPlace) {
        std::copy(update.report.begin(), update.report.end(), report_.begin());
        reportLength_ = static_cast<uint8_t>(update.report.size());
    } else {
        RareOnes().report = std::move(update.report);
    }
    if (!update.text.empty()) {
        RareOnes().text = std::move(update.text);
    }
}

JournalRequest QueuedRequest::Request(std::shared_ptr<const RequestContext> context) const {
    return {time_, std::move(context), member_, rare_ ? rare_->fields : std::vector<ChangedField>{},
            passwordChanged_};
}

OutcomeUpdate QueuedRequest::Outcome() const {
    OutcomeUpdate outcome;
    outcome.outcome = outcome_;
    outcome.time = settledAt_;
    outcome.report =
        rare_ && !rare_->report.empty() ? rare_->report : std::string(report_.data(), reportLength_);
    outcome.text = rare_ ? rare_->text : std::string();
    return outcome;
}

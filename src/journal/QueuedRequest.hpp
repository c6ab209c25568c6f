#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "journal/JournalTypes.hpp"

// A request as it waits in the journal's queue, in as few bytes as a burst of them can take:
// every one is written by the thread that sends, and the bytes of each cost it time. Its
// context is named by its place among the queue's contexts; a short report ("ARD") is kept in
// place; what is rare (changed fields, a long report, an outcome's text) lives apart.
class QueuedRequest {
public:
    QueuedRequest(JournalTicket ticket, JournalRequest&& request, uint32_t context);

    JournalTicket Ticket() const { return ticket_; }
    uint32_t Context() const { return context_; }
    // Known for good: it is answered, refused, or given up on.
    bool Settled() const { return outcome_ != JournalOutcome::Pending; }
    // An update came, final or not.
    bool Updated() const { return settledAt_ != JournalTime{}; }
    // Takes the update unless the outcome is known for good already.
    void Settle(OutcomeUpdate&& update);

    // The request and its outcome as the journal's file takes them.
    JournalRequest Request(std::shared_ptr<const RequestContext> context) const;
    OutcomeUpdate Outcome() const;

private:
    struct Rare {
        std::vector<ChangedField> fields;
        std::string report;  // one too long to be kept in place
        std::string text;
    };
    static constexpr size_t kReportInPlace = 6;

    Rare& RareOnes();

    JournalTicket ticket_;
    JournalTime time_;
    JournalTime settledAt_{};
    std::string member_;
    std::unique_ptr<Rare> rare_;
    uint32_t context_;
    JournalOutcome outcome_ = JournalOutcome::Pending;
    std::array<char, kReportInPlace> report_{};
    uint8_t reportLength_ = 0;
    bool passwordChanged_;
};

#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalTypes.hpp"

struct JournalReaderFile;

// Reads the journal, newest first, while writers go on writing it: the window's table asks for a
// page at a time and krvadmin for what it prints. A query that fails (the file locked past the
// busy timeout, or damaged) gives nothing and leaves its reason in Error().
class JournalReader {
public:
    // An existing journal; nullptr and the reason in *error when it cannot be opened.
    static std::unique_ptr<JournalReader> Open(
        const std::string& path, std::string* error,
        std::chrono::milliseconds busyTimeout = std::chrono::seconds(5));
    ~JournalReader();
    JournalReader(const JournalReader&) = delete;
    JournalReader& operator=(const JournalReader&) = delete;

    std::vector<RequestRecord> Requests(const RequestFilter& filter, const PageRequest& page);
    // How many requests the filter lets through, for a view's row count.
    int64_t CountRequests(const RequestFilter& filter);
    // filter's time range and server apply; its other parts concern requests only.
    std::vector<ConnectionRecord> ConnectionEvents(const RequestFilter& filter, const PageRequest& page);
    // The member counts in [from, to), oldest first, for a plot. More samples than maxPoints are
    // gathered into maxPoints spans of equal time, each given its highest counts, so that a
    // short peak still shows.
    std::vector<MemberCountPoint> MemberCounts(const std::string& server, JournalTime from, JournalTime to,
                                               size_t maxPoints);

    // Changes whenever another connection (a writer, in this program or another) has committed
    // to the file since the last call: a view asks for its rows again only then.
    int64_t DataVersion();

    const std::string& Error() const { return error_; }

private:
    explicit JournalReader(std::unique_ptr<JournalReaderFile> file);

    std::unique_ptr<JournalReaderFile> file_;
    std::string error_;
};

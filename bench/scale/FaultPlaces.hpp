// Where the process's minor page faults fell. The fault counter counts every first touch of a page
// alike, but only some are fresh memory the kernel has to find and clear (the heap, the large
// blocks, stacks, copies of written library data); a fault on a file mapped read-only (code,
// fonts, data files) only maps a page the page cache holds already, which a machine where fresh
// memory is dear does not charge for. Each fault's address is recorded by the kernel as it
// happens (a page-fault software event), and placed by the mappings it lies in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <vector>

// One line of /proc/<pid>/maps.
struct MappingSpan {
    uint64_t start = 0;
    uint64_t end = 0;
    bool file = false;      // backed by a file (a path, not [heap], [stack] or a deleted shared segment)
    bool writable = false;  // a write to a private one makes a copy: fresh memory
};

// The lines of a /proc/<pid>/maps text, in its (ascending) order.
std::vector<MappingSpan> ReadMappings(std::istream& maps);

enum class FaultPlace {
    kFresh,         // anonymous memory, or a writable file mapping (its written pages are copies)
    kReadOnlyFile,  // a page of a file mapped without write access: already in the page cache
    kGone,          // no mapping holds the address any more: a block freed since, anonymous
};

FaultPlace PlaceOf(const std::vector<MappingSpan>& mappings, uint64_t address);

struct FaultTally {
    long fresh = 0;
    long readOnlyFile = 0;
    long gone = 0;
    long Recorded() const { return fresh + readOnlyFile + gone; }
};

// Records the address of every minor fault of this process's threads, those started later
// included, from its making until Stop. Where the kernel refuses the event (no perf events in a
// container, say), Available is false and every tally is empty.
class FaultRecorder {
public:
    // Where the faults recorded so far end on each processor, for Between.
    using Mark = std::vector<uint64_t>;

    FaultRecorder();
    ~FaultRecorder();
    FaultRecorder(const FaultRecorder&) = delete;
    FaultRecorder& operator=(const FaultRecorder&) = delete;

    bool Available() const { return !rings_.empty(); }
    Mark Now() const;
    void Stop();
    // The faults recorded from one mark to another, placed by the mappings given.
    FaultTally Between(const Mark& from, const Mark& to, const std::vector<MappingSpan>& mappings) const;

private:
    // A buffer per processor: the kernel lends the buffer of an event that follows new threads
    // only to an event of one processor.
    struct Ring {
        int fd = -1;
        void* memory = nullptr;
    };

    void Close();

    std::vector<Ring> rings_;
    size_t ringBytes_ = 0;
};

#include "FaultPlaces.hpp"

#include <linux/perf_event.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>

std::vector<MappingSpan> ReadMappings(std::istream& maps) {
    std::vector<MappingSpan> mappings;
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string range;
        std::string permissions;
        std::string offset;
        std::string device;
        std::string inode;
        if (!(fields >> range >> permissions >> offset >> device >> inode)) {
            continue;
        }
        std::string path;
        std::getline(fields >> std::ws, path);
        const size_t dash = range.find('-');
        if (dash == std::string::npos) {
            continue;
        }
        MappingSpan span;
        span.start = std::stoull(range.substr(0, dash), nullptr, 16);
        span.end = std::stoull(range.substr(dash + 1), nullptr, 16);
        span.writable = permissions.size() > 1 && permissions[1] == 'w';
        // A deleted file is a shared memory segment or a memory file: pages the process made.
        const bool deleted = path.size() >= 10 && path.compare(path.size() - 10, 10, " (deleted)") == 0;
        span.file = inode != "0" && !path.empty() && path.front() == '/' && !deleted;
        mappings.push_back(span);
    }
    return mappings;
}

FaultPlace PlaceOf(const std::vector<MappingSpan>& mappings, uint64_t address) {
    const auto after = std::upper_bound(mappings.begin(), mappings.end(), address,
                                        [](uint64_t at, const MappingSpan& span) { return at < span.start; });
    if (after == mappings.begin() || address >= std::prev(after)->end) {
        return FaultPlace::kGone;
    }
    const MappingSpan& span = *std::prev(after);
    return span.file && !span.writable ? FaultPlace::kReadOnlyFile : FaultPlace::kFresh;
}

namespace {

constexpr size_t kRingPages = 1024;  // 4 MiB: a quarter of a million faults, more than a login takes

// In the order of the sample_type bits.
struct Sample {
    perf_event_header header;
    uint32_t pid;
    uint32_t tid;
    uint64_t address;
};

int OpenFaultEvent(int cpu, bool withKernel, bool threadsOnly) {
    perf_event_attr attribute{};
    attribute.size = sizeof attribute;
    attribute.type = PERF_TYPE_SOFTWARE;
    attribute.config = PERF_COUNT_SW_PAGE_FAULTS_MIN;
    attribute.sample_period = 1;
    attribute.sample_type = PERF_SAMPLE_TID | PERF_SAMPLE_ADDR;
    attribute.inherit = 1;
    // Not into processes started from this one: a demo server making a million members faults a
    // hundred times more than the client, and would fill the buffers. Older kernels follow them
    // too; their faults are left out by process when counted.
    attribute.inherit_thread = threadsOnly ? 1 : 0;
    attribute.exclude_hv = 1;
    // A fault the kernel takes on the process's behalf (a read into a fresh buffer) is counted as
    // the process's; where the kernel's side may not be watched, such faults go unrecorded.
    attribute.exclude_kernel = withKernel ? 0 : 1;
    return static_cast<int>(syscall(SYS_perf_event_open, &attribute, 0, cpu, -1, PERF_FLAG_FD_CLOEXEC));
}

}  // namespace

FaultRecorder::FaultRecorder() {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    ringBytes_ = (kRingPages + 1) * page;
    const long cpus = sysconf(_SC_NPROCESSORS_CONF);
    for (int cpu = 0; cpu < cpus; ++cpu) {
        Ring ring;
        for (const bool threadsOnly : {true, false}) {
            for (const bool withKernel : {true, false}) {
                if (ring.fd < 0) {
                    ring.fd = OpenFaultEvent(cpu, withKernel, threadsOnly);
                }
            }
        }
        if (ring.fd < 0) {
            Close();
            return;
        }
        // Writable, so that the kernel stops at a full buffer rather than overwrite the first faults.
        ring.memory = mmap(nullptr, ringBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, ring.fd, 0);
        if (ring.memory == MAP_FAILED) {
            close(ring.fd);
            Close();
            return;
        }
        rings_.push_back(ring);
    }
}

FaultRecorder::~FaultRecorder() {
    Close();
}

void FaultRecorder::Close() {
    for (const Ring& ring : rings_) {
        munmap(ring.memory, ringBytes_);
        close(ring.fd);
    }
    rings_.clear();
}

FaultRecorder::Mark FaultRecorder::Now() const {
    Mark mark;
    for (const Ring& ring : rings_) {
        const auto* control = static_cast<const perf_event_mmap_page*>(ring.memory);
        mark.push_back(__atomic_load_n(&control->data_head, __ATOMIC_ACQUIRE));
    }
    return mark;
}

void FaultRecorder::Stop() {
    for (const Ring& ring : rings_) {
        ioctl(ring.fd, PERF_EVENT_IOC_DISABLE, 0);
    }
}

FaultTally FaultRecorder::Between(const Mark& from, const Mark& to,
                                  const std::vector<MappingSpan>& mappings) const {
    FaultTally tally;
    // Processes started from this one (the demo server) are followed too, and left out here.
    const auto self = static_cast<uint32_t>(getpid());
    for (size_t r = 0; r < rings_.size() && r < from.size() && r < to.size(); ++r) {
        const auto* control = static_cast<const perf_event_mmap_page*>(rings_[r].memory);
        const auto* data = static_cast<const unsigned char*>(rings_[r].memory) + control->data_offset;
        // Records never wrap: nothing is taken out of the buffer, so the kernel stops at its end.
        for (uint64_t at = 0; at < to[r] && at + sizeof(perf_event_header) <= control->data_size;) {
            perf_event_header header{};
            std::memcpy(&header, data + at, sizeof header);
            if (header.size == 0) {
                break;
            }
            if (at >= from[r] && header.type == PERF_RECORD_SAMPLE && header.size >= sizeof(Sample)) {
                Sample sample{};
                std::memcpy(&sample, data + at, sizeof sample);
                if (sample.pid != self) {
                    at += header.size;
                    continue;
                }
                switch (PlaceOf(mappings, sample.address)) {
                    case FaultPlace::kFresh:
                        ++tally.fresh;
                        break;
                    case FaultPlace::kReadOnlyFile:
                        ++tally.readOnlyFile;
                        break;
                    case FaultPlace::kGone:
                        ++tally.gone;
                        break;
                }
            }
            at += header.size;
        }
    }
    return tally;
}

#include "FirstTouch.hpp"

#include <sys/mman.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <stdexcept>

#include "PageFaults.hpp"

namespace {

constexpr size_t kSmallPage = 4096;
constexpr size_t kLargePage = size_t{2} << 20;

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// An anonymous private mapping, unmapped when it goes.
class Mapping {
public:
    explicit Mapping(size_t bytes) : bytes_(bytes) {
        address_ = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (address_ == MAP_FAILED) {
            throw std::runtime_error("first-touch probe: mmap failed");
        }
    }
    ~Mapping() { munmap(address_, bytes_); }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    char* Begin() const { return static_cast<char*>(address_); }

private:
    size_t bytes_;
    void* address_;
};

struct Touched {
    double us = 0;
    long faults = 0;
    long hugeKb = 0;  // AnonHugePages grown while touching
};

// Writes one byte in each 4 KiB of [begin, begin + bytes): the first write of a page is the
// kernel's fault, the zeroing of the page and its mapping.
Touched TouchEach4Kb(char* begin, size_t bytes) {
    Touched touched;
    const long hugeBefore = AnonHugePagesKb();
    const long faultsBefore = MinorFaults();
    const auto start = std::chrono::steady_clock::now();
    volatile char* const page = begin;
    for (size_t offset = 0; offset < bytes; offset += kSmallPage) {
        page[offset] = 1;
    }
    touched.us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    touched.faults = MinorFaults() - faultsBefore;
    touched.hugeKb = AnonHugePagesKb() - hugeBefore;
    return touched;
}

std::string FirstLine(const char* path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return file ? line : "(unreadable)";
}

}  // namespace

FirstTouch ProbeFirstTouch(size_t bytes) {
    FirstTouch probe;
    probe.bytes = bytes;
    probe.hugePagesEnabled = FirstLine("/sys/kernel/mm/transparent_hugepage/enabled");
    const double pages = static_cast<double>(bytes / kSmallPage);
    {
        Mapping small(bytes);
        madvise(small.Begin(), bytes, MADV_NOHUGEPAGE);
        const Touched touched = TouchEach4Kb(small.Begin(), bytes);
        probe.smallUsPerPage = touched.us / pages;
        probe.smallFaults = touched.faults;
    }
    {
        // One large page more than needed, so that a 2 MiB boundary starts the part touched.
        Mapping large(bytes + kLargePage);
        const auto address = reinterpret_cast<uintptr_t>(large.Begin());
        char* const aligned = large.Begin() + ((kLargePage - address % kLargePage) % kLargePage);
        madvise(aligned, bytes, MADV_HUGEPAGE);
        const Touched touched = TouchEach4Kb(aligned, bytes);
        probe.largeUsPer4Kb = touched.us / pages;
        probe.largeFaults = touched.faults;
        probe.largeKbGiven = touched.hugeKb;
    }
    return probe;
}

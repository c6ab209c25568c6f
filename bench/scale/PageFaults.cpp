#include "PageFaults.hpp"

#include <sys/resource.h>

#include <fstream>
#include <string>

long AnonHugePagesKb() {
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string line;
    const std::string prefix = "AnonHugePages:";
    while (std::getline(rollup, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return 0;
}

long LargePageFaultsOfSystem() {
    std::ifstream vmstat("/proc/vmstat");
    std::string name;
    long value = 0;
    while (vmstat >> name >> value) {
        if (name == "thp_fault_alloc") {
            return value;
        }
    }
    return -1;
}

PageFaults PageFaults::Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // Read after the counter, so that any fault the file's reading takes is not in this reading.
    return {usage.ru_minflt, AnonHugePagesKb(), LargePageFaultsOfSystem()};
}

FreshMemory Between(const PageFaults& before, const PageFaults& after) {
    constexpr long kLargePageKb = 2048;
    FreshMemory fresh;
    fresh.minorFaults = after.minor - before.minor;
    fresh.largeKbHeld = after.anonHugeKb - before.anonHugeKb;
    fresh.largeFaults = before.largeFaultsSystem >= 0 && after.largeFaultsSystem >= 0
                            ? after.largeFaultsSystem - before.largeFaultsSystem
                            : fresh.largeKbHeld / kLargePageKb;
    fresh.largeKb = fresh.largeFaults * kLargePageKb;
    fresh.smallFaults = fresh.minorFaults - fresh.largeFaults;
    return fresh;
}

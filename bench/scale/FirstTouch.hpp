// What this machine's kernel takes to hand out a page of fresh anonymous memory, for small pages
// and for large ones: the part of a login's time that is the memory's, not the client's.
#pragma once

#include <cstddef>
#include <string>

struct FirstTouch {
    size_t bytes = 0;              // of each mapping
    double smallUsPerPage = 0;     // a 4 KiB page of a MADV_NOHUGEPAGE mapping
    double largeUsPer4Kb = 0;      // 4 KiB of a MADV_HUGEPAGE mapping
    long smallFaults = 0;          // minor faults the first mapping's touches took
    long largeFaults = 0;          // and the second's
    long largeKbGiven = 0;         // AnonHugePages the second mapping had once touched
    std::string hugePagesEnabled;  // /sys/kernel/mm/transparent_hugepage/enabled
};

// Maps bytes of fresh memory twice, one after the other, touches each a 4 KiB page at a time and
// unmaps it. Throws when the memory cannot be had.
FirstTouch ProbeFirstTouch(size_t bytes);

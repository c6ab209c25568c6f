// Fresh memory the process has been given: each first touch of a page is a minor fault, and a
// 2 MiB page, when the kernel hands one out, is a single fault for 512 small pages' worth.
#pragma once

struct PageFaults {
    long minor = 0;       // getrusage(RUSAGE_SELF).ru_minflt, counted from the process's start
    long anonHugeKb = 0;  // AnonHugePages of /proc/self/smaps_rollup: large pages held right now
    // thp_fault_alloc of /proc/vmstat: large pages handed out at a fault, by the whole system
    // (-1 when the kernel does not tell it). Only mappings advised for large pages take them
    // where transparent_hugepage/enabled says "madvise", so on a machine quiet otherwise these
    // are the process's own.
    long largeFaultsSystem = -1;

    static PageFaults Now();
};

// What the span between two readings cost, by size of page. The large pages are those handed out
// at a fault (thp_fault_alloc), which counts the ones freed again within the span too; where the
// kernel does not count them, those still held at its end (AnonHugePages).
struct FreshMemory {
    long minorFaults = 0;
    long largeKb = 0;  // largeFaults * 2048
    long largeFaults = 0;
    long smallFaults = 0;  // minorFaults - largeFaults
    long largeKbHeld = 0;  // growth of AnonHugePages
};

FreshMemory Between(const PageFaults& before, const PageFaults& after);

// AnonHugePages of /proc/self/smaps_rollup in kB, 0 when the kernel does not tell it.
long AnonHugePagesKb();

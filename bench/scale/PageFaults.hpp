// Fresh memory the process has been given: each first touch of a page is a minor fault, and a
// 2 MiB page, when the kernel hands one out, is a single fault for 512 small pages' worth.
#pragma once

struct PageFaults {
    long minor = 0;       // getrusage(RUSAGE_SELF).ru_minflt, counted from the process's start
    long anonHugeKb = 0;  // AnonHugePages of /proc/self/smaps_rollup: large pages held right now

    static PageFaults Now();
};

// What the span between two readings cost, by size of page. The large pages are only those still
// held at its end: one freed within the span is counted among the small faults.
struct FreshMemory {
    long minorFaults = 0;
    long largeKb = 0;      // growth of AnonHugePages
    long largeFaults = 0;  // largeKb / 2048
    long smallFaults = 0;  // minorFaults - largeFaults
};

FreshMemory Between(const PageFaults& before, const PageFaults& after);

// AnonHugePages of /proc/self/smaps_rollup in kB, 0 when the kernel does not tell it.
long AnonHugePagesKb();

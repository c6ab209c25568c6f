#include "FaultPlaces.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace {

const char* const kMaps =
    "00400000-00452000 r-xp 00000000 08:02 173521      /usr/bin/program\n"
    "00651000-00652000 r--p 00051000 08:02 173521      /usr/bin/program\n"
    "00652000-00655000 rw-p 00052000 08:02 173521      /usr/bin/program\n"
    "00e03000-00e24000 rw-p 00000000 00:00 0           [heap]\n"
    "35b1800000-35b1820000 rw-p 00000000 00:00 0 \n"
    "7f2b00000000-7f2b00100000 rw-s 00000000 00:05 4242   /SYSV00000000 (deleted)\n"
    "7f2b00100000-7f2b00200000 r--s 00000000 00:01 99     /memfd:frames (deleted)\n"
    "7f2b00200000-7f2b00300000 r--p 00000000 08:02 55     /usr/share/fonts/face.ttf\n"
    "7ffd6e000000-7ffd6e021000 rw-p 00000000 00:00 0      [stack]\n"
    "7ffd6e1f9000-7ffd6e1fb000 r-xp 00000000 00:00 0      [vdso]\n";

TEST(FaultPlacesTest, PlacesAddressesByTheMappingTheyLieIn) {
    std::istringstream maps(kMaps);
    const std::vector<MappingSpan> mappings = ReadMappings(maps);
    ASSERT_EQ(mappings.size(), 10u);
    const struct {
        uint64_t address;
        FaultPlace place;
        const char* what;
    } cases[] = {
        {0x00400000, FaultPlace::kReadOnlyFile, "code, first byte"},
        {0x00451fff, FaultPlace::kReadOnlyFile, "code, last byte"},
        {0x00452000, FaultPlace::kGone, "just past the code"},
        {0x00651800, FaultPlace::kReadOnlyFile, "relocated data, read-only again"},
        {0x00653000, FaultPlace::kFresh, "writable data of a file: written pages are copies"},
        {0x00e10000, FaultPlace::kFresh, "heap"},
        {0x35b1810000, FaultPlace::kFresh, "anonymous mapping"},
        {0x7f2b00080000, FaultPlace::kFresh, "shared memory segment"},
        {0x7f2b00180000, FaultPlace::kFresh, "memory file, even read-only"},
        {0x7f2b00280000, FaultPlace::kReadOnlyFile, "font"},
        {0x7ffd6e010000, FaultPlace::kFresh, "stack"},
        {0x7ffd6e1fa000, FaultPlace::kFresh, "kernel's page without a file"},
        {0x1000, FaultPlace::kGone, "before every mapping"},
        {0x7fffffff0000, FaultPlace::kGone, "after every mapping"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(PlaceOf(mappings, each.address), each.place) << each.what;
    }
}

constexpr size_t kPage = 4096;
constexpr size_t kPages = 64;

// Touches kPages fresh anonymous pages; the mapping is given back when unmapAfter.
void TouchFreshPages(bool unmapAfter) {
    void* block = mmap(nullptr, kPages * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(block, MAP_FAILED);
    madvise(block, kPages * kPage, MADV_NOHUGEPAGE);
    for (size_t page = 0; page < kPages; ++page) {
        static_cast<volatile char*>(block)[page * kPage] = 1;
    }
    if (unmapAfter) {
        munmap(block, kPages * kPage);
    }
}

// Reads a page of this program's own file every 64 KiB (the kernel maps up to 16 pages of a
// cached file at a fault), kFileReads at most; the mapping stays.
constexpr size_t kFileReads = 16;
void ReadOwnFile() {
    const int fd = open("/proc/self/exe", O_RDONLY);
    ASSERT_GE(fd, 0);
    struct stat status {};
    fstat(fd, &status);
    const auto length = static_cast<size_t>(status.st_size);
    void* file = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    ASSERT_NE(file, MAP_FAILED);
    volatile char sum = 0;
    for (size_t at = 0; at < std::min(length, kFileReads * 16 * kPage); at += 16 * kPage) {
        sum = static_cast<char>(sum + static_cast<const char*>(file)[at]);
    }
}

enum class Work { kFresh, kFreshGivenBack, kOwnFile };
enum class Where { kThisThread, kNewThread, kChildProcess };

// Counts expected of each place, from least to most: some room for the process's own faults
// beside the work (a new thread's stack, copies of pages written after a fork, a sanitizer's
// shadow memory), but less than the work's own.
struct Range {
    long least;
    long most;
};

struct RecorderCase {
    const char* name;
    Work work;
    Where where;
    Range fresh;
    Range readOnlyFile;
    Range gone;
};

void PrintTo(const RecorderCase& each, std::ostream* out) {
    *out << each.name;
}

constexpr long kMany = 1 << 20;
constexpr long kAside = kPages / 2;

class FaultRecorderTest : public testing::TestWithParam<RecorderCase> {};

TEST_P(FaultRecorderTest, CountsTheFaultsOfThisProcessByPlace) {
    const RecorderCase& param = GetParam();
    FaultRecorder recorder;
    if (!recorder.Available()) {
        GTEST_SKIP() << "this kernel records no page-fault events here";
    }
    const auto work = [&param] {
        switch (param.work) {
            case Work::kFresh:
                TouchFreshPages(false);
                break;
            case Work::kFreshGivenBack:
                TouchFreshPages(true);
                break;
            case Work::kOwnFile:
                ReadOwnFile();
                break;
        }
    };
    const FaultRecorder::Mark before = recorder.Now();
    switch (param.where) {
        case Where::kThisThread:
            work();
            break;
        case Where::kNewThread:
            std::thread(work).join();
            break;
        case Where::kChildProcess:
            if (const pid_t child = fork(); child == 0) {
                work();
                _exit(0);
            } else {
                ASSERT_GT(child, 0);
                waitpid(child, nullptr, 0);
            }
            break;
    }
    const FaultRecorder::Mark after = recorder.Now();
    recorder.Stop();
    std::ifstream maps("/proc/self/maps");
    const FaultTally tally = recorder.Between(before, after, ReadMappings(maps));

    const auto within = [](long counted, Range range) {
        return counted >= range.least && counted <= range.most;
    };
    EXPECT_TRUE(within(tally.fresh, param.fresh)) << tally.fresh;
    EXPECT_TRUE(within(tally.readOnlyFile, param.readOnlyFile)) << tally.readOnlyFile;
    EXPECT_TRUE(within(tally.gone, param.gone)) << tally.gone;
}

// A new thread's stack is fresh memory too; a child's faults are not this process's.
INSTANTIATE_TEST_SUITE_P(
    Places, FaultRecorderTest,
    testing::Values(
        RecorderCase{"FreshPages",
                     Work::kFresh,
                     Where::kThisThread,
                     {kPages, 2 * kPages - 1},
                     {0, kAside},
                     {0, kAside}},
        RecorderCase{"FreshPagesGivenBack",
                     Work::kFreshGivenBack,
                     Where::kThisThread,
                     {0, kAside},
                     {0, kAside},
                     {kPages, 2 * kPages - 1}},
        RecorderCase{"OwnFile", Work::kOwnFile, Where::kThisThread, {0, kAside}, {1, kMany}, {0, kAside}},
        RecorderCase{"FreshPagesOfALaterThread",
                     Work::kFresh,
                     Where::kNewThread,
                     {kPages, 2 * kPages - 1},
                     {0, kAside},
                     {0, kAside}},
        RecorderCase{"OwnFileFromALaterThread",
                     Work::kOwnFile,
                     Where::kNewThread,
                     {0, kAside},
                     {1, kMany},
                     {0, kAside}},
        RecorderCase{
            "FreshPagesOfAChild", Work::kFresh, Where::kChildProcess, {0, kAside}, {0, kAside}, {0, kAside}}),
    [](const testing::TestParamInfo<RecorderCase>& info) { return info.param.name; });

}  // namespace

#include "util/LargePages.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace large_pages {

namespace {

std::size_t RoundUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

bool HasOwnMapping(std::size_t bytes) {
    return bytes >= kOwnMappingBytes;
}

// Whole large pages: the mappings of a growing block then stay on large-page boundaries from end
// to end, and a move (mremap) takes whole pages.
std::size_t MappedLength(std::size_t bytes) {
    return RoundUp(bytes, kLargePageBytes);
}

void* FromHeap(std::size_t bytes) {
    void* block = std::malloc(bytes);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

// A mapping of length bytes starting on a large-page boundary and advised for large pages.
std::uint8_t* AlignedMapping(std::size_t length) {
    // Mapped with a large page's worth to spare, so that the block can start on a boundary; the
    // spare ends are given back at once.
    const std::size_t spare = kLargePageBytes;
    void* mapped = mmap(nullptr, length + spare, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* const first = static_cast<std::uint8_t*>(mapped);
    const auto address = reinterpret_cast<std::uintptr_t>(first);
    const std::size_t head = RoundUp(address, kLargePageBytes) - address;
    std::uint8_t* const block = first + head;
    if (head > 0) {
        munmap(first, head);
    }
    if (spare > head) {
        munmap(block + length, spare - head);
    }
    // Only advice: a kernel without large pages, or with them turned off, refuses it, and the
    // block is then an ordinary mapping.
    madvise(block, length, MADV_HUGEPAGE);
    return block;
}

}  // namespace

std::size_t RoomFor(std::size_t bytes) {
    return HasOwnMapping(bytes) ? MappedLength(bytes) : bytes;
}

void* Allocate(std::size_t bytes) {
    return HasOwnMapping(bytes) ? AlignedMapping(MappedLength(bytes)) : FromHeap(bytes);
}

void* Grow(void* block, std::size_t bytes, std::size_t grownBytes) {
    if (block == nullptr) {
        return Allocate(grownBytes);
    }
    if (!HasOwnMapping(grownBytes)) {
        void* grown = std::realloc(block, grownBytes);
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        return grown;
    }
    std::uint8_t* const grown = AlignedMapping(MappedLength(grownBytes));
    if (!HasOwnMapping(bytes)) {
        std::memcpy(grown, block, bytes);
        std::free(block);
        return grown;
    }
    // The old pages are moved over the start of the new mapping, both on large-page boundaries,
    // so that large pages move whole; nothing is copied.
    const std::size_t length = MappedLength(bytes);
    if (mremap(block, length, length, MREMAP_MAYMOVE | MREMAP_FIXED, grown) == MAP_FAILED) {
        std::memcpy(grown, block, bytes);
        munmap(block, length);
    }
    return grown;
}

void Release(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) {
        return;
    }
    if (HasOwnMapping(bytes)) {
        munmap(block, MappedLength(bytes));
    } else {
        std::free(block);
    }
}

}  // namespace large_pages

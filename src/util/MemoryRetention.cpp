#include "util/MemoryRetention.hpp"

#include <cstddef>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Blocks from this size on are mapped of their own by the C library, and unmapped when freed.
// Glibc's own threshold starts at 128 KiB, so the socket's read buffers, the member list's
// growing tables and the rows' scratch space would be unmapped and mapped again on every turn.
// The few blocks larger still are laid out by the program itself (LargePages).
constexpr std::size_t kOwnMappingFrom = std::size_t{32} << 20;
// Free memory at the top of the heap that is kept rather than returned.
constexpr std::size_t kKeptAtTop = std::size_t{64} << 20;

}  // namespace

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kOwnMappingFrom));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(kKeptAtTop));
#endif
}

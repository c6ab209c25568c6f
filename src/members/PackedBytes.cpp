#include "members/PackedBytes.hpp"

#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kSizeAt = sizeof(char*);
static_assert(kSizeAt + sizeof(uint32_t) <= PackedBytes::kInPlaceBytes);

}  // namespace

PackedBytes& PackedBytes::operator=(const PackedBytes& other) {
    if (this != &other) {
        Assign(other.View());
    }
    return *this;
}

PackedBytes& PackedBytes::operator=(PackedBytes&& other) noexcept {
    if (this != &other) {
        FreeHeap();
        TakeFrom(other);
    }
    return *this;
}

char* PackedBytes::HeapBlock() const {
    char* block = nullptr;
    std::memcpy(&block, room_, sizeof block);
    return block;
}

uint32_t PackedBytes::HeapSize() const {
    uint32_t size = 0;
    std::memcpy(&size, room_ + kSizeAt, sizeof size);
    return size;
}

void PackedBytes::FreeHeap() noexcept {
    if (count_ == kOnHeap) {
        std::allocator<char>().deallocate(HeapBlock(), HeapSize());
        count_ = 0;
    }
}

void PackedBytes::Assign(std::string_view bytes) {
    if (bytes.size() <= kInPlaceBytes) {
        // Copied before the heap block goes, as the bytes may lie in it; the block's address
        // is read before the copy overwrites it.
        const bool onHeap = count_ == kOnHeap;
        char* const block = onHeap ? HeapBlock() : nullptr;
        const uint32_t blockSize = onHeap ? HeapSize() : 0;
        if (!bytes.empty()) {
            std::memmove(room_, bytes.data(), bytes.size());
        }
        if (onHeap) {
            std::allocator<char>().deallocate(block, blockSize);
        }
        count_ = static_cast<uint8_t>(bytes.size());
        return;
    }
    const auto size = static_cast<uint32_t>(bytes.size());
    char* const block = std::allocator<char>().allocate(size);
    std::memcpy(block, bytes.data(), size);
    FreeHeap();
    std::memcpy(room_, &block, sizeof block);
    std::memcpy(room_ + kSizeAt, &size, sizeof size);
    count_ = kOnHeap;
}

void PackedBytes::TakeFrom(PackedBytes& other) noexcept {
    std::memcpy(room_, other.room_, other.count_ == kOnHeap ? kSizeAt + sizeof(uint32_t) : other.count_);
    count_ = other.count_;
    other.count_ = 0;
}

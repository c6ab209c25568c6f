#include "members/PackedBytes.hpp"

#include <cstring>
#include <utility>

PackedBytes& PackedBytes::operator=(const PackedBytes& other) {
    if (this != &other) {
        Assign(other.View());
    }
    return *this;
}

PackedBytes& PackedBytes::operator=(PackedBytes&& other) noexcept {
    if (this != &other) {
        TakeFrom(other);
    }
    return *this;
}

void PackedBytes::Assign(std::string_view bytes) {
    if (bytes.size() <= kInPlaceBytes) {
        // Copied before the heap block goes, as the bytes may lie in it.
        if (!bytes.empty()) {
            std::memmove(inPlace_, bytes.data(), bytes.size());
        }
        heap_.reset();
    } else {
        auto heap = std::make_unique_for_overwrite<char[]>(bytes.size());
        std::memcpy(heap.get(), bytes.data(), bytes.size());
        heap_ = std::move(heap);
    }
    size_ = static_cast<uint32_t>(bytes.size());
}

void PackedBytes::TakeFrom(PackedBytes& other) noexcept {
    heap_ = std::move(other.heap_);
    if (!heap_) {
        std::memcpy(inPlace_, other.inPlace_, other.size_);
    }
    size_ = std::exchange(other.size_, 0);
}

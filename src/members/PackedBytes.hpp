#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// A few bytes kept in the object itself, more of them on the heap. The fields of most members
// fit in place, so a million records are stored, and freed, without an allocation each.
//
// The room in place also holds the heap block's address and size when the bytes live there, and
// the object has no alignment of its own, so that a record can put its other members right
// after it: every byte of the record but a handful is room for fields.
class PackedBytes {
public:
    PackedBytes() = default;
    explicit PackedBytes(std::string_view bytes) { Assign(bytes); }
    PackedBytes(const PackedBytes& other) { Assign(other.View()); }
    PackedBytes(PackedBytes&& other) noexcept { TakeFrom(other); }
    PackedBytes& operator=(const PackedBytes& other);
    PackedBytes& operator=(PackedBytes&& other) noexcept;
    ~PackedBytes() { FreeHeap(); }

    std::string_view View() const {
        if (count_ != kOnHeap) {
            return {room_, count_};
        }
        return {HeapBlock(), HeapSize()};
    }
    // The bytes may be this object's own.
    void Assign(std::string_view bytes);

    static constexpr std::size_t kInPlaceBytes = 74;  // the object is then 75 bytes

private:
    static constexpr uint8_t kOnHeap = 0xFF;
    static_assert(kInPlaceBytes < kOnHeap);

    char* HeapBlock() const;
    uint32_t HeapSize() const;
    void FreeHeap() noexcept;
    void TakeFrom(PackedBytes& other) noexcept;

    // In place: the bytes, count_ of them. On the heap (count_ == kOnHeap): the block's address,
    // then its size as a uint32_t, both copied in and out as bytes.
    char room_[kInPlaceBytes] = {};
    uint8_t count_ = 0;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// A few bytes kept in the object itself, more of them on the heap. The fields of most members
// fit in place, so a million records are stored, and freed, without an allocation each.
class PackedBytes {
public:
    PackedBytes() = default;
    explicit PackedBytes(std::string_view bytes) { Assign(bytes); }
    PackedBytes(const PackedBytes& other) { Assign(other.View()); }
    PackedBytes(PackedBytes&& other) noexcept { TakeFrom(other); }
    PackedBytes& operator=(const PackedBytes& other);
    PackedBytes& operator=(PackedBytes&& other) noexcept;
    ~PackedBytes() = default;

    std::string_view View() const { return {heap_ ? heap_.get() : inPlace_, size_}; }
    // The bytes may be this object's own.
    void Assign(std::string_view bytes);

    static constexpr std::size_t kInPlaceBytes = 52;  // the object is then 64 bytes

private:
    void TakeFrom(PackedBytes& other) noexcept;

    std::unique_ptr<char[]> heap_;  // only when the bytes do not fit in place
    uint32_t size_ = 0;
    char inPlace_[kInPlaceBytes] = {};
};

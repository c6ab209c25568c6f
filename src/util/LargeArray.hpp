#pragma once

#include <cstddef>
#include <memory>
#include <utility>

#include "util/LargePages.hpp"

// Room for a fixed number of objects in large-page memory, each made when it is first needed: the
// room not used yet is never touched, so a block sized for many costs the few it holds.
template <class T>
class LargeArray {
public:
    explicit LargeArray(std::size_t capacity)
        : items_(static_cast<T*>(large_pages::Allocate(capacity * sizeof(T), 0))), capacity_(capacity) {}
    ~LargeArray() {
        std::destroy_n(items_, made_);
        large_pages::Release(items_, capacity_ * sizeof(T));
    }
    LargeArray(LargeArray&& other) noexcept
        : items_(std::exchange(other.items_, nullptr)),
          capacity_(std::exchange(other.capacity_, 0)),
          made_(std::exchange(other.made_, 0)) {}
    LargeArray(const LargeArray&) = delete;
    LargeArray& operator=(const LargeArray&) = delete;
    LargeArray& operator=(LargeArray&&) = delete;

    // Makes the next object, default-initialised; there must be room for it.
    T& MakeNext() { return *std::construct_at(items_ + made_++); }

    T& operator[](std::size_t i) const { return items_[i]; }
    std::size_t Made() const { return made_; }
    std::size_t Capacity() const { return capacity_; }

private:
    T* items_;
    std::size_t capacity_;
    std::size_t made_ = 0;
};

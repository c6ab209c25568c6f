#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "util/LargePages.hpp"

// An array of plain values that grows as a vector does, in large-page memory, where growing moves
// the pages instead of copying the values: what is already there is not touched again, so a
// block that doubles its way up to many megabytes costs the first touches of its final size once.
template <class T>
class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T>, "values are moved as bytes");

public:
    GrowingArray() = default;
    ~GrowingArray() { large_pages::Release(items_, capacity_ * sizeof(T)); }
    GrowingArray(GrowingArray&& other) noexcept
        : items_(std::exchange(other.items_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    GrowingArray& operator=(GrowingArray&& other) noexcept {
        GrowingArray taken(std::move(other));
        std::swap(items_, taken.items_);
        std::swap(size_, taken.size_);
        std::swap(capacity_, taken.capacity_);
        return *this;
    }
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return items_; }
    const T* data() const { return items_; }
    T* begin() { return items_; }
    T* end() { return items_ + size_; }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + size_; }
    T& operator[](std::size_t i) { return items_[i]; }
    const T& operator[](std::size_t i) const { return items_[i]; }
    T& back() { return items_[size_ - 1]; }

    void reserve(std::size_t count) {
        if (count > capacity_) {
            GrowTo(count);
        }
    }
    void push_back(const T& value) {
        if (size_ == capacity_) {
            GrowTo(NextCapacity(size_ + 1));
        }
        items_[size_++] = value;
    }
    void append(const T* first, std::size_t count) {
        if (count == 0) {
            return;
        }
        if (size_ + count > capacity_) {
            GrowTo(NextCapacity(size_ + count));
        }
        std::memcpy(items_ + size_, first, count * sizeof(T));
        size_ += count;
    }
    // New values are value-initialised (zero for numbers).
    void resize(std::size_t count) {
        if (count > capacity_) {
            GrowTo(NextCapacity(count));
        }
        if (count > size_) {
            std::fill(items_ + size_, items_ + count, T());
        }
        size_ = count;
    }
    void erase(std::size_t position) {
        std::memmove(items_ + position, items_ + position + 1, (size_ - position - 1) * sizeof(T));
        --size_;
    }
    // Keeps the room.
    void clear() { size_ = 0; }

private:
    std::size_t NextCapacity(std::size_t wanted) const {
        return std::max({wanted, capacity_ * 2, std::size_t{16}});
    }
    void GrowTo(std::size_t capacity) {
        const std::size_t room = large_pages::RoomFor(capacity * sizeof(T)) / sizeof(T);
        items_ = static_cast<T*>(large_pages::Grow(items_, capacity_ * sizeof(T), room * sizeof(T)));
        capacity_ = room;
    }

    T* items_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

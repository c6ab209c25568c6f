#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// A queue filled at its end and emptied whole. Its entries live in blocks that never move: a
// burst copies nothing as it grows, and touches the memory of each entry once. Blocks are small
// enough to come from the heap, where memory given back by others is already touched, and they
// are kept when the queue is emptied, for the next burst, until ReleaseBeyond lets them go.
template <class T, size_t kBlockEntries = 256>
class BlockQueue {
public:
    BlockQueue() = default;
    ~BlockQueue() { clear(); }
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    void swap(BlockQueue& other) noexcept {
        blocks_.swap(other.blocks_);
        std::swap(size_, other.size_);
    }

    template <class... Args>
    T& emplace_back(Args&&... args) {
        const size_t block = size_ / kBlockEntries;
        if (block == blocks_.size()) {
            // Not zeroed: each entry is built in its place when its turn comes.
            blocks_.push_back(std::make_unique_for_overwrite<Block>());
        }
        T* entry =
            std::construct_at(blocks_[block]->Place(size_ % kBlockEntries), std::forward<Args>(args)...);
        ++size_;
        return *entry;
    }

    T& operator[](size_t index) {
        return *std::launder(blocks_[index / kBlockEntries]->Place(index % kBlockEntries));
    }
    const T& operator[](size_t index) const {
        return *std::launder(blocks_[index / kBlockEntries]->Place(index % kBlockEntries));
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    size_t BlocksHeld() const { return blocks_.size(); }

    template <class Visit>
    void ForEach(Visit&& visit) const {
        for (size_t i = 0; i < size_; ++i) {
            visit((*this)[i]);
        }
    }

    // Destroys the entries and keeps their blocks.
    void clear() {
        for (size_t i = 0; i < size_; ++i) {
            std::destroy_at(&(*this)[i]);
        }
        size_ = 0;
    }

    // Lets go of the blocks an empty queue needs no more to hold this many entries.
    void ReleaseBeyond(size_t entries) {
        const size_t kept = std::max((entries + kBlockEntries - 1) / kBlockEntries,
                                     (size_ + kBlockEntries - 1) / kBlockEntries);
        if (blocks_.size() > kept) {
            blocks_.resize(kept);
            blocks_.shrink_to_fit();
        }
    }

private:
    struct Block {
        alignas(T) std::byte storage[sizeof(T) * kBlockEntries];
        T* Place(size_t index) { return reinterpret_cast<T*>(storage + index * sizeof(T)); }
        const T* Place(size_t index) const { return reinterpret_cast<const T*>(storage + index * sizeof(T)); }
    };

    std::vector<std::unique_ptr<Block>> blocks_;
    size_t size_ = 0;
};

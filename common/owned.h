// An array a struct keeps: allocated once through the toolkit's memory
// (memory.h), zero-filled, and given back when its owner goes, so that a
// work struct of many arrays needs neither a release function nor a null
// check per array. Memory a function only borrows stays a pointer and a
// count.
//
//     struct CenterWork { Owned<double> window, grid; };
//     if (!work->window.Allocate(detectors) || !work->grid.Allocate(points)) return false;
//
// An Owned converts to its pointer, so code written for plain arrays reads
// it unchanged. Large arrays come as blocks whose pages are put in place in
// one call (AllocateBlock); small ones from the heap, where a system call
// each would cost more than the pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "memory.h"

template <class T>
class Owned {
public:
    Owned() = default;
    ~Owned() { Release(); }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    Owned(Owned &&other) noexcept
        : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)) {}
    Owned &operator=(Owned &&other) noexcept {
        if (this != &other) {
            Release();
            data_ = std::exchange(other.data_, nullptr);
            count_ = std::exchange(other.count_, 0);
        }
        return *this;
    }

    // `count` zero-filled elements in place of what was held; false (and
    // nothing held) when they cannot be had, including when the bytes
    // overflow.
    bool Allocate(std::size_t count) {
        Release();
        if (count > SIZE_MAX / sizeof(T)) return false;
        const std::size_t bytes = count * sizeof(T);
        void *memory = Large(bytes) ? AllocateBlock(bytes) : AllocateArray(count, sizeof(T));
        if (memory == nullptr) return false;
        if (!Large(bytes)) std::memset(memory, 0, bytes);
        data_ = static_cast<T *>(memory);
        count_ = count;
        return true;
    }

    void Release() {
        if (data_ == nullptr) return;
        const std::size_t bytes = count_ * sizeof(T);
        if (Large(bytes)) {
            ReleaseBlock(data_, bytes);
        } else {
            ReleaseArray(data_);
        }
        data_ = nullptr;
        count_ = 0;
    }

    T *get() const { return data_; }
    std::size_t size() const { return count_; }
    operator T *() const { return data_; }

private:
    // From 64 KiB on, pages put in place at once pay for their system call.
    static bool Large(std::size_t bytes) { return bytes >= (std::size_t{1} << 16); }

    T *data_ = nullptr;
    std::size_t count_ = 0;
};

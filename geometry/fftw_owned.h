// FFTW's plans and arrays kept by a struct and given back when their owner
// goes, as Owned (owned.h) does for the toolkit's arrays: a work struct of
// plans and arrays then needs no release function. The arrays come from
// fftw_malloc, aligned as the plans made on them expect.
#pragma once

#include <fftw3.h>

#include <cstddef>
#include <mutex>
#include <utility>

// FFTW's planner (making and destroying plans) is not safe in several
// threads at once, and work made on the threads of a parallel loop (a
// removal of rings a sinogram a thread) makes plans there. Every maker of
// plans calls this first: once per process, FFTW then holds a lock of its
// own around its planner. Executing plans was always safe.
inline void ThreadSafePlanner() {
    static std::once_flag once;
    std::call_once(once, [] { fftw_make_planner_thread_safe(); });
}

class OwnedPlan {
public:
    OwnedPlan() = default;
    ~OwnedPlan() { Reset(nullptr); }
    OwnedPlan(const OwnedPlan &) = delete;
    OwnedPlan &operator=(const OwnedPlan &) = delete;
    OwnedPlan(OwnedPlan &&other) noexcept : plan_(std::exchange(other.plan_, nullptr)) {}
    OwnedPlan &operator=(OwnedPlan &&other) noexcept {
        if (this != &other) Reset(std::exchange(other.plan_, nullptr));
        return *this;
    }

    // Keeps `plan` (may be null) in place of the one held.
    void Reset(fftw_plan plan) {
        if (plan_ != nullptr) fftw_destroy_plan(plan_);
        plan_ = plan;
    }

    operator fftw_plan() const { return plan_; }

private:
    fftw_plan plan_ = nullptr;
};

// `count` elements from fftw_malloc (not cleared: FFTW's arrays are
// written before they are read).
template <class T>
class FftwArray {
public:
    FftwArray() = default;
    ~FftwArray() { fftw_free(data_); }
    FftwArray(const FftwArray &) = delete;
    FftwArray &operator=(const FftwArray &) = delete;
    FftwArray(FftwArray &&other) noexcept : data_(std::exchange(other.data_, nullptr)) {}
    FftwArray &operator=(FftwArray &&other) noexcept {
        if (this != &other) {
            fftw_free(data_);
            data_ = std::exchange(other.data_, nullptr);
        }
        return *this;
    }

    // False (and nothing held) when the memory cannot be had.
    bool Allocate(std::size_t count) {
        fftw_free(data_);
        data_ = static_cast<T *>(fftw_malloc(sizeof(T) * count));
        return data_ != nullptr;
    }

    T *get() const { return data_; }
    operator T *() const { return data_; }

private:
    T *data_ = nullptr;
};

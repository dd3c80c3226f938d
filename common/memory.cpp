#include "memory.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "blocks.h"

// Under AddressSanitizer the heap is used instead, so that reads past the end
// of a table are caught.
#if defined(__SANITIZE_ADDRESS__)
#define CT_HEAP_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CT_HEAP_BLOCKS 1
#endif
#endif

namespace {

struct Allocation {
    void *address;
    std::size_t bytes;
    bool block;
};

// What the current run holds, so that a caller running entries one after
// another in one process can take back what a failed run left. A run makes
// only a handful of allocations. The list is shared by every thread that
// allocates (the Python module runs calls from several threads at once),
// so it is changed under a lock.
std::vector<Allocation> live;
std::size_t held = 0;  // the bytes of `live`
std::mutex live_lock;   // Python threads allocate at once

void Remember(void *address, std::size_t bytes, bool block) {
    if (address == nullptr) return;
    std::lock_guard<std::mutex> hold(live_lock);
    live.push_back(Allocation{address, bytes, block});
    held += bytes;
}

void Forget(void *address) {
    std::lock_guard<std::mutex> hold(live_lock);
    for (std::size_t i = 0; i < live.size(); ++i) {
        if (live[i].address == address) {
            held -= live[i].bytes;
            live[i] = live.back();
            live.pop_back();
            return;
        }
    }
}

// Whether `bytes` more can be held beside what the run holds without
// passing the machine's physical memory: a request that cannot be met is
// refused before a page of it is touched, instead of growing until the
// system kills the process.
bool Fits(double bytes) {
    static const double physical =
        static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGESIZE));
    return !(physical > 0) || static_cast<double>(held) + bytes <= physical;
}

}  // namespace

bool MemoryFits(double bytes) { return Fits(bytes); }

void *AllocateArray(std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    std::size_t bytes = count * size;
    void *array = std::malloc(bytes == 0 ? 1 : bytes);
    Remember(array, bytes, false);
    return array;
}

void ReleaseArray(void *array) {
    Forget(array);
    std::free(array);
}

#ifndef CT_HEAP_BLOCKS
namespace {

// Blocks of 2 MiB and more are whole huge pages. On virtual machines the
// first touch of fresh memory costs microseconds per 4 KiB page even after
// MAP_POPULATE; huge pages filled by one MADV_POPULATE_WRITE call cost a
// fraction of that (measured: sino_graft 1.5x faster on a 2-core VM).

std::size_t Rounded(std::size_t bytes) {
    if (bytes == 0) bytes = 1;
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace
#endif

static void *MapBlock(std::size_t bytes, bool populate) {
#ifdef CT_HEAP_BLOCKS
    (void)populate;
    return std::calloc(bytes == 0 ? 1 : bytes, 1);
#else
    if (bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
    if (bytes < kHugePage) {
        // Too small to be worth a huge page of zeroing.
        void *block = mmap(nullptr, bytes == 0 ? 1 : bytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : 0), -1, 0);
        return block == MAP_FAILED ? nullptr : block;
    }
    std::size_t length = Rounded(bytes);
    char *raw = static_cast<char *>(
        mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (raw == MAP_FAILED) return nullptr;
    std::uintptr_t address = reinterpret_cast<std::uintptr_t>(raw);
    char *block = raw + ((kHugePage - address % kHugePage) % kHugePage);
    if (block > raw) munmap(raw, static_cast<std::size_t>(block - raw));
    char *tail = block + length;
    if (tail < raw + length + kHugePage) munmap(tail, static_cast<std::size_t>(raw + length + kHugePage - tail));

    madvise(block, length, MADV_HUGEPAGE);  // a hint: without it the pages are small
    if (!populate) return block;
#ifdef MADV_POPULATE_WRITE
    // Memory that cannot be had shows here, as a failed allocation, rather
    // than later as a fault. Kernels without the call fault pages lazily.
    if (madvise(block, length, MADV_POPULATE_WRITE) != 0 && errno == ENOMEM) {
        munmap(block, length);
        return nullptr;
    }
#endif
    return block;
#endif
}

static void UnmapBlock(void *block, std::size_t bytes) {
#ifdef CT_HEAP_BLOCKS
    (void)bytes;
    std::free(block);
#else
    munmap(block, bytes < kHugePage ? (bytes == 0 ? 1 : bytes) : Rounded(bytes));
#endif
}

void *AllocateBlock(std::size_t bytes) {
    if (!Fits(static_cast<double>(bytes))) return nullptr;
    void *block = MapBlock(bytes, true);
    Remember(block, bytes, true);
    return block;
}

void *AllocateLastingBlock(std::size_t bytes) { return MapBlock(bytes, true); }

void *ReserveBlock(std::size_t bytes) {
    void *block = MapBlock(bytes, false);
    Remember(block, bytes, true);
    return block;
}

void TouchBlock(void *start, std::size_t bytes) {
#if !defined(CT_HEAP_BLOCKS) && defined(MADV_POPULATE_WRITE)
    // madvise wants a page-aligned start; the range is widened to whole pages.
    constexpr std::uintptr_t kPage = 4096;
    std::uintptr_t first = reinterpret_cast<std::uintptr_t>(start) / kPage * kPage;
    std::uintptr_t end = reinterpret_cast<std::uintptr_t>(start) + bytes;
    if (bytes != 0) madvise(reinterpret_cast<void *>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)bytes;
#endif
}

void ReleaseBlock(void *block, std::size_t bytes) {
    if (block == nullptr) return;
    Forget(block);
    UnmapBlock(block, bytes);
}

void ReleaseRunMemory() {
    while (!live.empty()) {
        Allocation a = live.back();
        live.pop_back();
        held -= a.bytes;
        if (a.block) {
            UnmapBlock(a.address, a.bytes);
        } else {
            std::free(a.address);
        }
    }
}

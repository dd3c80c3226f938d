#include "memory.h"

#include <cstdlib>

#include <sys/mman.h>

// Under AddressSanitizer the heap is used instead, so that reads past the end
// of a table are caught.
#if defined(__SANITIZE_ADDRESS__)
#define CT_HEAP_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CT_HEAP_BLOCKS 1
#endif
#endif

void *AllocateBlock(std::size_t bytes) {
    if (bytes == 0) bytes = 1;
#ifdef CT_HEAP_BLOCKS
    return std::calloc(bytes, 1);
#else
    void *block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
#endif
}

void ReleaseBlock(void *block, std::size_t bytes) {
    if (block == nullptr) return;
#ifdef CT_HEAP_BLOCKS
    (void)bytes;
    std::free(block);
#else
    munmap(block, bytes == 0 ? 1 : bytes);
#endif
}

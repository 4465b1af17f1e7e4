#include "webkit/memory.h"

#include <malloc.h>

namespace webkit {

void returnLargeBlocksWhenFreed() {
    // 128 KiB is glibc's own starting value; setting it explicitly keeps it from moving.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

void keepLargeBlocksUntilReturned() {
    // The largest threshold glibc takes (half its heap size on 64-bit systems): pages up to
    // 32 MiB, far beyond what a search page is, come from the heap.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    // Setting the threshold fixes the trim threshold too; free memory stays until a burst ends.
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}

void returnFreedMemory() {
    malloc_trim(0);
}

} // namespace webkit

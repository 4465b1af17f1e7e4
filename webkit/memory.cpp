#include "webkit/memory.h"

#include <malloc.h>

namespace webkit {

void returnLargeBlocksWhenFreed() {
    // 128 KiB is glibc's own starting value; setting it explicitly keeps it from moving.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

} // namespace webkit

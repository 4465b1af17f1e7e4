#include "webkit/memory.h"

#include <malloc.h>

#include <cstdlib>
#include <string>

namespace webkit {

namespace {

// 128 KiB is glibc's own starting value; setting it explicitly keeps it from moving.
constexpr int kMapThreshold = 128 * 1024;

} // namespace

void helpersReturnLargeBlocks() {
    // glibc reads its tunables when a process starts: QtWebEngine's helpers, started later,
    // find it in the environment they inherit. A threshold the user has set stays.
    const char* set = std::getenv("GLIBC_TUNABLES");
    std::string tunables = set ? set : "";
    if (tunables.find("glibc.malloc.mmap_threshold=") != std::string::npos)
        return;
    if (!tunables.empty())
        tunables += ':';
    tunables += "glibc.malloc.mmap_threshold=" + std::to_string(kMapThreshold);
    setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
}

void returnLargeBlocksWhenFreed() {
    mallopt(M_MMAP_THRESHOLD, kMapThreshold);
    helpersReturnLargeBlocks();
}

void keepLargeBlocksUntilReturned() {
    // The largest threshold glibc takes (half its heap size on 64-bit systems): pages up to
    // 32 MiB, far beyond what a search page is, come from the heap.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    // Setting the threshold fixes the trim threshold too; free memory stays until a burst ends.
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    helpersReturnLargeBlocks();
}

void returnFreedMemory() {
    malloc_trim(0);
}

} // namespace webkit

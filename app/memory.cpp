#include "app/memory.h"

#include <malloc.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace app {

namespace {

// 128 KiB is glibc's own starting value; setting it explicitly keeps it from moving.
constexpr int kMapThreshold = 128 * 1024;

} // namespace

void withHelpersReturningLargeBlocks(const std::function<void()>& startWeb) {
    // glibc reads its tunables when a process starts: the helpers find the setting in the
    // environment they inherit. A threshold the user has set stays; whatever was there before
    // is put back afterwards, so that no other program started later inherits the setting.
    const char* set = std::getenv("GLIBC_TUNABLES");
    const std::optional<std::string> before = set ? std::optional<std::string>(set) : std::nullopt;
    std::string tunables = before.value_or("");
    if (tunables.find("glibc.malloc.mmap_threshold=") == std::string::npos) {
        if (!tunables.empty())
            tunables += ':';
        tunables += "glibc.malloc.mmap_threshold=" + std::to_string(kMapThreshold);
        setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
    }
    startWeb();
    if (before)
        setenv("GLIBC_TUNABLES", before->c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}

void returnLargeBlocksWhenFreed() {
    mallopt(M_MMAP_THRESHOLD, kMapThreshold);
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

} // namespace app

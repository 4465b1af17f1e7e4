#include "stopping.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace localweb {

namespace {

std::atomic<bool> stopping{false};
std::mutex mutex;
std::condition_variable wakeUp;

} // namespace

void beginShutdown() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wakeUp.notify_all();
}

bool shuttingDown() {
    return stopping.load();
}

bool waitUnlessStopped(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex);
    return !wakeUp.wait_for(lock, duration, [] { return stopping.load(); });
}

} // namespace localweb

#include "workers.h"

#include <chrono>
#include <thread>
#include <type_traits>

namespace localweb {

namespace {

constexpr std::chrono::seconds idleLifetime{30};

} // namespace

ElasticPool::ElasticPool(std::size_t keepWarm, std::size_t ceiling)
    : keepWarm_(keepWarm), ceiling_(ceiling) {}

ElasticPool::~ElasticPool() {
    shutdown();
}

// Whether the job was taken, as the base class's enqueue reports it: as its bool, or not at all.
template <class Result>
Result enqueueResult([[maybe_unused]] bool taken) {
    if constexpr (!std::is_void_v<Result>)
        return taken;
}

ElasticPool::EnqueueResult ElasticPool::enqueue(std::function<void()> job) {
    return enqueueResult<EnqueueResult>(take(std::move(job)));
}

bool ElasticPool::take(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    if (stopping_)
        return false;
    jobs_.push_back(std::move(job));
    if (idle_ < jobs_.size() && threads_ < ceiling_) {
        ++threads_;
        ++idle_;
        std::thread([this] { work(); }).detach();
    }
    jobReady_.notify_one();
    return true;
}

void ElasticPool::shutdown() {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    jobReady_.notify_all();
    // Queued connections are still served; the workers end once the queue is empty.
    allGone_.wait(lock, [this] { return threads_ == 0; });
}

void ElasticPool::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        const bool woken =
            jobReady_.wait_for(lock, idleLifetime, [this] { return stopping_ || !jobs_.empty(); });
        if (!jobs_.empty()) {
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            --idle_;
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
            ++idle_;
            continue;
        }
        if (stopping_ || (!woken && threads_ > keepWarm_))
            break;
    }
    --idle_;
    --threads_;
    allGone_.notify_all();
}

} // namespace localweb

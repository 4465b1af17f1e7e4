// Worker threads for the server: one per open connection, grown on demand.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

namespace localweb {

// The server keeps a connection on one worker for as long as the client keeps it alive, so
// a fixed pool runs dry as soon as browsers and benchmarks hold many connections open, and
// new connections then wait seconds for a keep-alive to time out. This pool starts a new
// thread whenever no worker is free (up to a ceiling) and lets surplus threads end after
// they have been idle for a while.
class ElasticPool : public httplib::TaskQueue {
public:
    // What TaskQueue::enqueue returns: void in cpp-httplib 0.11 (Debian 12), bool in 0.18
    // (Debian 13), where false tells the server that the job was refused. The override takes
    // the base's own type, so one source builds against both.
    using EnqueueResult =
        decltype(std::declval<httplib::TaskQueue&>().enqueue(std::function<void()>{}));
    static_assert(std::is_void_v<EnqueueResult> || std::is_same_v<EnqueueResult, bool>);

    ElasticPool(std::size_t keepWarm, std::size_t ceiling);
    ~ElasticPool() override;

    EnqueueResult enqueue(std::function<void()> job) override;
    void shutdown() override;

private:
    // Queues the job, starting a worker if none is free; false once the pool is shutting down.
    bool take(std::function<void()> job);
    void work();

    const std::size_t keepWarm_;
    const std::size_t ceiling_;
    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable allGone_;
    std::deque<std::function<void()>> jobs_;
    std::size_t threads_ = 0;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

} // namespace localweb

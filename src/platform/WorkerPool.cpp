#include "WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>

#include <sched.h>
#include <unistd.h>

namespace lumora {

namespace {

// Loop bodies running on this thread (a loop inside one runs inline).
thread_local int tLoopDepth = 0;

struct DepthGuard {
    DepthGuard() { ++tLoopDepth; }
    ~DepthGuard() { --tLoopDepth; }
};

} // namespace

unsigned ProcessorCount() {
    if (const char* forced = std::getenv("LUMORA_CPU_COUNT")) {
        char* end = nullptr;
        const long n = std::strtol(forced, &end, 10);
        if (end != forced && *end == '\0' && n > 0 && n <= 4096) return static_cast<unsigned>(n);
    }
    // The processors this process may run on: a process started on a few of
    // the machine's cores (taskset, a container's cpuset) uses those.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        return static_cast<unsigned>(CPU_COUNT(&allowed));
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1u;
}

// One running loop, on its caller's stack. The fields under the pool's mutex
// say who is inside; the index counter and the stop flag are shared without it.
struct WorkerPool::Loop {
    const Body* body = nullptr;
    size_t count = 0;
    unsigned lanes = 1;
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    // Under the mutex.
    unsigned joined = 1; // the caller is lane 0
    unsigned inside = 0; // workers still working on it
    std::exception_ptr error;
};

WorkerPool& WorkerPool::Shared() {
    // Never destroyed: a worker may still be parked when the process ends, and
    // no other static's destructor then finds the pool gone.
    static WorkerPool* const pool = new WorkerPool(ProcessorCount());
    return *pool;
}

WorkerPool::WorkerPool(unsigned lanes) : lanes_(std::max(lanes, 1u)) {}

WorkerPool::~WorkerPool() { StopThreads(); }

unsigned WorkerPool::Lanes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lanes_;
}

void WorkerPool::SetLanes(unsigned lanes) {
    std::lock_guard<std::mutex> resize(resize_);
    StopThreads();
    std::lock_guard<std::mutex> lock(mutex_);
    lanes_ = std::max(lanes, 1u);
}

unsigned WorkerPool::LanesFor(size_t count) const {
    if (tLoopDepth > 0 || count <= 1) return 1;
    return unsigned(std::min<size_t>(Lanes(), count));
}

bool WorkerPool::InLoop() { return tLoopDepth > 0; }

void WorkerPool::StartThreads(unsigned workers) {
    // Under mutex_.
    started_ = true;
    stopping_ = false;
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { WorkerMain(); });
}

void WorkerPool::StopThreads() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
        started_ = false;
    }
    wake_.notify_all();
    // A worker in a loop body finishes its index first; the loop's caller
    // takes the indices left.
    for (std::thread& t : threads) t.join();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

void WorkerPool::Fail(Loop& loop) {
    if (!loop.failed.exchange(true)) loop.error = std::current_exception();
}

void WorkerPool::Work(Loop& loop, unsigned lane) {
    DepthGuard depth;
    for (;;) {
        if (loop.failed.load(std::memory_order_relaxed)) return;
        const size_t i = loop.next.fetch_add(1, std::memory_order_relaxed);
        if (i >= loop.count) return;
        try {
            (*loop.body)(i, lane);
        } catch (...) {
            Fail(loop);
            return;
        }
    }
}

void WorkerPool::WorkerMain() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        Loop* loop = waiting_.front();
        const unsigned lane = loop->joined++;
        if (loop->joined >= loop->lanes) waiting_.pop_front();
        ++loop->inside;
        lock.unlock();
        Work(*loop, lane);
        lock.lock();
        if (--loop->inside == 0) finished_.notify_all();
    }
}

void WorkerPool::ForEach(size_t count, unsigned lanes, const Body& body, const std::function<void()>& first) {
    lanes = std::min(lanes, LanesFor(first ? count + 1 : count));
    if (lanes <= 1) {
        if (first) first();
        DepthGuard depth;
        for (size_t i = 0; i < count; ++i) body(i, 0);
        return;
    }
    Loop loop;
    loop.body = &body;
    loop.count = count;
    loop.lanes = lanes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!started_ && !stopping_) StartThreads(lanes_ - 1);
        waiting_.push_back(&loop);
    }
    if (lanes == 2)
        wake_.notify_one();
    else
        wake_.notify_all();
    if (first) {
        // The loop lives on this stack: whatever `first` does, the workers
        // are waited for before it is left. Loops `first` starts are not
        // nested in this one: the workers it leaves free take part.
        try {
            first();
        } catch (...) {
            Fail(loop);
        }
    }
    Work(loop, 0);
    {
        // Every index is taken: no worker may join any more; wait for those
        // still working.
        std::unique_lock<std::mutex> lock(mutex_);
        waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), &loop), waiting_.end());
        finished_.wait(lock, [&loop] { return loop.inside == 0; });
    }
    if (loop.error) std::rethrow_exception(loop.error);
}

} // namespace lumora

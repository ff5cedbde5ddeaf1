#pragma once
// One set of worker threads for the whole process, used inside a render call:
// the calling thread hands out the indices of a loop (strips, pieces, bands of
// rows), works on them itself alongside the workers, and returns only when
// every index is done. Callers therefore keep their contract: the pixels are
// there when the call returns, and anything that must happen on the calling
// thread (progress, cancel, delivering strips) still happens there, between
// loops.
//
// A loop started from inside a loop body (on a worker or on the caller) runs
// inline on that thread, so nested use never waits for a worker that is
// itself waiting. With one lane (LUMORA_CPU_COUNT=1) every loop runs on the
// caller alone, exactly as a plain for loop.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace lumora {

// The processors this process should use: LUMORA_CPU_COUNT when it holds a
// number from 1 to 4096, else the processors it may run on (at least 1).
unsigned ProcessorCount();

class WorkerPool {
public:
    // body(index, lane): lane is below the lane count the loop was given and
    // no two threads use the same lane at the same time, so a caller can keep
    // working memory per lane.
    using Body = std::function<void(size_t index, unsigned lane)>;

    // The process's pool, sized once from ProcessorCount(); its threads start
    // on first use.
    static WorkerPool& Shared();

    explicit WorkerPool(unsigned lanes);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Threads that take part in a loop, the caller included.
    unsigned Lanes() const;
    // Resizes the pool (tests and benchmarks compare lane counts); loops that
    // are running finish with the lanes they started with.
    void SetLanes(unsigned lanes);
    // The lanes a loop of `count` indices started on this thread would get:
    // 1 inside a loop body, else at most Lanes() and at most `count`.
    unsigned LanesFor(size_t count) const;

    // Runs body for every index of [0, count) and returns when all are done.
    // The lanes used are at most `lanes` (and LanesFor(count)). The first
    // exception a body throws is thrown here once the others have stopped;
    // indices not yet started are then skipped.
    void ForEach(size_t count, unsigned lanes, const Body& body) { ForEach(count, lanes, body, nullptr); }
    void ForEach(size_t count, const Body& body) { ForEach(count, LanesFor(count), body, nullptr); }
    // The same, with `first` run on the calling thread (as lane 0) while the
    // workers already take indices; the caller takes the indices left once it
    // returns. The caller can so hand results on in order while the workers
    // make them, or work on while a worker writes what it made before.
    // `first` must not wait for an index to be taken, as there may be no
    // worker to take it; loops it starts are not nested in this one and get
    // the workers this one leaves free.
    void ForEach(size_t count, unsigned lanes, const Body& body, const std::function<void()>& first);

    // True on a thread that is running a loop body.
    static bool InLoop();

private:
    struct Loop;
    void StartThreads(unsigned workers);
    void StopThreads();
    void WorkerMain();
    static void Work(Loop& loop, unsigned lane);
    static void Fail(Loop& loop);

    mutable std::mutex mutex_;
    std::condition_variable wake_, finished_;
    std::deque<Loop*> waiting_;
    std::vector<std::thread> threads_;
    unsigned lanes_ = 1;
    bool started_ = false, stopping_ = false;
    std::mutex resize_;
};

} // namespace lumora

#pragma once
// A worker thread that executes posted Message objects one at a time, in the
// order they were posted, until one answers non-zero or a TerminationMessage
// has run. A Thread lives on the heap and is held by counted pointers; its
// worker holds one more reference while it runs.
#include "YlmRefCount.h"
#include "YlmRefPtr.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace NimbalCore {

class Message;

class Thread : public YlmRefCount<YlmMutex> {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFF;
    static constexpr uint32_t kWaitObject0 = 0;
    static constexpr uint32_t kWaitTimeout = 258;

    explicit Thread(std::string name);
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Forgets the worker (its id and its exit wait); the worker itself runs on.
    virtual void Close();
    // Levels 1 to 4 raise the worker's priority step by step (nice -1 to -4),
    // any other level sets it back to normal. 0, or the Win32 error: 6 without
    // a worker, 5 when the system does not permit it.
    virtual int SetPriority(int level);

    // 0 once the worker runs; 2400 when one already runs or it cannot start.
    int Start();
    // 0 when the message is queued for the worker (which then owns it); 2400
    // at once, the message staying the caller's, for a null message or when
    // no worker of this thread runs to take it.
    int Post(Message* message);
    // kWaitObject0 once the worker has ended, kWaitTimeout after ms, or 2400
    // when no worker is recorded (never started, closed, or already ended).
    uint32_t WaitForExit(uint32_t ms);
    // The next posted message (the worker's side): 0, or 2400 when none came
    // within timeout milliseconds.
    int WaitForMessage(Message*& out, uint32_t timeout);

    // Ends the loop after the message being executed.
    void RequestStop() { stopRequested_.store(true); }

    uint32_t GetThreadId();
    int GetPriority();
    // The answer of the last worker that ended (0 after a TerminationMessage).
    int GetExitCode();
    const std::string& GetName() const { return name_; }

    // The calling thread's id as the system numbers threads.
    static uint32_t CurrentThreadId();

private:
    struct WorkerExit;
    static void ThreadProc(Thread* self, std::shared_ptr<WorkerExit> exit);
    int MessageLoop();
    void EndWorker(const std::shared_ptr<WorkerExit>& exit, int result);

    std::string name_;
    uint32_t threadId_ = 0;
    int priority_ = 0;
    int exitCode_ = 0;
    std::atomic<bool> stopRequested_{false};
    YlmMutex lock_;
    std::shared_ptr<WorkerExit> worker_; // null when no worker is recorded

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<Message*> queue_;
    bool accepting_ = false;
};

// The number of processors this process may run on (LUMORA_CPU_COUNT, when
// set to a positive number, stands in for them).
unsigned GetProcessorCount();

} // namespace NimbalCore

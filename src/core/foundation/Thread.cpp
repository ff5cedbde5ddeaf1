#include "Thread.h"

#include "Message.h"
#include "NbErrorCodes.h"
#include "Win32Error.h"
#include "WorkerPool.h"

#include <chrono>
#include <cstdlib>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace NimbalCore {

struct Thread::WorkerExit {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    uint32_t threadId = 0;
    bool ended = false;
};

namespace {
constexpr auto kStartTimeout = std::chrono::milliseconds(5000);
}

Thread::Thread(std::string name) : name_(std::move(name)) {}

Thread::~Thread() {
    for (Message* m : queue_) delete m;
}

uint32_t Thread::CurrentThreadId() {
    return static_cast<uint32_t>(::gettid());
}

int Thread::Start() {
    StCriticalSectionLock guard(lock_);
    if (worker_) return NbErrThreadFailed;
    auto exit = std::make_shared<WorkerExit>();
    stopRequested_.store(false);
    {
        std::lock_guard q(queueMutex_);
        accepting_ = true;
    }
    AddReference(); // the worker's own, given back when it ends
    try {
        std::thread(ThreadProc, this, exit).detach();
    } catch (const std::system_error&) {
        {
            std::lock_guard q(queueMutex_);
            accepting_ = false;
        }
        RemoveReference(); // the caller still holds its own
        return NbErrThreadFailed;
    }
    std::unique_lock wait(exit->mutex);
    if (!exit->changed.wait_for(wait, kStartTimeout, [&] { return exit->started; })) return NbErrThreadFailed;
    threadId_ = exit->threadId;
    worker_ = exit;
    return 0;
}

void Thread::ThreadProc(Thread* self, std::shared_ptr<WorkerExit> exit) {
    {
        std::lock_guard lock(exit->mutex);
        exit->threadId = CurrentThreadId();
        exit->started = true;
    }
    exit->changed.notify_all();

    int result;
    try {
        result = self->MessageLoop();
    } catch (long code) {
        result = static_cast<int>(code);
    } catch (...) {
        result = NbErrThreadFailed;
    }
    self->EndWorker(exit, result);
    {
        std::lock_guard lock(exit->mutex);
        exit->ended = true;
    }
    exit->changed.notify_all();
    // The reference Start took for the worker; the last one deletes the
    // thread object, so nothing of it is touched afterwards.
    if (self->RemoveReference()) delete self;
}

int Thread::MessageLoop() {
    int result = 0;
    for (;;) {
        Message* next = nullptr;
        WaitForMessage(next, kInfinite);
        std::unique_ptr<Message> message(next);
        result = message->Execute();
        message.reset();
        if (result != 0 || stopRequested_.load()) break;
    }
    return result;
}

void Thread::EndWorker(const std::shared_ptr<WorkerExit>& exit, int result) {
    std::deque<Message*> leftover;
    {
        std::lock_guard q(queueMutex_);
        accepting_ = false;
        leftover.swap(queue_);
    }
    // Messages that came after the last one ran were handed over; they are
    // the worker's to delete.
    for (Message* m : leftover) delete m;
    StCriticalSectionLock guard(lock_);
    exitCode_ = result;
    if (worker_ == exit) {
        worker_.reset();
        threadId_ = 0;
    }
}

int Thread::WaitForMessage(Message*& out, uint32_t timeout) {
    out = nullptr;
    std::unique_lock q(queueMutex_);
    auto ready = [this] { return !queue_.empty(); };
    if (timeout == kInfinite) queueChanged_.wait(q, ready);
    else if (!queueChanged_.wait_for(q, std::chrono::milliseconds(timeout), ready)) return NbErrThreadFailed;
    out = queue_.front();
    queue_.pop_front();
    return 0;
}

int Thread::Post(Message* message) {
    if (!message) return NbErrThreadFailed;
    StCriticalSectionLock guard(lock_);
    const uint32_t target = message->targetThreadId ? message->targetThreadId : threadId_;
    if (!worker_ || threadId_ == 0 || target != threadId_) return NbErrThreadFailed;
    {
        std::lock_guard q(queueMutex_);
        if (!accepting_) return NbErrThreadFailed;
        queue_.push_back(message);
    }
    queueChanged_.notify_one();
    return 0;
}

uint32_t Thread::WaitForExit(uint32_t ms) {
    std::shared_ptr<WorkerExit> exit;
    {
        StCriticalSectionLock guard(lock_);
        exit = worker_;
    }
    if (!exit) return NbErrThreadFailed;
    std::unique_lock wait(exit->mutex);
    auto ended = [&] { return exit->ended; };
    if (ms == kInfinite) exit->changed.wait(wait, ended);
    else if (!exit->changed.wait_for(wait, std::chrono::milliseconds(ms), ended)) return kWaitTimeout;
    return kWaitObject0;
}

void Thread::Close() {
    StCriticalSectionLock guard(lock_);
    worker_.reset();
    threadId_ = 0;
}

int Thread::SetPriority(int level) {
    StCriticalSectionLock guard(lock_);
    if (threadId_ == 0) return static_cast<int>(lumora::win32::ERROR_INVALID_HANDLE);
    const int nice = (level >= 1 && level <= 4) ? -level : 0;
    // On Linux a thread id names the thread itself here.
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(threadId_), nice) != 0)
        return static_cast<int>(lumora::win32::lastError());
    priority_ = level;
    return 0;
}

uint32_t Thread::GetThreadId() {
    StCriticalSectionLock guard(lock_);
    return threadId_;
}

int Thread::GetPriority() {
    StCriticalSectionLock guard(lock_);
    return priority_;
}

int Thread::GetExitCode() {
    StCriticalSectionLock guard(lock_);
    return exitCode_;
}

unsigned GetProcessorCount() { return lumora::ProcessorCount(); }

} // namespace NimbalCore

#include "FolderWatcher.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The lowest priority for the calling thread only (Linux keeps a nice value
// per thread).
void LowerThisThreadsPriority() {
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, thread, 19);
}

} // namespace

FolderWatcher::~FolderWatcher() {
    if (!thread_.joinable()) return;
    // The last counted reference may go on the watcher itself.
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
        return;
    }
    Stop(std::chrono::milliseconds(0));
}

bool FolderWatcher::Start(Jobs jobs, std::chrono::milliseconds period) {
    if (state_) return false;
    auto state = std::make_shared<State>();
    try {
        thread_ = std::thread(&FolderWatcher::Run, state, std::move(jobs), period);
    } catch (const std::system_error&) {
        return false;
    }
    state_ = std::move(state);
    return true;
}

bool FolderWatcher::Stop(std::chrono::milliseconds wait) {
    if (!state_) return true;
    bool ended = false;
    {
        std::unique_lock<std::mutex> guard(state_->lock);
        state_->stop = true;
        state_->changed.notify_all();
        ended = state_->changed.wait_for(guard, wait, [this] { return state_->ended; });
    }
    if (thread_.joinable()) {
        if (ended)
            thread_.join();
        else
            thread_.detach();
    }
    return ended;
}

void FolderWatcher::Run(std::shared_ptr<State> state, Jobs jobs, std::chrono::milliseconds period) {
    LowerThisThreadsPriority();
    if (!jobs.threadStart || jobs.threadStart()) {
        try {
            jobs.firstScan();
            std::unique_lock<std::mutex> guard(state->lock);
            while (!state->changed.wait_for(guard, period, [&state] { return state->stop; })) {
                guard.unlock();
                jobs.rescan();
                guard.lock();
            }
        } catch (const YlmErrp& error) {
            if (jobs.failed) jobs.failed(error);
        } catch (...) {
            // Any other failure of a scan ends the watcher quietly.
        }
        if (jobs.threadEnd) jobs.threadEnd();
    }
    // What the jobs hold goes before the answer: whoever waits for it may
    // free what they pointed at.
    jobs = Jobs();
    std::lock_guard<std::mutex> guard(state->lock);
    state->ended = true;
    state->changed.notify_all();
}

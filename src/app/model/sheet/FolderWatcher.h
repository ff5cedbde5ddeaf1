#pragma once
// The worker thread that follows a contact sheet's folder: a first scan,
// then a rescan every period until it is told to stop. It runs at the lowest
// priority. Its jobs hold counted references to what they work on, so a
// watcher that does not answer a stop in time is let go (detached) and ends
// on its own later, touching nothing that was freed; nothing is killed.
#include "YlmErrp.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class FolderWatcher {
public:
    struct Jobs {
        // Run first and last on the watcher's thread; a start that answers
        // false ends the watcher before any scan.
        std::function<bool()> threadStart;
        std::function<void()> threadEnd;
        std::function<void()> firstScan;
        std::function<void()> rescan;
        // A scan threw: the watcher ends after this.
        std::function<void(const YlmErrp&)> failed;
    };

    FolderWatcher() = default;
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // False when the thread cannot be started.
    bool Start(Jobs jobs, std::chrono::milliseconds period);
    // Tells the watcher to stop and waits up to wait for it to answer. True
    // when it answered or had ended already (at once); false when it was let
    // go still running.
    bool Stop(std::chrono::milliseconds wait);
    bool IsStarted() const { return state_ != nullptr; }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        bool stop = false;
        bool ended = false;
    };
    static void Run(std::shared_ptr<State> state, Jobs jobs, std::chrono::milliseconds period);

    std::shared_ptr<State> state_;
    std::thread thread_;
};

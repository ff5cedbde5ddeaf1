#pragma once
// The camera interface keeps one table of open images, which every call
// reads and which opening and closing a file change, and it locks nothing
// itself. Calls for the images (each under its image's lock) read the table
// together; opening and closing change it alone, once the calls under way
// have finished.
#include <shared_mutex>

namespace NimbalCore {

class ZynImageLocks {
public:
    // Around a stretch of calls for one image; stretches nest on a thread.
    static void EnterCalls();
    static void LeaveCalls();

    // Held while a file is opened or closed. On a thread inside a stretch of
    // calls it waits for nothing (it cannot wait for itself).
    class TableChange {
    public:
        TableChange();
        ~TableChange();
        TableChange(const TableChange&) = delete;
        TableChange& operator=(const TableChange&) = delete;

    private:
        bool held_ = false;
    };

private:
    static std::shared_mutex& Table();
};

} // namespace NimbalCore

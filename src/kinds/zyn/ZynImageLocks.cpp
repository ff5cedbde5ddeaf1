#include "ZynImageLocks.h"

namespace NimbalCore {

namespace {

// How deep this thread is in stretches of calls: only the outermost one
// takes the table (a reader that took it twice could wait behind a writer
// that waits for its first hold).
thread_local int tCallDepth = 0;

} // namespace

std::shared_mutex& ZynImageLocks::Table() {
    static std::shared_mutex table;
    return table;
}

void ZynImageLocks::EnterCalls() {
    if (tCallDepth++ == 0) Table().lock_shared();
}

void ZynImageLocks::LeaveCalls() {
    if (--tCallDepth == 0) Table().unlock_shared();
}

ZynImageLocks::TableChange::TableChange() {
    if (tCallDepth > 0) return;
    Table().lock();
    held_ = true;
}

ZynImageLocks::TableChange::~TableChange() {
    if (held_) Table().unlock();
}

} // namespace NimbalCore

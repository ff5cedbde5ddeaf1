#include "CmsLibrary.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace orvexcms {

namespace {
// LittleCMS reports through a handler; its messages add nothing to the status
// codes the calls answer, so they are dropped rather than printed.
void quietLog(cmsContext, cmsUInt32Number, const char*) {}

uint64_t threadId() { return uint64_t(syscall(SYS_gettid)); }
} // namespace

CmsLibrary& CmsLibrary::instance() {
    static CmsLibrary* library = new CmsLibrary;
    return *library;
}

CmsLibrary::CmsLibrary() : context_(cmsCreateContext(nullptr, nullptr)) {
    cmsSetLogErrorHandlerTHR(context_, quietLog);
}

SpInstance CmsLibrary::openInstance() {
    std::lock_guard lock(mutex_);
    do {
        ++nextInstance_;
    } while (nextInstance_ == 0 || instances_.count(nextInstance_));
    instances_.emplace(nextInstance_, Instance{});
    return nextInstance_;
}

bool CmsLibrary::closeInstance(SpInstance handle) {
    std::lock_guard lock(mutex_);
    return instances_.erase(handle) == 1;
}

bool CmsLibrary::isInstance(SpInstance handle) const {
    std::lock_guard lock(mutex_);
    return instances_.count(handle) == 1;
}

bool CmsLibrary::attachThread(SpInstance handle) {
    std::lock_guard lock(mutex_);
    auto it = instances_.find(handle);
    if (it == instances_.end()) return false;
    ++it->second.threads[threadId()];
    return true;
}

bool CmsLibrary::detachThread(SpInstance handle) {
    std::lock_guard lock(mutex_);
    auto it = instances_.find(handle);
    if (it == instances_.end()) return false;
    auto t = it->second.threads.find(threadId());
    if (t == it->second.threads.end()) return false;
    if (--t->second == 0) it->second.threads.erase(t);
    return true;
}

} // namespace orvexcms

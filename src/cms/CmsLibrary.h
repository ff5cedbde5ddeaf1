#pragma once
// The process's one colour-management state: open instances, the threads
// attached to them, the LittleCMS context and the tables of loaded profiles
// and transforms. Never destroyed, so that nothing a late caller holds goes
// away under it at exit.
#include "HandleTable.h"
#include "IccProfile.h"
#include "ORVEXCMS.h"

#include <lcms2.h>

#include <map>
#include <mutex>

namespace orvexcms {

class SpTransform;

class CmsLibrary {
public:
    static CmsLibrary& instance();

    cmsContext context() const { return context_; }

    SpInstance openInstance();
    bool closeInstance(SpInstance handle);
    bool isInstance(SpInstance handle) const;
    bool attachThread(SpInstance handle);
    bool detachThread(SpInstance handle);

    HandleTable<const IccProfile> profiles;
    HandleTable<SpTransform> transforms;

private:
    CmsLibrary();
    struct Instance {
        std::map<uint64_t, uint32_t> threads; // thread id -> attach count
    };
    cmsContext context_;
    mutable std::mutex mutex_;
    std::map<SpInstance, Instance> instances_;
    SpInstance nextInstance_ = 0;
};

} // namespace orvexcms

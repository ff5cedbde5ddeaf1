#pragma once
// What every one of our filter plug-ins does the same way: lock the handle and
// its instance record for a call, describe itself, and share one Kestra caller
// among all loads in the process. Each plug-in module compiles its own copy,
// so the caller and the load count belong to that module.
#include "Kestra.h"
#include "ORVEXCMS.h"
#include "VxFilt.h"

// The plug-in handle and its instance record, locked for one call.
template <typename Instance>
class TalpLocked {
public:
    explicit TalpLocked(VxFiltPlugIn h, bool withInstance = true) : handle_(h) {
        record_ = static_cast<VxFiltHandle*>(lockBuffer(h));
        if (record_ && withInstance && record_->instance) {
            instanceHandle_ = record_->instance;
            instance_ = static_cast<Instance*>(lockBuffer(instanceHandle_));
        }
    }
    ~TalpLocked() {
        if (instance_) unlockBuffer(instanceHandle_);
        if (record_) unlockBuffer(handle_);
    }
    TalpLocked(const TalpLocked&) = delete;
    TalpLocked& operator=(const TalpLocked&) = delete;
    VxFiltHandle* record() const { return record_; }
    Instance* instance() const { return instance_; }
    bool ok() const { return record_ && instance_; }

private:
    VxFiltPlugIn handle_;
    VxFiltHandle* record_ = nullptr;
    VxBufferHandle instanceHandle_ = 0;
    Instance* instance_ = nullptr;
};

// The information record from the module's name string and product version.
VxFiltStatus TalpFillInfo(void* module, VxFiltInfo* info);

// Joins a new load to the process's Kestra caller: the first load opens it,
// later loads of the same process add a thread, loads of another process are
// refused (VxFiltErrOtherProcess). Only a load that took hold is counted, so a
// failed one leaves no caller behind for the next to join.
PSFStatus TalpJoinCaller(PSFCaller* caller, bool* first);

// The load leaves the caller again: the last one closes it.
PSFStatus TalpLeaveCaller(PSFCaller caller);

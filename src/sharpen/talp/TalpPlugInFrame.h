#pragma once
// What every one of our filter plug-ins does the same way: lock the handle and
// its instance record for a call, describe itself, and share one Kestra caller
// among all loads in the process. Each plug-in module compiles its own copy,
// so the caller and the load count belong to that module.
#include "Kestra.h"
#include "ORVEXCMS.h"
#include "TalpStatus.h"
#include "VxFilt.h"

#include <cstring>

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

// A new load: describes the plug-in, makes its cleared instance record and
// joins it to the process's caller. `joined(instance, first)` fills in what
// the plug-in keeps beyond the caller while the record is still locked; the
// record is dropped again when the join failed.
template <typename Instance, typename Joined>
VxFiltStatus TalpBeginLoad(VxFiltPlugIn plugIn, VxFiltInfo* info, Joined joined) {
    TalpLocked<Instance> locked(plugIn, false);
    VxFiltHandle* record = locked.record();
    if (!record) return VxFiltErrLock;
    if (!info) return VxFiltErrBadArgument;

    const VxFiltStatus described = TalpFillInfo(record->plugInModule, info);
    if (described != VxFiltSuccess) return described;

    const VxBufferHandle h = allocBufferHandle(sizeof(Instance));
    auto* in = h ? static_cast<Instance*>(lockBuffer(h)) : nullptr;
    if (!in) {
        if (h) freeBuffer(h);
        return VxFiltErrNoMemory;
    }
    std::memset(in, 0, sizeof *in);
    bool first = false;
    const PSFStatus s = TalpJoinCaller(&in->caller, &first);
    joined(*in, first);
    unlockBuffer(h);
    if (s != PSFSuccess) {
        freeBuffer(h);
        return s == VxFiltErrOtherProcess ? VxFiltStatus(VxFiltErrOtherProcess) : TalpMapStatus(s);
    }
    record->instance = h;
    return VxFiltSuccess;
}

// The load ends: its prepared filter is freed, it leaves the caller, and its
// instance record goes once the handle is unlocked.
template <typename Instance>
VxFiltStatus TalpEndLoad(VxFiltPlugIn plugIn) {
    VxBufferHandle instanceHandle = 0;
    PSFStatus s = PSFSuccess;
    {
        TalpLocked<Instance> locked(plugIn);
        if (!locked.ok()) return VxFiltErrLock;
        Instance* in = locked.instance();
        if (in->prepared) {
            PSFFreeFilter(in->prepared);
            in->prepared = 0;
        }
        s = TalpLeaveCaller(in->caller);
        instanceHandle = locked.record()->instance;
        locked.record()->instance = 0;
    }
    freeBuffer(instanceHandle);
    return TalpMapStatus(s);
}

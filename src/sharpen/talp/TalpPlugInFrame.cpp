#include "TalpPlugInFrame.h"

#include "TalpStatus.h"

#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace {

// Shared by every load in the process. Loads and unloads must not overlap.
int32_t gLoadCount = 0;
int32_t gFirstProcess = 0;
PSFCaller gSharedCaller = 0;

constexpr int32_t kNameId = 2001;
constexpr int32_t kVersionSize = 12;

} // namespace

VxFiltStatus TalpFillInfo(void* module, VxFiltInfo* info) {
    char name[256] = {}, version[kVersionSize] = {};
    int32_t code = VxGetCString(module, kNameId, 1, name, 255);
    if (code == 0) code = VxGetProductVersion(module, version, kVersionSize);
    if (code != 0) return TalpMapCommonStatus(code);
    std::memset(info, 0, offsetof(VxFiltInfo, unused));
    std::memcpy(info->name, name, sizeof name);
    std::memcpy(info->version, version, sizeof version);
    info->value1 = 1;
    info->value2 = 1;
    info->value3 = 0;
    return VxFiltSuccess;
}

PSFStatus TalpJoinCaller(PSFCaller* caller, bool* first) {
    PSFStatus s;
    const int32_t process = int32_t(getpid());
    *first = gLoadCount == 0;
    if (*first) {
        s = PSFInitialize(caller);
        if (s == PSFSuccess) {
            gFirstProcess = process;
            gSharedCaller = *caller;
        }
    } else if (process != gFirstProcess) {
        s = VxFiltErrOtherProcess;
    } else {
        *caller = gSharedCaller;
        s = PSFInitThread(*caller);
    }
    if (s == PSFSuccess) ++gLoadCount;
    return s;
}

PSFStatus TalpLeaveCaller(PSFCaller caller) {
    PSFStatus s;
    if (gLoadCount == 1) {
        s = PSFTerminate(caller);
        gSharedCaller = 0;
    } else {
        s = PSFTermThread(caller);
    }
    if (gLoadCount > 0) --gLoadCount;
    return s;
}

#include "VrelSharpenProcs.h"

namespace NimbalCore {

VrelSharpenProcs VrelSharpenProcs::table;
void* VrelSharpenProcs::library = nullptr;
VrelSharpenProcs::LoadProc VrelSharpenProcs::loader = nullptr;
VrelSharpenProcs::LoadProc VrelSharpenProcs::unloader = nullptr;

void VrelSharpenProcs::SetBinding(LoadProc load, LoadProc unload) {
    loader = load;
    unloader = unload;
}

} // namespace NimbalCore

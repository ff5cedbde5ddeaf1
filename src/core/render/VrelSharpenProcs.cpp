#include "VrelSharpenProcs.h"

namespace NimbalCore {

VrelSharpenProcs VrelSharpenProcs::table{};
SharpenLibrary* VrelSharpenProcs::library = nullptr;
VrelSharpenProcs::BindProc VrelSharpenProcs::binder = nullptr;
VrelSharpenProcs::UnbindProc VrelSharpenProcs::unbinder = nullptr;

void VrelSharpenProcs::SetBinding(BindProc bind, UnbindProc unbind) {
    binder = bind;
    unbinder = unbind;
}

} // namespace NimbalCore

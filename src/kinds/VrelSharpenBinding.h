#pragma once
// Binds the sharpen library of a name into a table and frees it again. The
// image pool uses these through the table's binding hook.
#include "VrelSharpenProcs.h"

#include <cstdint>

namespace NimbalCore {

enum : int32_t {
    VrelBindMissingArgument = 105,
    VrelBindNotLoadable = 701
};

// 0; 105 without a name or table; 701 when the library does not load (the
// table stays clear); else the system error of the first export that does not
// resolve, with the module and the entries found before it kept.
int32_t LoadVrelSharpenLib(const char* name, VrelSharpenProcs* procs);
// Frees the library and clears the table: 0, 105 without a table, or the
// system error of freeing.
int32_t UnloadVrelSharpenLib(VrelSharpenProcs* procs);

} // namespace NimbalCore

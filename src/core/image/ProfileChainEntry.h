#pragma once
// One profile of a chain the colour engine combines into one transform.
#include "ColorSpaceDesc.h"
#include "YlmRefPtr.h"

#include <string>

namespace NimbalCore {

struct ProfileChainEntry {
    std::string description;
    int kind = 1; // 1 where the chain starts, 2 where it ends
    YlmRefPtr<ColorSpaceDesc> profile; // null: found by its description
};

} // namespace NimbalCore

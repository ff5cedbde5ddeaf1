#include "DriverState.h"

#include "FireWireStartup.h"

#include <algorithm>
#include <limits>

namespace lumora::vq {

void DriverState::ChangeMemory(int64_t delta) {
    const int64_t result = int64_t(memoryUsage) + delta;
    memoryUsage = int32_t(std::clamp<int64_t>(result, 0, std::numeric_limits<int32_t>::max()));
}

DriverState& Driver() {
    static DriverState state{.startFireWire = StartFireWireManager};
    return state;
}

} // namespace lumora::vq

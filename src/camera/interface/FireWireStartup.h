#pragma once
// Bringing the FireWire camera manager up and down with the interface.
#include <cstdint>

namespace lumora::vq {

struct DriverState;

// Creates and initialises the manager for an opening interface. Answers 0 with
// state.fireWireManager set, or a status with it left null.
uint32_t StartFireWireManager(DriverState& state);

// Closes and destroys the manager, if there is one.
void StopFireWireManager(DriverState& state);

} // namespace lumora::vq

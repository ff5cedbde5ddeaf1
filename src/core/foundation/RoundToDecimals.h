#pragma once
// Rounds half up (for both signs) to a number of decimals: exposure and tone
// values are kept to a fixed number of decimals with it.

namespace NimbalCore {

float RoundToDecimals(float value, unsigned decimals);

} // namespace NimbalCore

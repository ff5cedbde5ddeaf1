#pragma once
// The working space's output mode (item 31): 0 linear, 1 rendered into the
// working space, -1 unknown. An installation that only has the older "TIFF
// Output Mode" (item 26) is migrated into items 31 and 32 the first time.
void GetWorkingSpaceOutputMode(int& mode);

#include "WorkingSpaceOutputMode.h"

#include "ColorEngine.h"
#include "ProfileItemManager.h"
#include "StaticProfileTable.h"

void GetWorkingSpaceOutputMode(int& mode) {
    ProfileItemManager pm;
    int old = -1;
    pm.GetInt(PI_TIFF_OUTPUT_MODE, old);
    pm.GetInt(PI_WORKING_SPACE_OUTPUT_MODE, mode);
    if (mode != -1) return;
    switch (old) {
    case -1:
    case 0:
        pm.SetString(PI_WORKING_SPACE_NAME, ProfileItemManager::kDefaultWorkingSpace);
        mode = 1;
        break;
    case 1: {
        // The older setting meant the ProPhoto space: store the description
        // its profile is registered under, so later reads find it. Without
        // that profile the name stays as it is.
        NimbalCore::ColorEngine::Instance(0, 1);
        const std::string proPhoto =
            NimbalCore::StaticProfileTable::Description(NimbalCore::StaticProfileTable::kProPhotoRGB);
        if (!proPhoto.empty()) pm.SetString(PI_WORKING_SPACE_NAME, proPhoto);
        mode = 1;
        break;
    }
    case 2: mode = 0; break;
    default: mode = -1; break;
    }
    pm.SetInt(PI_WORKING_SPACE_OUTPUT_MODE, mode);
}

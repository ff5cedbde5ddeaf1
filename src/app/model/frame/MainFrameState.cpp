#include "MainFrameState.h"

#include "ProfileItem.h"
#include "ProfileItemManager.h"

bool MainFrameState::IsTool(int command) {
    switch (command) {
    case kToolClickBalance:
    case kToolSelect:
    case kToolCrop:
    case kToolScrollingHand:
    case kToolCloseUp: return true;
    default: return false;
    }
}

int MainFrameState::NormalizedTool() {
    if (!IsTool(currentTool)) currentTool = kToolSelect;
    return currentTool;
}

void MainFrameState::LoadSettings() {
    ProfileItemManager items;
    items.GetInt(PI_THUMBNAIL_SORT_ORDER, sortOrder);
    items.GetInt(PI_THUMBNAIL_VIEW_SIZE, thumbnailSize);
    items.GetInt(PI_THUMBNAIL_INFO_STATE, slideInfoState);
    crop.LoadSettings();
    int storedQuality = 1;
    items.GetInt(PI_IMAGE_QUALITY_OPTION, storedQuality);
    quality = storedQuality == 1 ? 1 : 0;
    items.GetInt(PI_ALLOW_DOCKING, dockingAllowed);
}

void MainFrameState::SaveSettings() const {
    ProfileItemManager items;
    items.SetInt(PI_THUMBNAIL_SORT_ORDER, sortOrder);
    items.SetInt(PI_THUMBNAIL_VIEW_SIZE, thumbnailSize);
    items.SetInt(PI_THUMBNAIL_INFO_STATE, slideInfoState);
    crop.SaveSettings();
}

void MainFrameState::SetQuality(int value) {
    if (quality == value) return;
    quality = value;
    ProfileItemManager().SetInt(PI_IMAGE_QUALITY_OPTION, value);
}

bool MainFrameState::ApplyDockingSetting(int requested) {
    if (requested == dockingAllowed) return false;
    ProfileItemManager().GetInt(PI_ALLOW_DOCKING, dockingAllowed);
    return true;
}

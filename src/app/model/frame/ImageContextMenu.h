#pragma once
// Preparation of the image context menus (resources 194 and 195) before a
// view shows them: states of the items by the focused image's capabilities,
// its current parameters and the main frame's state, and the Look submenu
// rebuilt from the image's looks (ids 45000, 45001, ..., translated names).
#include "ImageRendering.h"
#include "MainFrameState.h"
#include "MenuSeam.h"

constexpr int kFirstLookCommand = 45000;

// Nothing happens without a menu, a rendering or an image. May reset
// frame.currentTool to Select.
void PrepareImageContextMenu(MenuSeam* menu, NimbalCore::ImageRendering* focused, MainFrameState& frame);

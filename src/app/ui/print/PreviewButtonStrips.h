#pragma once
// The print preview toolbar's pictures: one strip per button face, four
// pictures wide (normal, pressed, focused, disabled), drawn in the standard
// button colours so that the buttons map them to the system's.
#include <wx/image.h>

inline constexpr int kPreviewPictureWidth = 24;
inline constexpr int kPreviewPictureHeight = 22;

// The strip of one of the preview's bitmap ids; an empty image for another id.
wxImage MakePreviewButtonStrip(int bitmapId);
// Registers every strip with CMappedBitmapButton (once).
void RegisterPreviewButtonStrips();

#pragma once
// The main frame's three image bars (Image Controls, Image Info, Output
// Histogram) showing one rendering, or emptied: what the contact sheet's
// focused slide and the active preview both ask of them.
namespace NimbalCore {
class ImageRendering;
}
class CMainFrame;

// A null rendering, or one without an image, empties the bars.
void RefreshImageBars(CMainFrame* frame, NimbalCore::ImageRendering* rendering);

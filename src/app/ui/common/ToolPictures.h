#pragma once
// The pictures of the program's toolbars and of its tool cursors, our own
// vector drawings built into the program and drawn at any whole scale, so
// that screens of 1x and 2x get sharp pictures.
//
// Toolbar pictures are known by the bitmap id of their toolbar and the image
// index within it, as the button tables give them: 128 the main toolbar,
// 146 the tools bar, 164 the sound bar, 253 the automatic exposure bar and
// 254 the automatic-settings bar.
#include <wx/bmpbndl.h>
#include <wx/cursor.h>
#include <wx/image.h>

// The main toolbar's bitmap and its three pictures.
inline constexpr int kMainToolBarBitmap = 128;
inline constexpr int kMainToolOpen = 0;
inline constexpr int kMainToolPreferences = 1;
inline constexpr int kMainToolAbout = 2;

// The tool cursors by resource id.
enum ToolCursorId {
    kCursorClickBalance = 148,
    kCursorHand = 191,
    kCursorHandGrab = 192,
    // Fixed-ratio crop: corners top-right/bottom-left, top/bottom edges,
    // corners top-left/bottom-right, left/right edges, a new rectangle.
    kCursorCropFixedNeSw = 221,
    kCursorCropFixedNs = 222,
    kCursorCropFixedNwSe = 223,
    kCursorCropFixedWe = 224,
    kCursorCropFixedNew = 225,
    kCursorCloseUp = 226,
    // The same for the mode that keeps the current rectangle's aspect.
    kCursorCropKeepWe = 227,
    kCursorCropKeepNwSe = 228,
    kCursorCropKeepNs = 229,
    kCursorCropKeepNeSw = 230,
    kCursorCropKeepNew = 231,
};

// The size of one picture of the toolbar bitmap at 1x; (0, 0) for an
// unknown bitmap.
wxSize ToolPictureSize(int bitmapId);
// One picture at the whole scale (1, 2, ...), transparent around the drawing;
// an empty image for an unknown bitmap or image index.
wxImage DrawToolPicture(int bitmapId, int image, int scale);
// The picture at 1x and 2x; an empty bundle when there is none.
wxBitmapBundle ToolPictureBundle(int bitmapId, int image);

// Cursors are 32 x 32 at 1x.
inline constexpr int kToolCursorSize = 32;
// The cursor's picture at the whole scale, with its hot spot set as the
// image's cursor hot-spot options; an empty image for an unknown id.
wxImage DrawToolCursor(int cursorId, int scale);
// The cursor for a window at its content scale factor; wxNullCursor for an
// unknown id.
wxCursor LoadToolCursor(int cursorId, double contentScale = 1.0);

#pragma once
// The sizes of a resizable dialog bar (a bar hosting a modeless dialog that
// docks at any edge, floats, and is resized by dragging its edge): the sizes
// it answers for the frame's layout, its non-client parts by dock side, and
// the arithmetic of an edge drag with its limits. Window rectangles here
// have right and bottom just outside.
#include "IntPoint.h"
#include "IntRect.h"

struct BarSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const BarSize&) const = default;
};

class ResizableBarGeometry {
public:
    // The frame's dock bars.
    enum DockBar : int { kDockTop = 59419, kDockLeft = 59420, kDockRight = 59421, kDockBottom = 59422 };
    // Layout mode flags of the dynamic layout.
    enum LayoutMode : int {
        kStretch = 1, kHorz = 2, kMruWidth = 4, kHorzDock = 8, kVertDock = 16, kLengthY = 32, kCommit = 64,
    };
    // Corners a floating frame is sized from.
    enum Corner : int { kNoCorner = 0, kTopLeft = 13, kTopRight = 14, kBottomLeft = 16, kBottomRight = 17 };

    BarSize minSize{32, 32};
    BarSize sizeHorz{200, 200};
    BarSize sizeVert{200, 200};
    BarSize sizeFloat{200, 200};
    int dockBarId = 0;  // any other value than the four: floating or undocked
    int edgeWidth = 6;
    int gripperWidth = 20;
    int borderWidth = 3;
    int floatFrameAdjust = 3;
    int minTrackWidth = 112;
    int minTrackHeight = 27;
    int smallCaptionHeight = 17;

    bool IsDocked() const;
    bool IsHorizontal() const { return dockBarId == kDockTop || dockBarId == kDockBottom; }

    // The hosted dialog measured w x h: floating w x h, docked at the top or
    // bottom w x (h + edge + border), at the left or right (w + 9) x h.
    void SetDialogSize(int width, int height);

    // The fixed layout: floating sizeFloat; horizontal (full width,
    // sizeHorz.cy); vertical (sizeVert.cx, full height). The full extents
    // are 32767 when stretching, else the top dock bar's width + 4 and the
    // left dock bar's height + 4.
    BarSize CalcFixedLayout(bool stretch, bool horizontal, bool floating, int topDockWidth,
                            int leftDockHeight) const;

    // The dynamic layout's cases other than docking (kHorzDock/kVertDock:
    // the caller answers CalcFixedLayout). corner and cursor and frame
    // describe a floating frame sized from a corner; dragRect, when given,
    // receives the floating drag rectangle's corrected top or left.
    BarSize CalcDynamicLayout(int length, int mode, bool floating, int corner = kNoCorner, IntPoint cursor = {},
                              IntRect frame = {}, IntRect* dragRect = nullptr);

    // The non-client layout of a window of the given size: the client
    // rectangle (in window coordinates), the resize edge strip (empty when
    // not docked) and the border flag cleared (0x800 top, 0x200 bottom,
    // 0x400 left, 0x100 right, 0 otherwise).
    struct NonClient {
        IntRect client;
        IntRect border;
        int clearedBorderFlag = 0;
    };
    NonClient CalcNonClient(int width, int height) const;

    // The gripper and its two buttons while docked, in window coordinates.
    struct Gripper {
        IntRect gripper;
        IntRect close;
        IntRect undock;
    };
    Gripper CalcGripper(int width, int height) const;

    // Edge drag: starts on the edge strip (the tracker is the strip, 4
    // shorter at the bottom when docked left or right), follows the mouse
    // along the bar's axis, and at the end changes sizeHorz.cy or sizeVert.cx
    // by the distance moved toward the frame's centre, limited to the
    // current extent plus the frame's room, and not below minSize.
    void BeginEdgeDrag(const IntRect& border);
    bool IsTracking() const { return tracking_; }
    const IntRect& Tracker() const { return tracker_; }
    // A mouse position in the bar's client coordinates; true when the
    // tracker moved (the caller redraws it).
    bool MoveEdgeDrag(IntPoint clientPoint);
    // frameRoom: the frame window's height (top or bottom) or width (left or
    // right). Answers the new extent.
    int EndEdgeDrag(int frameRoom);
    void CancelEdgeDrag();
    // A docked edge the frame's layout has moved (a sash dragged there): the
    // same drag from the current extent to newExtent, with the same limits.
    // Answers the extent the bar keeps; floating, newExtent as it is.
    int DragEdgeTo(int newExtent, int frameRoom);

private:
    bool tracking_ = false;
    IntPoint ptOld_;
    IntRect tracker_;
};

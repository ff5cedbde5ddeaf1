#include "ResizableBarGeometry.h"

#include <algorithm>

namespace {

// The frame's dock bar rectangles are measured without their outer border.
constexpr int kDockBarBorder = 4;
constexpr int kStretchedExtent = 32767;
// The tracker of a bar docked left or right stops short of the status bar.
constexpr int kVerticalTrackerInset = 4;
// Offsets of the gripper's buttons.
constexpr int kButtonStep = 13;

IntPoint CentreOf(const IntRect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

} // namespace

bool ResizableBarGeometry::IsDocked() const {
    return dockBarId == kDockTop || dockBarId == kDockLeft || dockBarId == kDockRight || dockBarId == kDockBottom;
}

void ResizableBarGeometry::SetDialogSize(int width, int height) {
    sizeFloat = {width, height};
    sizeHorz = {width, height + edgeWidth + borderWidth};
    sizeVert = {width + edgeWidth + borderWidth, height};
}

BarSize ResizableBarGeometry::CalcFixedLayout(bool stretch, bool horizontal, bool floating, int topDockWidth,
                                              int leftDockHeight) const {
    const int fullWidth = stretch ? kStretchedExtent : topDockWidth + kDockBarBorder;
    const int fullHeight = stretch ? kStretchedExtent : leftDockHeight + kDockBarBorder;
    if (floating) return sizeFloat;
    if (horizontal) return {fullWidth, sizeHorz.cy};
    return {sizeVert.cx, fullHeight};
}

BarSize ResizableBarGeometry::CalcDynamicLayout(int length, int mode, bool floating, int corner, IntPoint cursor,
                                                IntRect frame, IntRect* dragRect) {
    if (mode & (kHorzDock | kVertDock)) return {};
    if (mode & kMruWidth) return sizeFloat;
    if (mode & kCommit) {
        sizeFloat.cx = length;
        return sizeFloat;
    }
    const bool fromCorner = corner == kTopLeft || corner == kTopRight || corner == kBottomLeft || corner == kBottomRight;
    if (floating && fromCorner) {
        const bool left = corner == kTopLeft || corner == kBottomLeft;
        const bool top = corner == kTopLeft || corner == kTopRight;
        // The floating frame's caption and its thick frame are not the bar's.
        sizeFloat.cx = left ? std::max(frame.right - cursor.x, minTrackWidth) - 3
                            : std::max(cursor.x - frame.left, minTrackWidth);
        sizeFloat.cy = top ? std::max(frame.bottom - smallCaptionHeight - cursor.y, minTrackHeight) - 1
                           : std::max(cursor.y - smallCaptionHeight - frame.top, minTrackHeight);
        if (dragRect) {
            if (top)
                dragRect->top = std::min(cursor.y, frame.bottom - smallCaptionHeight - minTrackHeight) - floatFrameAdjust;
            if (left) dragRect->left = std::min(cursor.x, frame.right - minTrackWidth) - 1;
        }
        return sizeFloat;
    }
    if (mode & kLengthY) {
        sizeFloat.cy = std::max(length, minSize.cy);
        return {sizeFloat.cx, sizeFloat.cy};
    }
    return {std::max(length, minSize.cx), sizeFloat.cy};
}

ResizableBarGeometry::NonClient ResizableBarGeometry::CalcNonClient(int width, int height) const {
    NonClient nc;
    nc.client = {0, 0, width, height};
    nc.border = {0, 0, width, height};
    switch (dockBarId) {
    case kDockTop:
        nc.client = {gripperWidth, borderWidth, width - borderWidth, height - edgeWidth};
        nc.clearedBorderFlag = 0x800;
        nc.border.top = nc.border.bottom - edgeWidth;
        break;
    case kDockBottom:
        nc.client = {gripperWidth, edgeWidth, width - borderWidth, height - borderWidth};
        nc.clearedBorderFlag = 0x200;
        nc.border.bottom = nc.border.top + edgeWidth;
        break;
    case kDockLeft:
        nc.client = {borderWidth, gripperWidth, width - edgeWidth, height - borderWidth};
        nc.clearedBorderFlag = 0x400;
        nc.border.left = nc.border.right - edgeWidth;
        break;
    case kDockRight:
        nc.client = {edgeWidth, gripperWidth, width - borderWidth, height - borderWidth};
        nc.clearedBorderFlag = 0x100;
        nc.border.right = nc.border.left + edgeWidth;
        break;
    default: nc.border = {}; break;
    }
    return nc;
}

ResizableBarGeometry::Gripper ResizableBarGeometry::CalcGripper(int width, int height) const {
    Gripper g;
    if (IsHorizontal()) {
        g.gripper = {0, 40, 20, height};
        g.close = {7, 10, 19, 22};
        g.undock = {g.close.left, g.close.top + kButtonStep, g.close.right, g.close.bottom + kButtonStep};
    } else {
        g.gripper = {0, 0, width - 40, 20};
        g.close = {width - 21, 7, width - 10, 18};
        g.undock = {g.close.left - kButtonStep, g.close.top, g.close.right - kButtonStep, g.close.bottom};
    }
    return g;
}

void ResizableBarGeometry::BeginEdgeDrag(const IntRect& border) {
    tracking_ = true;
    ptOld_ = CentreOf(border);
    tracker_ = border;
    if (dockBarId == kDockLeft || dockBarId == kDockRight) tracker_.bottom -= kVerticalTrackerInset;
}

bool ResizableBarGeometry::MoveEdgeDrag(IntPoint p) {
    if (!tracking_ || !IsDocked()) return false;
    // The client area starts an edge's width in on the bottom and right.
    if (dockBarId == kDockBottom) p.y += edgeWidth;
    if (dockBarId == kDockRight) p.x += edgeWidth;
    const IntPoint centre = CentreOf(tracker_);
    if (IsHorizontal()) {
        if (p.y == centre.y) return false;
        tracker_.top += p.y - centre.y;
        tracker_.bottom += p.y - centre.y;
    } else {
        if (p.x == centre.x) return false;
        tracker_.left += p.x - centre.x;
        tracker_.right += p.x - centre.x;
    }
    return true;
}

int ResizableBarGeometry::EndEdgeDrag(int frameRoom) {
    const bool wasTracking = tracking_;
    tracking_ = false;
    int& extent = IsHorizontal() ? sizeHorz.cy : sizeVert.cx;
    if (!wasTracking || !IsDocked()) return extent;
    const int largest = extent + frameRoom;
    const int smallest = IsHorizontal() ? minSize.cy : minSize.cx;
    const IntPoint centre = CentreOf(tracker_);
    int e = extent;
    switch (dockBarId) {
    case kDockTop: e += centre.y - ptOld_.y; break;
    case kDockBottom: e += ptOld_.y - centre.y; break;
    case kDockLeft: e += centre.x - ptOld_.x; break;
    default: e += ptOld_.x - centre.x; break;
    }
    e = std::max(std::min(e, largest), smallest);
    extent = e;
    return e;
}

void ResizableBarGeometry::CancelEdgeDrag() { tracking_ = false; }

int ResizableBarGeometry::DragEdgeTo(int newExtent, int frameRoom) {
    if (!IsDocked()) return newExtent;
    const BarSize size = IsHorizontal() ? sizeHorz : sizeVert;
    BeginEdgeDrag(CalcNonClient(size.cx, size.cy).border);
    // The strip moves by the change, toward the frame's centre when growing;
    // on the bottom and right a client point lies an edge's width short.
    const int change = newExtent - (IsHorizontal() ? size.cy : size.cx);
    IntPoint p = ptOld_;
    switch (dockBarId) {
    case kDockTop: p.y += change; break;
    case kDockBottom: p.y -= change + edgeWidth; break;
    case kDockLeft: p.x += change; break;
    default: p.x -= change + edgeWidth; break;
    }
    MoveEdgeDrag(p);
    return EndEdgeDrag(frameRoom);
}

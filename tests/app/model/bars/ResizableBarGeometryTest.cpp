#include "ResizableBarGeometry.h"

#include <gtest/gtest.h>

namespace {

using G = ResizableBarGeometry;

TEST(ResizableBar, SizesFromTheDialog) {
    G bar;
    bar.SetDialogSize(300, 200);
    EXPECT_EQ(bar.sizeFloat, (BarSize{300, 200}));
    EXPECT_EQ(bar.sizeHorz, (BarSize{300, 209}));
    EXPECT_EQ(bar.sizeVert, (BarSize{309, 200}));

    EXPECT_EQ(bar.CalcFixedLayout(false, false, true, 1000, 700), (BarSize{300, 200}));
    EXPECT_EQ(bar.CalcFixedLayout(false, true, false, 1000, 700), (BarSize{1004, 209}));
    EXPECT_EQ(bar.CalcFixedLayout(false, false, false, 1000, 700), (BarSize{309, 704}));
    EXPECT_EQ(bar.CalcFixedLayout(true, true, false, 1000, 700), (BarSize{32767, 209}));
}

TEST(ResizableBar, DynamicLayoutCases) {
    G bar;
    bar.SetDialogSize(300, 200);
    EXPECT_EQ(bar.CalcDynamicLayout(123, G::kMruWidth, true), (BarSize{300, 200}));
    EXPECT_EQ(bar.CalcDynamicLayout(250, G::kCommit, true), (BarSize{250, 200}));
    EXPECT_EQ(bar.sizeFloat.cx, 250);
    // Along one edge: a length is a width unless it is a height, never
    // below the minimum; only a height is kept.
    EXPECT_EQ(bar.CalcDynamicLayout(10, 0, true), (BarSize{32, 200}));
    EXPECT_EQ(bar.sizeFloat, (BarSize{250, 200}));
    EXPECT_EQ(bar.CalcDynamicLayout(180, G::kLengthY, true), (BarSize{250, 180}));
    EXPECT_EQ(bar.CalcDynamicLayout(5, G::kLengthY, true), (BarSize{250, 32}));

    // From the corners of a floating frame at (500, 300)-(800, 520).
    const IntRect frame{500, 300, 800, 520};
    struct Case {
        int corner;
        IntPoint cursor;
        BarSize size;
        int dragTop, dragLeft;
    } cases[] = {
        {G::kTopLeft, {450, 250}, {347, 252}, 247, 449},
        {G::kTopRight, {900, 250}, {400, 252}, 247, 0},
        {G::kBottomLeft, {450, 600}, {347, 283}, 0, 449},
        {G::kBottomRight, {900, 600}, {400, 283}, 0, 0},
        // Shrunk past the smallest frame: the minimum track size holds.
        {G::kTopLeft, {790, 510}, {109, 26}, 473, 687},
        {G::kBottomRight, {505, 305}, {112, 27}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.corner);
        IntRect drag{};
        EXPECT_EQ(bar.CalcDynamicLayout(0, 0, true, c.corner, c.cursor, frame, &drag), c.size);
        EXPECT_EQ(bar.sizeFloat, c.size);
        EXPECT_EQ(drag.top, c.dragTop);
        EXPECT_EQ(drag.left, c.dragLeft);
    }
}

TEST(ResizableBar, NonClientPartsFollowTheDockSide) {
    G bar;
    struct Case {
        int dock;
        IntRect client, border;
        int cleared;
    } cases[] = {
        {G::kDockTop, {20, 3, 297, 203}, {0, 203, 300, 209}, 0x800},
        {G::kDockBottom, {20, 6, 297, 206}, {0, 0, 300, 6}, 0x200},
        {G::kDockLeft, {3, 20, 294, 206}, {294, 0, 300, 209}, 0x400},
        {G::kDockRight, {6, 20, 297, 206}, {0, 0, 6, 209}, 0x100},
        {0, {0, 0, 300, 209}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dock);
        bar.dockBarId = c.dock;
        const G::NonClient nc = bar.CalcNonClient(300, 209);
        EXPECT_EQ(nc.client, c.client);
        EXPECT_EQ(nc.border, c.border);
        EXPECT_EQ(nc.clearedBorderFlag, c.cleared);
    }
    bar.dockBarId = G::kDockTop;
    G::Gripper g = bar.CalcGripper(300, 209);
    EXPECT_EQ(g.close, (IntRect{7, 10, 19, 22}));
    EXPECT_EQ(g.undock, (IntRect{7, 23, 19, 35}));
    EXPECT_EQ(g.gripper, (IntRect{0, 40, 20, 209}));
    bar.dockBarId = G::kDockRight;
    g = bar.CalcGripper(309, 600);
    EXPECT_EQ(g.close, (IntRect{288, 7, 299, 18}));
    EXPECT_EQ(g.undock, (IntRect{275, 7, 286, 18}));
    EXPECT_EQ(g.gripper, (IntRect{0, 0, 269, 20}));
}

TEST(ResizableBar, TopEdgeDragGrowsAndStopsAtTheMinimum) {
    G bar;
    bar.SetDialogSize(300, 200);
    bar.dockBarId = G::kDockTop;
    const IntRect border = bar.CalcNonClient(300, 209).border;  // centre y 206
    bar.BeginEdgeDrag(border);
    EXPECT_TRUE(bar.MoveEdgeDrag({150, 256}));
    EXPECT_FALSE(bar.MoveEdgeDrag({150, 256}));
    EXPECT_EQ(bar.EndEdgeDrag(1000), 259);
    EXPECT_EQ(bar.sizeHorz.cy, 259);
    EXPECT_FALSE(bar.IsTracking());

    // Dragged above the bar's top: 32 high.
    bar.BeginEdgeDrag(bar.CalcNonClient(300, 259).border);
    bar.MoveEdgeDrag({150, -400});
    EXPECT_EQ(bar.EndEdgeDrag(1000), 32);
    // Not beyond the frame's room.
    bar.BeginEdgeDrag(bar.CalcNonClient(300, 32).border);
    bar.MoveEdgeDrag({150, 5000});
    EXPECT_EQ(bar.EndEdgeDrag(600), 632);
}

TEST(ResizableBar, OtherSidesGrowTowardTheFrameCentre) {
    G bar;
    bar.SetDialogSize(300, 200);
    // Bottom: the edge is at the top; dragging it up by 40 grows 40. The
    // client point is 6 above its window point on this side.
    bar.dockBarId = G::kDockBottom;
    bar.BeginEdgeDrag(bar.CalcNonClient(300, 209).border);  // centre y 3
    bar.MoveEdgeDrag({150, -43});
    EXPECT_EQ(bar.EndEdgeDrag(1000), 249);

    // Left: the strip is on the right, the tracker 4 shorter than it.
    bar.dockBarId = G::kDockLeft;
    const IntRect strip = bar.CalcNonClient(309, 600).border;
    bar.BeginEdgeDrag(strip);
    EXPECT_EQ(bar.Tracker().bottom, strip.bottom - 4);
    bar.MoveEdgeDrag({356, 10});  // centre x 306 → 356
    EXPECT_EQ(bar.EndEdgeDrag(1000), 359);

    // Right: dragging left by 40 grows 40 (the client point is 6 left of
    // its window point); a cancelled drag changes nothing.
    bar.dockBarId = G::kDockRight;
    bar.BeginEdgeDrag(bar.CalcNonClient(359, 600).border);  // centre x 3
    bar.MoveEdgeDrag({-43, 10});
    EXPECT_EQ(bar.EndEdgeDrag(1000), 399);
    bar.BeginEdgeDrag(bar.CalcNonClient(399, 600).border);
    bar.MoveEdgeDrag({-200, 10});
    bar.CancelEdgeDrag();
    EXPECT_EQ(bar.EndEdgeDrag(1000), 399);
    EXPECT_EQ(bar.sizeVert.cx, 399);
}

// A sash moved by the frame's layout ends as the same drag would: the new
// extent within the limits, the minimum below them, the current extent plus
// the frame's room beyond them. A floating bar keeps any size.
TEST(ResizableBar, AnEdgeMovedElsewhereEndsWithinTheDragLimits) {
    const struct {
        int dockBar;
        int newExtent;
        int kept;
    } cases[] = {
        {G::kDockTop, 260, 260},   {G::kDockTop, 10, 32},    {G::kDockTop, 2000, 809},
        {G::kDockBottom, 150, 150}, {G::kDockBottom, -5, 32}, {G::kDockBottom, 2000, 809},
        {G::kDockLeft, 400, 400},  {G::kDockLeft, 31, 32},   {G::kDockLeft, 2000, 909},
        {G::kDockRight, 250, 250}, {G::kDockRight, 0, 32},   {G::kDockRight, 2000, 909},
        {0, 10, 10},
    };
    for (const auto& c : cases) {
        G bar;
        bar.SetDialogSize(300, 200);  // 309 wide docked left or right, 209 high at the top or bottom
        bar.dockBarId = c.dockBar;
        EXPECT_EQ(bar.DragEdgeTo(c.newExtent, 600), c.kept) << c.dockBar << " " << c.newExtent;
        EXPECT_FALSE(bar.IsTracking());
        if (bar.IsDocked()) {
            EXPECT_EQ(bar.IsHorizontal() ? bar.sizeHorz.cy : bar.sizeVert.cx, c.kept);
        }
    }
}

} // namespace

#pragma once
// The main frame's fixed layout rules: where the three dialog bars float,
// the dock bar ids of the toolbar's side, the status panes, the close-up
// cascade origin and the tooltips.
#include "IntPoint.h"
#include "IntRect.h"
#include "WindowPlacementTarget.h"

#include <string>
#include <vector>

// The toolbar's dock side as settings item 23 keeps it.
enum class DockSide { kTop, kBottom, kLeft, kRight, kNone };
int DockBarIdOf(DockSide side);       // 59419, 59422, 59420, 59421, 0
DockSide DockSideOf(int dockBarId);   // anything else: kNone

// The floating positions of Image Info, Image Controls and Output Histogram
// for a screen of full width w: (w - 300, 100), (w - 275, 125), (w - 250, 150).
struct FloatingBarPositions {
    IntPoint imageInfo, imageControls, outputHistogram;
};
FloatingBarPositions FloatingBarPositionsFor(int screenWidth);

// The toolbar's docking as items 23-25 keep it.
struct ToolbarDocking {
    bool floating = false;        // item 24
    DockSide side = DockSide::kTop;  // item 23
    IntRect rect;                 // item 25
};
ToolbarDocking LoadToolbarDocking();
// Item 24; when not floating, items 25 and 23 too.
void SaveToolbarDocking(const ToolbarDocking& docking);

// Item 36 (its default from the screen), and its write at close with right
// and bottom one further.
IntRect LoadCloseUpCascadeOrigin();
void SaveCloseUpCascadeOrigin(const IntRect& origin);

// "MainFrame Position": restore (a minimised placement comes back normal,
// one off the screen is ignored: false) and save.
bool RestoreMainFramePlacement(WindowPlacementTarget& frame);
void SaveMainFramePlacement(WindowPlacementTarget& frame);

// The status bar's indicators in order (0 is the message pane) and the data
// panes that ClearStatusPanes empties, in its order.
const std::vector<int>& StatusIndicators();   // 0, 59149, 59145, 59144, 59143
const std::vector<int>& ClearedStatusPanes(); // 59144, 59143, 59145, 59149

// The tooltip of a command: the part of its string resource after the first
// newline (the whole when none), translated, cut to 79 characters (at a
// character boundary); false when the table has no translation (the
// toolkit's own tooltip then stays).
bool TranslatedToolTip(int command, std::string& out);
// The tooltip a button of the command shows: the translated one, else the
// untranslated part after the first newline (the whole when none), cut the
// same way; empty when the table has no text for the command.
std::string ToolTipFor(int command);
// The prompt for the status bar: the part before the first newline,
// translated.
std::string TranslatedPrompt(int command);
// The first 79 characters (UTF-8 code points) of the text.
std::string CutToolTip(const std::string& text);

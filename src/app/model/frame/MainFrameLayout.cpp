#include "MainFrameLayout.h"

#include "LocalizedStrings.h"
#include "LocalizedText.h"
#include "ProfileItem.h"
#include "ProfileItemManager.h"
#include "StringIds.h"
#include "WindowPlacementProfile.h"

namespace {

constexpr size_t kToolTipCharacters = 79;

struct SideId {
    DockSide side;
    int id;
};
// In the order a docked toolbar's alignment is tested.
constexpr SideId kDockBars[] = {
    {DockSide::kTop, 59419}, {DockSide::kBottom, 59422}, {DockSide::kLeft, 59420}, {DockSide::kRight, 59421}};

std::string MainFramePositionSection() { return LoadUntranslatedString(IDS_SECTION_MAINFRAME_POSITION); }

} // namespace

int DockBarIdOf(DockSide side) {
    for (const SideId& s : kDockBars)
        if (s.side == side) return s.id;
    return 0;
}

DockSide DockSideOf(int dockBarId) {
    for (const SideId& s : kDockBars)
        if (s.id == dockBarId) return s.side;
    return DockSide::kNone;
}

FloatingBarPositions FloatingBarPositionsFor(int w) {
    return {{w - 300, 100}, {w - 275, 125}, {w - 250, 150}};
}

ToolbarDocking LoadToolbarDocking() {
    ProfileItemManager items;
    ToolbarDocking docking;
    int floating = 0, side = 0;
    items.GetInt(PI_TOOLBAR_IS_FLOATING, floating);
    items.GetInt(PI_TOOLBAR_FRAME_SIDE, side);
    items.GetRect(PI_TOOLBAR_POSITION, docking.rect);
    docking.floating = floating != 0;
    docking.side = DockSideOf(side);
    return docking;
}

void SaveToolbarDocking(const ToolbarDocking& docking) {
    ProfileItemManager items;
    items.SetInt(PI_TOOLBAR_IS_FLOATING, docking.floating ? 1 : 0);
    if (docking.floating) return;
    items.SetRect(PI_TOOLBAR_POSITION, docking.rect.left, docking.rect.top, docking.rect.right, docking.rect.bottom);
    items.SetInt(PI_TOOLBAR_FRAME_SIDE, DockBarIdOf(docking.side));
}

IntRect LoadCloseUpCascadeOrigin() {
    IntRect origin;
    ProfileItemManager().GetRect(PI_CLOSEUP_POSITION, origin);
    return origin;
}

void SaveCloseUpCascadeOrigin(const IntRect& origin) {
    ProfileItemManager().SetRect(PI_CLOSEUP_POSITION, origin.left, origin.top, origin.right + 1, origin.bottom + 1);
}

bool RestoreMainFramePlacement(WindowPlacementTarget& frame) {
    WindowPlacementProfile placement;
    return placement.RestoreTo(MainFramePositionSection(), frame);
}

void SaveMainFramePlacement(WindowPlacementTarget& frame) {
    WindowPlacementProfile placement;
    placement.SaveFrom(MainFramePositionSection(), frame);
}

const std::vector<int>& StatusIndicators() {
    static const std::vector<int> indicators{0, 59149, 59145, 59144, 59143};
    return indicators;
}

const std::vector<int>& ClearedStatusPanes() {
    static const std::vector<int> panes{59144, 59143, 59145, 59149};
    return panes;
}

std::string CutToolTip(const std::string& text) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // A byte that does not continue a character starts one.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > kToolTipCharacters)
            return text.substr(0, i);
    }
    return text;
}

bool TranslatedToolTip(int command, std::string& out) {
    const std::string resource = LoadUntranslatedString(command);
    const size_t newline = resource.find('\n');
    const std::string tip = newline == std::string::npos ? resource : resource.substr(newline + 1);
    std::string translated;
    if (tip.empty() || !NimbalCore::GetLocalizedString(tip, translated)) return false;
    out = CutToolTip(translated);
    return true;
}

std::string ToolTipFor(int command) {
    std::string tip;
    if (TranslatedToolTip(command, tip)) return tip;
    const std::string resource = LoadUntranslatedString(command);
    const size_t newline = resource.find('\n');
    return CutToolTip(newline == std::string::npos ? resource : resource.substr(newline + 1));
}

std::string TranslatedPrompt(int command) {
    const std::string resource = LoadUntranslatedString(command);
    return TranslateString(resource.substr(0, resource.find('\n')));
}

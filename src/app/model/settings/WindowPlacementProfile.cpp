#include "WindowPlacementProfile.h"

#include "DisplayGeometry.h"
#include "ProfileStore.h"

namespace {

struct Field {
    const char* name;
    int WindowPlacement::*plain;
    int IntRect::*normal;
};

// In the order they are written.
constexpr Field kFields[] = {
    {"wp.showCmd", &WindowPlacement::showCmd, nullptr},
    {"wp.flags", &WindowPlacement::flags, nullptr},
    {"wp.ptMinPosition.x", &WindowPlacement::minX, nullptr},
    {"wp.ptMinPosition.y", &WindowPlacement::minY, nullptr},
    {"wp.ptMaxPosition.x", &WindowPlacement::maxX, nullptr},
    {"wp.ptMaxPosition.y", &WindowPlacement::maxY, nullptr},
    {"wp.left", nullptr, &IntRect::left},
    {"wp.right", nullptr, &IntRect::right},
    {"wp.top", nullptr, &IntRect::top},
    {"wp.bottom", nullptr, &IntRect::bottom},
};

int& FieldOf(WindowPlacement& p, const Field& f) { return f.plain ? p.*(f.plain) : p.normal.*(f.normal); }

} // namespace

bool WindowPlacementProfile::RestoreTo(const std::string& section, WindowPlacementTarget& window) {
    ProfileStore& store = ProfileStore::Current();
    for (const Field& f : kFields) {
        int& value = FieldOf(*this, f);
        value = store.GetInt(section, f.name, value);
    }
    if (showCmd == kShowMinimized) showCmd = kShowNormal;
    const IntRect screen = DisplayGeometry::Current().PrimaryScreen();
    if (!normal.Intersects({0, 0, screen.right - screen.left, screen.bottom - screen.top})) return false;
    window.SetPlacement(*this);
    return true;
}

void WindowPlacementProfile::SaveFrom(const std::string& section, WindowPlacementTarget& window) {
    static_cast<WindowPlacement&>(*this) = window.GetPlacement();
    ProfileStore& store = ProfileStore::Current();
    for (const Field& f : kFields) store.WriteInt(section, f.name, FieldOf(*this, f));
}

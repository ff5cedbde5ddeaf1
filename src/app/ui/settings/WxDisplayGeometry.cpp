#include "WxDisplayGeometry.h"

#include <wx/display.h>

namespace {

IntRect FromWx(const wxRect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

unsigned Primary() {
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        if (wxDisplay(i).IsPrimary()) return i;
    return 0;
}

} // namespace

IntRect WxDisplayGeometry::PrimaryScreen() {
    const wxRect r = wxDisplay(Primary()).GetGeometry();
    return {0, 0, r.width, r.height};
}

IntRect WxDisplayGeometry::PrimaryWorkArea() { return FromWx(wxDisplay(Primary()).GetClientArea()); }

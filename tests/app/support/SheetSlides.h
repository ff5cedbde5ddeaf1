// The slide windows of a contact sheet, found under its frame.
#pragma once

#include "CSlideMountView.h"
#include "GuiTest.h"

#include <wx/window.h>

#include <vector>

namespace gui {

inline void CollectSlides(wxWindow* window, std::vector<CSlideMountView*>& slides) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* slide = dynamic_cast<CSlideMountView*>(child)) slides.push_back(slide);
        CollectSlides(child, slides);
    }
}

// The slide windows once there are at least count of them: the sheet's
// watcher finds the images after the window opened.
inline std::vector<CSlideMountView*> WaitForSlides(wxWindow* window, size_t count, int ms = 10000) {
    std::vector<CSlideMountView*> slides;
    WaitFor([&] {
        slides.clear();
        CollectSlides(window, slides);
        return slides.size() >= count;
    }, ms);
    return slides;
}

} // namespace gui

// The slide windows of a contact sheet, found under its frame.
#pragma once

#include "CSlideMountView.h"

#include <wx/window.h>

#include <vector>

namespace gui {

inline void CollectSlides(wxWindow* window, std::vector<CSlideMountView*>& slides) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* slide = dynamic_cast<CSlideMountView*>(child)) slides.push_back(slide);
        CollectSlides(child, slides);
    }
}

} // namespace gui

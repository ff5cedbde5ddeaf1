#include "CLumoraStatusBar.h"

#include "LocalizedText.h"
#include "MainFrameLayout.h"
#include "StringResources.h"

#include <vector>

CLumoraStatusBar::CLumoraStatusBar(wxWindow* parent) : wxStatusBar(parent, wxID_ANY) {
    // The data panes are as wide as their sample texts ("000%", ...).
    const std::vector<int>& indicators = StatusIndicators();
    std::vector<int> widths(indicators.size(), -1);
    for (size_t i = 1; i < indicators.size(); ++i)
        widths[i] = GetTextExtent(wxString::FromUTF8(LoadResourceString(indicators[i]))).GetWidth() + 16;
    SetFieldsCount(static_cast<int>(widths.size()), widths.data());
    std::vector<int> styles(indicators.size(), wxSB_SUNKEN);
    styles[0] = wxSB_FLAT;
    SetStatusStyles(static_cast<int>(styles.size()), styles.data());
}

void CLumoraStatusBar::SetStatusText(const wxString& text, int number) {
    wxStatusBar::SetStatusText(wxString::FromUTF8(TranslateString(text.utf8_string())), number);
}

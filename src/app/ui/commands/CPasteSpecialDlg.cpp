#include "CPasteSpecialDlg.h"

#include "CDocumentBase.h"
#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>

namespace {

const char* BoxText(int id) {
    switch (id) {
    case kPasteCrop: return "Crop";
    case kPasteRotation: return "Rotation";
    case kPasteExposureComp: return "Exposure Compensation";
    case kPasteTone: return "Tone";
    case kPasteBalance: return "Balance and Lighting";
    case kPasteLens: return "Lens Optimization";
    case kPasteLook: return "Look";
    case kPasteNoise: return "Noise Reduction";
    case kPasteSharpening: return "Sharpening";
    case kPasteIPTC: return "IPTC/Job Tracker";
    case kPasteTagging: return "Tagging";
    default: return "";
    }
}

} // namespace

CPasteSpecialDlg::CPasteSpecialDlg(CDocumentBase* document, int unused, wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Paste Special"), view_(this), self_(this),
      presenter_(view_, self_, document) {
    (void)unused;
    auto* boxes = new wxBoxSizer(wxVERTICAL);
    for (const PasteSpecialPresenter::GroupBox& box : PasteSpecialPresenter::GroupBoxes()) {
        boxes->Add(new wxCheckBox(this, box.boxId, BoxText(box.boxId)), 0, wxBOTTOM, 4);
        Bind(wxEVT_CHECKBOX, [this, id = box.boxId](wxCommandEvent&) {
            Run([this, id] { presenter_.OnGroupClicked(id); });
        }, box.boxId);
    }

    auto* buttons = new wxBoxSizer(wxVERTICAL);
    buttons->Add(new wxButton(this, wxID_OK, "OK"), 0, wxEXPAND | wxBOTTOM, 6);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxEXPAND | wxBOTTOM, 12);
    buttons->Add(new wxButton(this, kPasteSelectAll, "Select All"), 0, wxEXPAND | wxBOTTOM, 6);
    buttons->Add(new wxButton(this, kPasteSelectNone, "Select None"), 0, wxEXPAND | wxBOTTOM, 12);
    buttons->Add(new wxCheckBox(this, kPastePreview, "Preview"), 0);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(boxes, 1, wxALL, 10);
    row->Add(buttons, 0, wxALL, 10);
    SetSizer(row);

    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Run([this] { presenter_.OnSelectAll(); }); }, kPasteSelectAll);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Run([this] { presenter_.OnSelectNone(); }); }, kPasteSelectNone);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { Run([this] { presenter_.OnPreviewClicked(); }); },
         kPastePreview);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        presenter_.OnOK();
        EndModal(wxID_OK);
    }, wxID_OK);
}

template <class Handler> void CPasteSpecialDlg::Run(Handler handler) {
    // An exception must not cross the toolkit's event dispatch: the dialog
    // ends and ShowModal hands the failure to the caller.
    try {
        handler();
    } catch (...) {
        failure_ = std::current_exception();
        if (IsModal()) EndModal(wxID_CANCEL);
    }
}

int CPasteSpecialDlg::ShowModal() {
    if (!initialised_) {
        initialised_ = true;
        presenter_.InitDialog();
        TranslateWindowText(this, false);
        Fit();
        CentreOnParent();
    }
    const int answer = wxDialog::ShowModal();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return answer;
}

#include "COutputOptionsDlg.h"

#include "CFileBrowseDialog.h"
#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

COutputOptionsDlg::COutputOptionsDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Preferences"), view_(this), presenter_(view_) {
    Build();
    presenter_.SetFolderChooser([this](const std::string& start, std::string& chosen) {
        CFileBrowseDialog picker(this, start);
        picker.ShowModal();
        if (!CFileBrowseDialog::folderChosen()) return false;
        chosen = CFileBrowseDialog::folderPath();
        return true;
    });
}

int COutputOptionsDlg::ShowModal() {
    if (!initialised_) {
        initialised_ = true;
        presenter_.InitDialog();
        TranslateWindowText(this, false);
        // Wrapped after translation: wrapping changes the text.
        if (auto* text = dynamic_cast<wxStaticText*>(FindWindow(kOptSendToText))) text->Wrap(420);
        Fit();
        CentreOnParent();
    }
    return wxDialog::ShowModal();
}

void COutputOptionsDlg::Build() {
    auto label = [](wxWindow* parent, int id, const char* text) {
        return new wxStaticText(parent, id, text);
    };
    auto edit = [](wxWindow* parent, int id, int width, long style = 0) {
        return new wxTextCtrl(parent, id, wxString(), wxDefaultPosition, wxSize(width, -1), style);
    };
    auto* left = new wxBoxSizer(wxVERTICAL);

    auto* space = new wxBoxSizer(wxHORIZONTAL);
    space->Add(label(this, wxID_ANY, "RGB Working Space:"), 0, wxALIGN_CENTRE_VERTICAL | wxRIGHT, 6);
    space->Add(new wxChoice(this, kOptWorkingSpaceList, wxDefaultPosition, wxSize(260, -1)), 1);
    left->Add(space, 0, wxEXPAND | wxBOTTOM, 6);

    auto* sendTo = new wxStaticBoxSizer(wxVERTICAL, this, "Send to Folder");
    wxStaticBox* sendBox = sendTo->GetStaticBox();
    sendBox->SetId(kOptSendToGroup);
    auto* sendText = label(sendBox, kOptSendToText,
                           "When converting files to be sent to your image editor, save them in this folder:");
    sendTo->Add(sendText, 0, wxALL, 4);
    auto* sendRow = new wxBoxSizer(wxHORIZONTAL);
    sendRow->Add(edit(sendBox, kOptSendToFolder, 300, wxTE_READONLY), 1, wxRIGHT, 6);
    sendRow->Add(new wxButton(sendBox, kOptChooseFolder, "&Choose..."), 0);
    sendTo->Add(sendRow, 0, wxEXPAND | wxALL, 4);
    left->Add(sendTo, 0, wxEXPAND | wxBOTTOM, 6);

    auto* size = new wxStaticBoxSizer(wxVERTICAL, this, "Export Size");
    wxStaticBox* sizeBox = size->GetStaticBox();
    size->Add(new wxCheckBox(sizeBox, kOptResizeEnable, "Resize image(s)"), 0, wxALL, 4);
    size->Add(label(sizeBox, kOptScaleStyleLabel, "Scale Style:"), 0, wxLEFT, 4);
    auto* percentRow = new wxBoxSizer(wxHORIZONTAL);
    percentRow->Add(new wxRadioButton(sizeBox, kOptModePercent, wxString(), wxDefaultPosition, wxDefaultSize,
                                      wxRB_GROUP), 0, wxALIGN_CENTRE_VERTICAL);
    percentRow->Add(edit(sizeBox, kOptPercent, 60), 0, wxLEFT | wxRIGHT, 4);
    percentRow->Add(label(sizeBox, kOptPercentLabel, "percent"), 0, wxALIGN_CENTRE_VERTICAL);
    size->Add(percentRow, 0, wxALL, 4);
    size->Add(new wxRadioButton(sizeBox, kOptModeFill, "Fill frame"), 0, wxLEFT, 4);
    size->Add(new wxRadioButton(sizeBox, kOptModeFitTrim, "Fit to frame, trim extra space"), 0, wxLEFT, 4);
    size->Add(new wxRadioButton(sizeBox, kOptModeFitFill, "Fit to frame, fill extra space"), 0, wxLEFT, 4);
    auto* grid = new wxFlexGridSizer(5, 4, 6);
    grid->AddSpacer(0);
    grid->Add(label(sizeBox, kOptPixelsColumn, "Pixels"));
    grid->AddSpacer(0);
    grid->Add(label(sizeBox, kOptPrintSizeColumn, "Print Size"));
    grid->AddSpacer(0);
    grid->Add(label(sizeBox, kOptWidthRow, "Width:"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(edit(sizeBox, kOptPixelWidth, 70));
    grid->Add(label(sizeBox, kOptWidthPixelsLabel, "pixels"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(edit(sizeBox, kOptPrintWidth, 70));
    auto* widthUnits = new wxBoxSizer(wxHORIZONTAL);
    widthUnits->Add(label(sizeBox, kOptInchLabelWidth, "in"));
    widthUnits->Add(label(sizeBox, kOptCmLabelWidth, "cm"));
    grid->Add(widthUnits, 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(label(sizeBox, kOptHeightRow, "Height:"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(edit(sizeBox, kOptPixelHeight, 70));
    grid->Add(label(sizeBox, kOptHeightPixelsLabel, "pixels"), 0, wxALIGN_CENTRE_VERTICAL);
    grid->Add(edit(sizeBox, kOptPrintHeight, 70));
    auto* heightUnits = new wxBoxSizer(wxHORIZONTAL);
    heightUnits->Add(label(sizeBox, kOptInchLabelHeight, "in"));
    heightUnits->Add(label(sizeBox, kOptCmLabelHeight, "cm"));
    grid->Add(heightUnits, 0, wxALIGN_CENTRE_VERTICAL);
    size->Add(grid, 0, wxALL, 4);
    size->Add(new wxCheckBox(sizeBox, kOptMaintainProportions, "Maintain Proportions"), 0, wxALL, 4);
    auto* resolution = new wxBoxSizer(wxHORIZONTAL);
    resolution->Add(label(sizeBox, wxID_ANY, "Resolution:"), 0, wxALIGN_CENTRE_VERTICAL | wxRIGHT, 4);
    resolution->Add(edit(sizeBox, kOptResolution, 60), 0, wxRIGHT, 4);
    resolution->Add(new wxChoice(sizeBox, kOptUnits), 0);
    size->Add(resolution, 0, wxALL, 4);
    left->Add(size, 0, wxEXPAND);

    auto* right = new wxBoxSizer(wxVERTICAL);
    auto* tiff = new wxStaticBoxSizer(wxVERTICAL, this, "TIFF Options");
    wxStaticBox* tiffBox = tiff->GetStaticBox();
    tiffBox->SetId(kOptTiffGroup);
    tiff->Add(label(tiffBox, kOptImageDataLabel, "Image Data:"), 0, wxALL, 4);
    tiff->Add(new wxRadioButton(tiffBox, kOptLinearMode, "Linear Mode", wxDefaultPosition, wxDefaultSize, wxRB_GROUP),
              0, wxLEFT, 8);
    tiff->Add(new wxRadioButton(tiffBox, kOptRenderToWorkingSpace, "Render To RGB Working Space"), 0, wxLEFT, 8);
    // Selected when neither mode is: a radio group always has a choice.
    auto* noMode = new wxRadioButton(tiffBox, wxID_ANY, wxString());
    noMode->Hide();
    view_.SetRadioNone(kOptLinearMode, noMode);
    view_.SetRadioNone(kOptRenderToWorkingSpace, noMode);
    tiff->Add(label(tiffBox, kOptBitsLabel, "Bits per channel:"), 0, wxALL, 4);
    tiff->Add(new wxRadioButton(tiffBox, kOpt8Bit, "8 bit", wxDefaultPosition, wxDefaultSize, wxRB_GROUP), 0,
              wxLEFT, 8);
    tiff->Add(new wxRadioButton(tiffBox, kOpt16Bit, "16 bit"), 0, wxLEFT, 8);
    tiff->Add(new wxCheckBox(tiffBox, kOptRenderGps, "Render GPS Information In TIFF Files"), 0, wxALL, 4);
    tiff->Add(new wxCheckBox(tiffBox, kOptEmbedTiff, "Embed RGB Working Space Profile in TIFF Files"), 0, wxALL, 4);
    right->Add(tiff, 0, wxEXPAND | wxBOTTOM, 6);

    auto* jpeg = new wxStaticBoxSizer(wxVERTICAL, this, "JPEG Options");
    wxStaticBox* jpegBox = jpeg->GetStaticBox();
    jpegBox->SetId(kOptJpegGroup);
    jpeg->Add(label(jpegBox, kOptJpegQualityLabel, "Image Quality:"), 0, wxALL, 4);
    jpeg->Add(new wxRadioButton(jpegBox, kOptJpegBest, "Best", wxDefaultPosition, wxDefaultSize, wxRB_GROUP), 0,
              wxLEFT, 8);
    jpeg->Add(new wxRadioButton(jpegBox, kOptJpegBetter, "Better"), 0, wxLEFT, 8);
    jpeg->Add(new wxRadioButton(jpegBox, kOptJpegGood, "Good"), 0, wxLEFT, 8);
    jpeg->Add(new wxCheckBox(jpegBox, kOptEmbedJpeg, "Embed RGB Working Space Profile in JPEG Files"), 0, wxALL, 4);
    right->Add(jpeg, 0, wxEXPAND | wxBOTTOM, 6);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(this, wxID_OK, "OK"), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0);
    right->Insert(0, buttons, 0, wxALIGN_RIGHT | wxBOTTOM, 8);

    auto* all = new wxBoxSizer(wxHORIZONTAL);
    all->Add(left, 0, wxALL, 8);
    all->Add(right, 0, wxALL, 8);
    SetSizerAndFit(all);

    auto onText = [this](int id, void (OutputOptionsPresenter::*handler)()) {
        Bind(wxEVT_TEXT, [this, handler](wxCommandEvent&) { (presenter_.*handler)(); }, id);
    };
    onText(kOptPixelHeight, &OutputOptionsPresenter::PixelHeightChanged);
    onText(kOptPixelWidth, &OutputOptionsPresenter::PixelWidthChanged);
    onText(kOptPrintHeight, &OutputOptionsPresenter::PrintHeightChanged);
    onText(kOptPrintWidth, &OutputOptionsPresenter::PrintWidthChanged);
    onText(kOptResolution, &OutputOptionsPresenter::ResolutionChanged);
    Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { presenter_.UnitsChanged(); }, kOptUnits);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { presenter_.ResizeClicked(); }, kOptResizeEnable);
    for (int id : {kOptModePercent, kOptModeFill, kOptModeFitTrim, kOptModeFitFill})
        Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { presenter_.ResizeClicked(); }, id);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { presenter_.MaintainProportionsClicked(); },
         kOptMaintainProportions);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { presenter_.ChooseClicked(); }, kOptChooseFolder);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        if (presenter_.OnOK()) EndModal(wxID_OK);
    }, wxID_OK);
}

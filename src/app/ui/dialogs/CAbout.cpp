#include "CAbout.h"

#include "TranslateWindow.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/version.h>

#include <jpeglib.h>
#include <lcms2.h>

wxString CAbout::Credits() {
    wxString lines;
    lines << wxVERSION_STRING << " (wxWidgets licence)\n";
    lines << wxString::Format("Little CMS %d.%d (MIT licence)\n", LCMS_VERSION / 1000, (LCMS_VERSION / 10) % 100);
    lines << wxString::Format("libjpeg version %d (Independent JPEG Group)\n", JPEG_LIB_VERSION);
    lines << "GTK 3, GLib and GIO (LGPL)";
    return lines;
}

CAbout::CAbout(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Zyn Lumora") {
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(new wxStaticText(this, wxID_ANY, "Zyn Lumora"), 0, wxALL, 10);
    column->Add(new wxStaticText(this, wxID_ANY, "Version 4.3.0.13"), 0, wxLEFT | wxRIGHT, 10);
    column->Add(new wxStaticText(this, wxID_ANY, Credits()), 0, wxALL, 10);
    column->Add(new wxButton(this, wxID_OK), 0, wxALL | wxALIGN_RIGHT, 10);
    SetSizerAndFit(column);
    TranslateWindowText(this, false);
    CentreOnParent();
}

#include "PrintPreviewFrame.h"

#include "CPrintPreviewView.h"
#include "LocalizedText.h"
#include "MessageBoxService.h"
#include "PagedPrintPreview.h"
#include "PrintSetup.h"
#include "StringIds.h"

PrintPreviewFrame::PrintPreviewFrame(wxPrintPreviewBase* preview, wxWindow* parent, const wxString& title)
    : wxPreviewFrame(preview, parent, title, wxDefaultPosition, wxSize(800, 700)) {}

void PrintPreviewFrame::CreateControlBar() {
    m_controlBar = new CPrintPreviewView(m_printPreview, this);
    m_controlBar->CreateButtons();
}

CPrintPreviewView* PrintPreviewFrame::ToolBar() const { return static_cast<CPrintPreviewView*>(m_controlBar); }

PrintPreviewFrame* RunPrintPreview(wxWindow* parent, wxPrintout* forPreview, wxPrintout* forPrinting,
                                   const wxString& title) {
    auto* preview = forPreview ? new PagedPrintPreview(forPreview, forPrinting, &ProgramPrintDialogData()) : nullptr;
    // A printout without its first page has nothing to preview either.
    if (!preview || !preview->IsOk() || !forPreview->HasPage(preview->GetMinPage())) {
        if (preview) delete preview;  // with both printouts
        else delete forPrinting;
        MessageBoxService::Current().Show(LoadTranslatedString(IDS_PRINT_PREVIEW_FAILED),
                                          LoadTranslatedString(IDS_APP_TITLE), MessageBoxService::kOk);
        return nullptr;
    }
    auto* frame = new PrintPreviewFrame(preview, parent, title);
    frame->Initialize();
    frame->ToolBar()->AttachToCanvas();
    frame->Show();
    return frame;
}

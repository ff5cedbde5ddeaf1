#pragma once
// The Paste Special dialog: which groups of the copied settings go to the
// selected images, with an optional live preview through the document.
// After OK the caller reads Groups(). A failure of a preview call ends the
// dialog as Cancel, and ShowModal throws it on to the caller.
#include "PasteSpecialPresenter.h"
#include "WxDialogView.h"
#include "WxEnableTarget.h"

#include <wx/dialog.h>

#include <exception>
#include <utility>

class CDocumentBase;

class CPasteSpecialDlg : public wxDialog {
public:
    // document may be null (nothing is previewed); unused is not read.
    CPasteSpecialDlg(CDocumentBase* document, int unused = 0, wxWindow* parent = nullptr);
    int ShowModal() override;

    const std::vector<int>& Groups() const { return presenter_.groups; }
    PasteSpecialPresenter& Presenter() { return presenter_; }

private:
    template <class Handler> void Run(Handler handler);

    WxDialogView view_;
    WxEnableTarget self_;
    PasteSpecialPresenter presenter_;
    std::exception_ptr failure_;
    bool initialised_ = false;
};

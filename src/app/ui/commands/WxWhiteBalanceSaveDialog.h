#pragma once
// The save dialog of Save Balance File, over the toolkit's file dialog.
#include "WhiteBalanceFileCommand.h"

class wxWindow;

class WxWhiteBalanceSaveDialog : public WhiteBalanceFileCommand::SaveDialog {
public:
    explicit WxWhiteBalanceSaveDialog(wxWindow* parent) : parent_(parent) {}
    std::optional<std::string> AskPath(const std::string& filter, const std::string& folder,
                                       const std::string& fileName) override;

private:
    wxWindow* parent_;
};

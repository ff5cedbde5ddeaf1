#include "ClickBalanceCommand.h"

#include "Image.h"
#include "ImageCommandIds.h"
#include "ImageCommandRun.h"
#include "ImageRendering.h"
#include "StringIds.h"
#include "NbErrorCodes.h"
#include "UndoTextIds.h"
#include "YlmErrp.h"

void ClickBalanceCommand::Run(ImageCommandDocument& document, const uint16_t triple[3],
                              const std::string& balanceName) {
    const bool sheet = document.CommandKind() == ImageCommandDocument::Kind::kSheet;
    document.BeginCommand();
    struct EndCommand {
        ImageCommandDocument& document;
        ~EndCommand() { document.EndCommand(); }
    } end{document};
    if (document.GetSelectedImages().empty()) return;
    std::vector<NimbalCore::ImageRendering*> failed;
    ImageCommandScope scope(document, IDS_UNDO_CLICK_BALANCE, IDS_REDO_CLICK_BALANCE, true, false, false, true,
                            false);
    try {
        for (NimbalCore::ImageRendering* rendering : document.GetSelectedImages()) {
            if (!rendering) continue;
            NimbalCore::ImageProcessParam p = rendering->GetProcessParam();
            p.SetClickBalance(triple[0], triple[1], triple[2]);
            p.lighting = p.lightingIndex;
            p.balanceType = 6;
            p.SetBalanceName(balanceName);
            if (!document.ApplyProcessParams(p, rendering) && sheet) failed.push_back(rendering);
        }
        if (sheet) ImageCommandRun::ReportFailures(failed);
    } catch (const YlmErrp& error) {
        // The images changed so far keep their new balance.
        ImageCommandRun::ShowMessage(error.GetCode() == NimbalCore::NbErrClickPointSaturated ? IDS_CLICK_SATURATED
                                     : error.GetCode() == NimbalCore::NbErrClickPointTooDark    ? IDS_CLICK_TOO_DARK
                                                                        : IDS_CLICK_FAILED);
    } catch (...) {
        ImageCommandRun::ShowMessage(IDS_CLICK_FAILED);
    }
}

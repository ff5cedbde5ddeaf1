#include "PreviewParamsApply.h"

#include "Image.h"
#include "ImageCommandRun.h"
#include "ImageRendering.h"
#include "StringIds.h"

bool PreviewParamsApply::Apply(const NimbalCore::ImageProcessParam& params, NimbalCore::ImageRendering* rendering,
                               bool* changed) {
    if (changed) *changed = false;
    if (!rendering) return false;
    const NimbalCore::ImageProcessParam before = rendering->GetProcessParam();
    if (params == before) return true;
    try {
        const NimbalCore::ImageRef image = *rendering->GetImage();
        if (!image) return false;
        if (image->ValidateProcessParams(params) != 0) {
            ImageCommandRun::ShowMessage(IDS_INVALID_PROCESS_PARAMS);
            return false;
        }
        rendering->SetProcessParam(params);
        image->SetProcessParams(params);
        if (changed) *changed = true;
        return true;
    } catch (...) {
        rendering->SetProcessParam(before);
        ImageCommandRun::ShowMessage(IDS_UNABLE_TO_RENDER_IMAGE);
        return false;
    }
}

#include "ApplyParamGroupsToImages.h"

#include "Image.h"
#include "ImageRef.h"
#include "ImageRendering.h"
#include "NbErrorCodes.h"
#include "YlmErrp.h"

namespace NimbalCore {

bool ApplyParamGroupsToImages(const std::vector<ImageRendering*>& renderings, const ImageProcessParam& source,
                              const std::vector<int>& groups, bool tag, const IPTCNAARecord2& record,
                              std::vector<ImageRendering*>& refused) {
    refused.clear();
    bool changed = false;
    for (ImageRendering* rendering : renderings) {
        const ImageRef image = rendering ? *rendering->GetImage() : ImageRef();
        if (!image) YLM_THROW("ApplyParamGroupsToImages", NbErrInvalidValue);
        const ImageProcessParam current = rendering->GetProcessParam();
        ImageProcessParam pasted = current;
        pasted.CopyGroups(source, groups);
        if (image->ValidateProcessParams(pasted) != ImageProcessParam::Valid) {
            refused.push_back(rendering);
        } else if (pasted != current) {
            image->SetProcessParams(pasted);
            changed = true;
        }
        for (int group : groups) {
            if (group == ImageProcessParam::GroupIPTC && image->SetIPTCRecord(record)) changed = true;
            if (group == ImageProcessParam::GroupTagging && image->SetTagged(tag)) changed = true;
        }
    }
    return changed;
}

} // namespace NimbalCore

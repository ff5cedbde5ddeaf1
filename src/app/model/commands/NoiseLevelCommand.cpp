#include "NoiseLevelCommand.h"

#include "Image.h"
#include "ImageCommandIds.h"
#include "ImageCommandRun.h"

#include <algorithm>

void NoiseLevelCommand::Run(ImageCommandDocument& document, int id) {
    const bool sheet = document.CommandKind() == ImageCommandDocument::Kind::kSheet;
    ImageCommandRun::Run(
        document, 0, 0,
        [id, sheet](NimbalCore::Image& image, NimbalCore::ImageProcessParam& p) {
            int mode = 0;
            if (id == kCmdNoiseLow) {
                // The newest cameras' basic reduction takes the place of
                // the older one in a sheet that holds both kinds.
                const std::vector<int> modes = image.GetNoiseReductionModes();
                mode = sheet && std::find(modes.begin(), modes.end(), 7) != modes.end() ? 7 : 1;
            } else if (id == kCmdNoiseMedium) {
                mode = 2;
            }
            p.SetNoiseReductionMode(mode);
            return ImageCommandRun::Outcome::kApply;
        },
        ImageCommandRun::Step::kNone);
}

#pragma once
// The noise levels of the Image menu: off (33100), low (33101) and medium
// (33102). They change only the noise-reduction type and leave no undo step.
#include "ImageCommandDocument.h"

class NoiseLevelCommand {
public:
    static void Run(ImageCommandDocument& document, int id);
};

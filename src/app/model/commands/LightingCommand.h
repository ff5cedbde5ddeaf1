#pragma once
// The Lighting submenu: Daylight, Tungsten, Fluorescent and Flash for the
// images of the document.
#include "ImageCommandDocument.h"

class LightingCommand {
public:
    // k: 0 daylight, 1 tungsten, 2 fluorescent, 3 flash.
    static void Run(ImageCommandDocument& document, int k);
};

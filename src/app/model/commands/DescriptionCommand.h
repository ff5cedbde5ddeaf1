#pragma once
// The image description typed into the Image Info bar: it goes to the
// focused image alone, in a step of its own.
#include "ImageCommandDocument.h"

#include <string>

class DescriptionCommand {
public:
    static void Run(ImageCommandDocument& document, const std::string& text);
};

#pragma once
// A look chosen for the document's images.
#include "ImageCommandDocument.h"

#include <string>

class LookCommand {
public:
    static void Run(ImageCommandDocument& document, const std::string& lookName);
};

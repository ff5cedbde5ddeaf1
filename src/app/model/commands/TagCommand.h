#pragma once
// Tag (Ctrl+F) and Untag (Ctrl+G) of the document's images. Only the
// images whose tag changes are touched; a step that changed none is dropped.
#include "ImageCommandDocument.h"

class TagCommand {
public:
    static void Run(ImageCommandDocument& document, bool tag);
};

#pragma once
// The commands of the Image menu as the documents receive them: each id
// runs its command on the document, and says which items carry a check.
#include "ImageCommandDocument.h"

#include <vector>

class ImageMenuCommands {
public:
    // Every id the documents bind for the Image menu.
    static const std::vector<int>& Ids();
    // Runs the command of that id; false for an id that is not one of them.
    static bool Run(ImageCommandDocument& document, int id);
    // Whether the item shows a check mark.
    static bool Checkable(int id);
};

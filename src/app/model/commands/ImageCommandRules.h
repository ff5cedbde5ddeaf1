#pragma once
// Whether the Image menu's items and the tools are enabled and checked for
// the document's focused image (or, for some, its selection).
#include "ImageCommandDocument.h"

#include <optional>

struct ImageCommandState {
    bool enable = false;
    bool check = false;
    bool operator==(const ImageCommandState&) const = default;
};

class ImageCommandRules {
public:
    // The state of the item, or none where the item is to stay as it is
    // (a focused image without parameters, an id with no rule here).
    static std::optional<ImageCommandState> Update(ImageCommandDocument& document, int id);
};

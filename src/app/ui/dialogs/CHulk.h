#pragma once
// The second hidden picture, shown after the first.
#include "PictureDialog.h"

class CHulk : public PictureDialog {
public:
    explicit CHulk(wxWindow* parent) : PictureDialog(parent, kHulk, "Hulk") {}
};

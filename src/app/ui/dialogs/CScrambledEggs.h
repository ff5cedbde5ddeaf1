#pragma once
// The first hidden picture, shown after a Ctrl+click on the splash screen.
#include "PictureDialog.h"

class CScrambledEggs : public PictureDialog {
public:
    explicit CScrambledEggs(wxWindow* parent) : PictureDialog(parent, kScrambledEggs, "Scrambled Eggs") {}
};

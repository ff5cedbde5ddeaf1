#pragma once
// 90° CW (Ctrl+R) and 90° CCW (Ctrl+Shift+R): a quarter turn of each
// image. A turn is undone by the opposite turn, so it leaves no undo step
// and the Undo item keeps naming the step before it.
#include "ImageCommandDocument.h"

class RotateCommand {
public:
    static void Run(ImageCommandDocument& document, bool clockwise);
    // The rotation after a quarter turn: 0, 90, 180 or 270.
    static float Turned(float rotation, bool clockwise);
};

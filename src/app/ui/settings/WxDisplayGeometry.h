#pragma once
// The primary display as wx reports it.
#include "DisplayGeometry.h"

class WxDisplayGeometry : public DisplayGeometry {
public:
    IntRect PrimaryScreen() override;
    IntRect PrimaryWorkArea() override;
};

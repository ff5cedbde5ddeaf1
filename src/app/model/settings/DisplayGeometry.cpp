#include "DisplayGeometry.h"

namespace {

class FixedDisplay final : public DisplayGeometry {
public:
    IntRect PrimaryScreen() override { return {0, 0, 1024, 768}; }
    IntRect PrimaryWorkArea() override { return {0, 0, 1024, 768}; }
};

FixedDisplay gFixed;
DisplayGeometry* gGeometry = nullptr;

} // namespace

DisplayGeometry& DisplayGeometry::Current() { return gGeometry ? *gGeometry : gFixed; }

void DisplayGeometry::SetCurrent(DisplayGeometry* geometry) { gGeometry = geometry; }

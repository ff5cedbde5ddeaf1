#pragma once
// A table that can be filled with a gamma curve from 0 to its top value.
#include "TableBase.h"

namespace lumora {

class CurveTable : public TableBase {
public:
    VqStatus BuildGamma(double gamma);
};

} // namespace lumora

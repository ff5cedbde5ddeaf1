#include "ZoomSteps.h"

#include <cstddef>

namespace NimbalCore {

const ZoomStepTable& GetZoomSteps() {
    static const ZoomStepTable table{400.0f, 300.0f, 200.0f, 100.0f, 67.0f, 50.0f, 33.0f, 25.0f};
    return table;
}

float NextLargerZoomStep(const ZoomStepTable& table, float zoom) {
    if (table.empty() || zoom >= table.front()) return zoom;
    float larger = zoom;
    for (float step : table) {
        if (!(step > zoom)) break;
        larger = step;
    }
    return larger;
}

float NextSmallerZoomStep(const ZoomStepTable& table, float zoom) {
    if (table.empty() || zoom <= table.back()) return zoom;
    // From the smallest step up: the first that reaches the zoom, and the
    // one below it.
    for (std::size_t i = table.size(); i-- > 0;)
        if (table[i] >= zoom) return i + 1 < table.size() ? table[i + 1] : zoom;
    return zoom;
}

} // namespace NimbalCore

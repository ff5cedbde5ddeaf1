#include "FilterRectConversions.h"

namespace NimbalCore {

int32_t FilterRectWidth(const FilterRect* r) { return r ? int32_t(int64_t(r->right) - r->left) : 0; }

int32_t FilterRectHeight(const FilterRect* r) { return r ? int32_t(int64_t(r->bottom) - r->top) : 0; }

FilterRect NbRectToFilterRect(const NbRect& r) { return FilterRect{r.top, r.left, int32_t(int64_t(r.bottom) + 1), int32_t(int64_t(r.right) + 1)}; }

NbRect FilterRectToNbRect(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    return NbRect(left, top, int32_t(int64_t(right) - 1), int32_t(int64_t(bottom) - 1));
}

} // namespace NimbalCore

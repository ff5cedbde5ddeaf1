#include "CfaReference.h"

#include <cstddef>
#include <vector>

#include "VqStatus.h"

namespace lumora::reference {

uint32_t CfaFilter(int16_t* plane, int width, int height, int size, const uint16_t* red, const uint16_t* green,
                   const uint16_t* blue) {
    if (!plane || !red || !green || !blue) return VQ_ERR_NULL_PLANES;
    if (size <= 0) return 0;
    const std::vector<int16_t> src(plane, plane + size_t(width) * size_t(height));
    auto at = [&](int y, int x) { return int32_t(src[size_t(y) * width + x]); };
    for (int y = 2; y < height - 2; ++y)
        for (int x = 2; x < width - 2; ++x) {
            const int32_t v = at(y, x);
            const bool isGreen = (y % 2) == (x % 2);
            const uint16_t* table = isGreen ? green : (y % 2 == 0 ? red : blue);
            const int32_t index = v < 0 ? 0 : (v > size - 1 ? size - 1 : v);
            const int32_t t = table[index];
            int32_t s = v, k = 1;
            auto consider = [&](int dy, int dx) {
                const int32_t n = at(y + dy, x + dx);
                if (v - t <= n && n <= v + t) {
                    s += n;
                    ++k;
                }
            };
            for (int dy : {-2, 2})
                for (int dx : {-2, 0, 2}) consider(dy, dx);
            consider(0, -2);
            consider(0, 2);
            if (isGreen)
                for (int dy : {-1, 1})
                    for (int dx : {-1, 1}) consider(dy, dx);
            plane[size_t(y) * width + x] = int16_t((s + k / 2) / k);
        }
    return 0;
}

} // namespace lumora::reference

#include "BayerMeans.h"

#include <cstddef>

namespace lumora {

VqStatus BayerMeans(const uint16_t* plane, int32_t stride, int32_t rows, int32_t x0,
                    int32_t columns, double* red, double* green, double* blue) {
    if (!plane || !red || !green || !blue) return VQ_ERR_NULL_PLANES;
    if (rows <= 0 || columns <= 0 || x0 < 0 || stride < 0) return VQ_ERR_RECT_TOO_SMALL;
    const int64_t n = int64_t(columns) * rows;
    const int64_t quarter = n / 4, halfN = n / 2;
    if (quarter == 0) return VQ_ERR_RECT_TOO_SMALL;
    // 64-bit sums: a large area must not wrap into a wrong mean.
    uint64_t sumRed = 0, sumGreen = 0, sumBlue = 0;
    for (int32_t r = 0; r < rows; ++r) {
        const uint16_t* p = plane + size_t(r) * size_t(stride) + size_t(x0);
        const bool oddRow = (r & 1) != 0;
        for (int32_t c = 0; c < columns; ++c) {
            const uint16_t v = p[c];
            const bool oddColumn = (c & 1) != 0;
            if (oddRow == oddColumn) sumGreen += v;
            else if (oddColumn) sumRed += v;
            else sumBlue += v;
        }
    }
    *red = double(sumRed) / double(quarter);
    *green = double(sumGreen) / double(halfN);
    *blue = double(sumBlue) / double(quarter);
    return VQ_OK;
}

VqStatus BayerMeans(const uint16_t* plane, int32_t stride, int32_t rows, int32_t x0,
                    int32_t columns, uint16_t* red, uint16_t* green, uint16_t* blue) {
    if (!red || !green || !blue) return VQ_ERR_NULL_PLANES;
    double r = 0, g = 0, b = 0;
    const VqStatus s = BayerMeans(plane, stride, rows, x0, columns, &r, &g, &b);
    if (s != VQ_OK) return s;
    // An odd-sized area can hold more samples of a colour than its share.
    *red = uint16_t(r < 65535.0 ? r : 65535.0);
    *green = uint16_t(g < 65535.0 ? g : 65535.0);
    *blue = uint16_t(b < 65535.0 ? b : 65535.0);
    return VQ_OK;
}

} // namespace lumora

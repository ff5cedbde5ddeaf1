// Pictures of the strip engine: sample depths, rectangles and where plane
// buffers lie.
#include "FpPictures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestra;

namespace {
std::vector<int32_t> v(const PSFRect& r) { return {r.x0, r.y0, r.x1, r.y1}; }

PSFPicture picture(PSFRect rect, int32_t width, int32_t height, int32_t columns, int32_t rows, int32_t planes = 1) {
    PSFPicture p{};
    p.rect = rect;
    p.width = width;
    p.height = height;
    p.planeCount = planes;
    for (int32_t i = 0; i < planes; ++i) p.planes[i] = PSFPlane{columns, 1, rows, columns, PSFSample8, nullptr};
    return p;
}
} // namespace

TEST(KestraPictures, SampleBitsAndRectangles) {
    const std::pair<int32_t, int32_t> bits[] = {{3, 8}, {4, 16}, {5, 16}, {10, 12}, {0, -1}, {6, -1}};
    for (const auto& [type, b] : bits) EXPECT_EQ(FpSampleBits(type), b) << type;
    PSFRect out;
    const PSFRect a{0, 0, 10, 10}, b{20, 20, 30, 30};
    FpIntersectRect(&a, &b, &out);
    EXPECT_EQ(v(out), (std::vector<int32_t>{10, 10, 10, 10}));
    EXPECT_EQ(v(FpTransposeRect(PSFRect{1, 2, 3, 4})), (std::vector<int32_t>{2, 1, 4, 3}));
    EXPECT_EQ(FpPictureExtent(nullptr, &out), -1);
}

TEST(KestraPictures, BufferRectangles) {
    const struct {
        PSFRect rect;
        int32_t columns, rows;
        FpStatus status;
        std::vector<int32_t> span;
    } cases[] = {
        {{100, 0, 200, 50}, 106, 50, FpOk, {97, 0, 203, 50}},  // centred margins of 3
        {{1, 0, 101, 50}, 104, 50, FpOk, {0, 0, 104, 50}},     // on the left edge
        {{899, 0, 999, 50}, 104, 50, FpOk, {896, 0, 1000, 50}}, // on the right edge
        {{100, 0, 200, 50}, 100, 50, FpOk, {100, 0, 200, 50}},
        {{100, 0, 200, 50}, 99, 50, FpBadPlaneBuffers, {}},      // narrower than the rectangle
        {{1, 0, 101, 50}, 1001, 50, FpBadPlaneBuffers, {}},      // wider than the picture
        {{100, 0, 200, 50}, 106, 49, FpBadPlaneBuffers, {}},
    };
    for (const auto& c : cases) {
        PSFRect out{};
        ASSERT_EQ(FpPictureBufferRect(picture(c.rect, 1000, 50, c.columns, c.rows), 0, 7, out), c.status) << c.columns;
        if (c.status == FpOk) {
            EXPECT_EQ(v(out), c.span) << c.columns;
        }
    }
    // A plane of another size spoils every mode-0 query; modes 1 and 2 give
    // the extent.
    PSFPicture p = picture({100, 0, 200, 50}, 1000, 50, 106, 50, 2);
    p.planes[1].rows = 51;
    PSFRect out;
    EXPECT_EQ(FpPictureBufferRect(p, 0, 7, out), FpBadPlaneBuffers);
    ASSERT_EQ(FpPictureBufferRect(p, 1, 7, out), FpOk);
    EXPECT_EQ(v(out), (std::vector<int32_t>{0, 0, 1000, 50}));
}

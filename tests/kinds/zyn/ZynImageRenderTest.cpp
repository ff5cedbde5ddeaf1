// Rendering the older raw files through the camera interface: strips through
// the core equal the interface's own rendering at every scale and rotation,
// gray strips arrive as three equal channels, the interface is left as a
// strip leaves it, the failures of strips and thumbnails are the caller's to
// see, and the colour transforms of the pixels.
#include "ZynTestSupport.h"

#include "BlockOMemoryPool.h"
#include "ColorServices.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "RenderBuffer.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"
#include "ZynImage.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <tuple>

namespace {

using namespace NimbalCore;
using namespace zyntest;
using factorytest::KindsScope;

class Refuse : public ProgressCB {
public:
    bool Progress(int) override {
        ++calls;
        return false;
    }
    int calls = 0;
};

// One strip through the kind's own operation, as the core asks for it:
// {top, left, bottom, right} with exclusive ends, into 16-bit RGB.
Picture Strip(ZynImage* zyn, const ImageProcessParam& params, FilterRect rect, float angle, int scale,
              ProgressCB* progress = nullptr) {
    Picture p;
    p.width = rect.right - rect.left;
    p.height = rect.bottom - rect.top;
    p.channels = 3;
    p.bytes = 2;
    p.data.assign(size_t(p.width) * size_t(p.height) * 6, 0);
    VrelSharpenPlanes planes{};
    planes.channels = 3;
    planes.bitsPerSample = 16;
    planes.pixelStride = 6;
    planes.rowStride = p.width * 6;
    planes.rows = p.height;
    planes.columns = p.width;
    planes.plane[0] = p.data.data();
    planes.plane[1] = p.data.data() + 2;
    planes.plane[2] = p.data.data() + 4;
    ImageProcessParam sent = params;
    zyn->SetParmsInImageForLinearRendering(sent);
    zyn->GetImageRectangleFromCameraSDK(0, params, rect, angle, planes, 1, scale, progress);
    return p;
}

struct InterfaceState {
    uint32_t type = 0;
    float rotation = -1;
    int16_t subsample = 0;
    SdkRect window{0, 0, 0, 0};
};

InterfaceState StateOf(ZynImage* zyn) {
    ImageInfoRecord info = zyn->GetInfoRecord();
    InterfaceState s;
    EXPECT_EQ(VqGetImageType(&info, &s.type), 0u);
    EXPECT_EQ(VqGetRotateType(&info, &s.rotation), 0u);
    EXPECT_EQ(VqGetSubSample(&info, &s.subsample), 0u);
    EXPECT_EQ(VqGetOutputWindow(&info, &s.window), 0u);
    return s;
}

bool SameWindow(const SdkRect& a, const SdkRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// The picture turned by half a turn.
Picture Turned180(Picture p) {
    const size_t pixel = size_t(p.channels) * size_t(p.bytes), n = p.data.size() / pixel;
    std::vector<uint8_t> out(p.data.size());
    for (size_t i = 0; i < n; ++i) std::memcpy(&out[(n - 1 - i) * pixel], &p.data[i * pixel], pixel);
    p.data = std::move(out);
    return p;
}

// Renders through the core equal the interface's own. Where the core cuts
// the image into strips across its rows, each strip is the interface's
// rendering of that window: the interface renders a window's first and last
// rows from the rows beyond them a little differently from the same rows
// inside a larger window, so the comparison is with the windows the core
// asked for.
TEST(ZynImageRenderTest, RendersEqualTheInterfacesAtEveryScaleAndRotation) {
    for (Fixture kind : {Fixture::Family1, Fixture::Family1Ljpeg, Fixture::Family3, Fixture::Family3Ljpeg}) {
        SCOPED_TRACE(int(kind));
        lumora::test::TempFolder files;
        const std::string path = WriteFixture(files, "IMG.ZYR", kind);
        KindsScope scope;
        std::map<std::pair<int, int>, Picture> expected;
        for (int scale : {1, 2, 4})
            for (int rotation : {0, 90, 180, 270})
                expected[{scale, rotation}] =
                    RenderThroughInterface(path, VQ_TYPE_CAMERA_RGB16, scale, float(rotation));
        // At full size the core renders the 96 rows as two strips of 48.
        const SdkRect upperWindow{0, 0, 128, 48}, lowerWindow{0, 48, 128, 48};
        Picture strips = RenderThroughInterface(path, VQ_TYPE_CAMERA_RGB16, 1, 0.0f, &upperWindow);
        const Picture lower = RenderThroughInterface(path, VQ_TYPE_CAMERA_RGB16, 1, 0.0f, &lowerWindow);
        ASSERT_EQ(strips.status | lower.status, 0u);
        strips.data.insert(strips.data.end(), lower.data.begin(), lower.data.end());
        strips.height += lower.height;
        expected[{1, 0}] = strips;
        expected[{1, 180}] = Turned180(strips);

        ImageRef image;
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
        ASSERT_NE(Zyn(image), nullptr);
        for (int scale : {1, 2, 4}) {
            for (int rotation : {0, 90, 180, 270}) {
                SCOPED_TRACE(testing::Message() << "scale " << scale << " rotation " << rotation);
                const Picture& want = expected[{scale, rotation}];
                ASSERT_EQ(want.status, 0u);
                const Picture got = RenderThroughCore(image, LinearParams(image.Get(), float(rotation)), scale, 16);
                EXPECT_EQ(got.width, want.width);
                EXPECT_EQ(got.height, want.height);
                EXPECT_TRUE(got.data == want.data);
            }
        }
    }
}

TEST(ZynImageRenderTest, EachStripIsTheInterfacesRenderingOfItsWindow) {
    lumora::test::TempFolder files;
    const std::string path = WriteFixture(files, "IMG.ZYR", Fixture::Family1Ljpeg);
    KindsScope scope;
    // {top, left, bottom, right} of the core's strip, the scale, and the
    // interface's window (in the image's own pixels) it stands for.
    const struct {
        FilterRect strip;
        int scale;
        SdkRect window;
    } cases[] = {
        {{0, 0, 96, 128}, 1, {0, 0, 128, 96}},
        {{16, 8, 40, 72}, 1, {8, 16, 64, 24}},
        // Rows 12 to 23 of the half-size image are rows 24 to 47 of the
        // image, and its columns 8 to 55 the image's 16 to 111.
        {{12, 8, 24, 56}, 2, {16, 24, 96, 24}},
        {{4, 4, 20, 28}, 4, {16, 16, 96, 64}},
    };
    std::vector<Picture> expected;
    for (const auto& c : cases) expected.push_back(RenderThroughInterface(path, VQ_TYPE_CAMERA_RGB16, c.scale, 0.0f,
                                                                          &c.window));
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(expected[i].status, 0u);
        for (float angle : {0.0f, 90.0f}) {
            const Picture got = Strip(Zyn(image), LinearParams(image.Get()), cases[i].strip, angle, cases[i].scale);
            EXPECT_TRUE(got.data == expected[i].data);
        }
    }
}

// The samples of a 16-bit portable any-map vqclient wrote, in host order;
// an empty picture when it is not one.
Picture ReadAnyMap16(const std::string& path) {
    Picture p;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    unsigned maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    in.get();
    if (!in || (magic != "P6" && magic != "P5") || maxval != 65535 || p.width <= 0 || p.height <= 0) return Picture();
    p.channels = magic == "P6" ? 3 : 1;
    p.bytes = 2;
    std::vector<uint8_t> big(size_t(p.width) * size_t(p.height) * size_t(p.channels) * 2);
    if (!in.read(reinterpret_cast<char*>(big.data()), std::streamsize(big.size())) || in.peek() != EOF)
        return Picture();
    p.data.resize(big.size());
    for (size_t i = 0; i < big.size(); i += 2) {
        const uint16_t v = uint16_t(big[i] << 8 | big[i + 1]);
        std::memcpy(&p.data[i], &v, 2);
    }
    return p;
}

// A strip with the camera's linear output is, byte for byte, what the
// camera interface's own client renders of the same file at the same output
// type, window and subsampling. The client takes its pixels through a
// buffer of 64 rows, and the interface renders the rows at the seams of its
// buffers differently, so the windows here are at most 64 rows high.
TEST(ZynImageRenderTest, LinearStripsEqualVqclientsRendering) {
    lumora::test::TempFolder files;
    const std::string path = WriteFixture(files, "IMG.ZYR", Fixture::Family1Ljpeg);
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    const struct {
        FilterRect strip;
        int scale;
        const char* window;
    } cases[] = {
        {{0, 0, 64, 128}, 1, "0,0,128,64"},
        {{32, 0, 96, 128}, 1, "0,32,128,64"},
        {{16, 8, 40, 72}, 1, "8,16,64,24"},
        {{12, 8, 24, 56}, 2, "16,24,96,24"},
        {{0, 0, 48, 64}, 2, "0,0,128,96"},
        {{4, 4, 20, 28}, 4, "16,16,96,64"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        const std::string out = (files.path() / "vq.ppm").string();
        const std::string command = std::string(ZYN_VQCLIENT) + " --render '" + out + "' --type " +
                                    std::to_string(VQ_TYPE_CAMERA_RGB16) + " --subsample " +
                                    std::to_string(c.scale) + " --window " + c.window + " '" + path + "' > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const Picture want = ReadAnyMap16(out);
        const Picture got = Strip(Zyn(image), LinearParams(image.Get()), c.strip, 0.0f, c.scale);
        ASSERT_EQ(want.channels, 3);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
        EXPECT_TRUE(got.data == want.data);
    }
}

TEST(ZynImageRenderTest, GrayStripsArriveAsThreeEqualChannels) {
    for (Fixture kind : {Fixture::Mono, Fixture::MonoLjpeg}) {
        lumora::test::TempFolder files;
        const std::string path = WriteFixture(files, "MONO.ZYR", kind);
        KindsScope scope;
        const Picture gray = RenderThroughInterface(path, VQ_TYPE_GRAY16);
        ASSERT_EQ(gray.status, 0u);
        ImageRef image;
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
        ZynImage* zyn = Zyn(image);
        ImageProcessParam params = LinearParams(zyn);
        params.colorMode = 2;
        const Picture strip = Strip(zyn, params, FilterRect{0, 0, gray.height, gray.width}, 0.0f, 1);
        ASSERT_EQ(strip.data.size(), gray.data.size() * 3);
        bool equal = true;
        for (size_t i = 0; i < gray.data.size() / 2; ++i)
            for (int c = 0; c < 3; ++c)
                equal = equal && std::memcmp(&strip.data[i * 6 + size_t(c) * 2], &gray.data[i * 2], 2) == 0;
        EXPECT_TRUE(equal);
        // And through the core into a gray buffer, the interface's samples.
        const Picture core = RenderThroughCore(image, params, 1, 16, true);
        EXPECT_TRUE(core.data == gray.data);
    }
}

TEST(ZynImageRenderTest, AStripLeavesTheInterfaceAtItsAngleWithTheWindowItHad) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1)), image), 0);
    ZynImage* zyn = Zyn(image);
    const InterfaceState before = StateOf(zyn);
    ASSERT_EQ(before.rotation, 0.0f);
    Strip(zyn, LinearParams(zyn), FilterRect{0, 0, 48, 64}, 90.0f, 2);
    const InterfaceState after = StateOf(zyn);
    EXPECT_EQ(after.rotation, 90.0f) << "the strip's angle";
    // The whole image, now counted in the turned image's coordinates.
    EXPECT_TRUE(SameWindow(after.window, SdkRect{before.window.x, before.window.y, before.window.height,
                                                 before.window.width}));
    EXPECT_EQ(after.type, uint32_t(VQ_TYPE_RGB8));
}

TEST(ZynImageRenderTest, ACallbackThatRefusesAtOnceChangesNoSetting) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1)), image), 0);
    ZynImage* zyn = Zyn(image);
    zyn->SetRotation(180.0f);
    zyn->SetOutputWindow(NbRect(8, 4, 71, 51));
    const InterfaceState before = StateOf(zyn);
    Refuse refuse;
    ImageProcessParam params = LinearParams(zyn);
    VrelSharpenPlanes planes{};
    std::vector<uint8_t> pixels(64 * 48 * 6, 0xAB);
    planes.channels = 3, planes.bitsPerSample = 16, planes.pixelStride = 6, planes.rowStride = 64 * 6;
    planes.rows = 48, planes.columns = 64, planes.plane[0] = pixels.data();
    EXPECT_EQ(CodeOf([&] { zyn->GetImageRectangleFromCameraSDK(0, params, FilterRect{0, 0, 48, 64}, 0.0f, planes, 1, 1,
                                                                &refuse); }),
              NbErrRenderCancelled);
    EXPECT_EQ(refuse.calls, 1);
    const InterfaceState after = StateOf(zyn);
    EXPECT_EQ(after.type, before.type);
    EXPECT_EQ(after.rotation, 180.0f);
    EXPECT_EQ(after.subsample, before.subsample);
    EXPECT_TRUE(SameWindow(after.window, before.window));
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint8_t b) { return b == 0xAB; }));

    // A refusal inside the interface's rendering: 1711, with the interface
    // put back all the same.
    class RefuseLater : public ProgressCB {
    public:
        bool Progress(int) override { return ++calls < 2; }
        int calls = 0;
    } later;
    EXPECT_EQ(CodeOf([&] { zyn->GetImageRectangleFromCameraSDK(0, params, FilterRect{0, 0, 48, 64}, 270.0f, planes, 1,
                                                                1, &later); }),
              NbErrRenderCancelled);
    EXPECT_EQ(StateOf(zyn).rotation, 270.0f);
}

// The core cuts an export into strips of any row count (749 rows of a
// 2996-row picture), the interface takes only even windows of eight pixels
// a side or more: such a strip is the matching part of the even window
// around it, and one at the image's edge is taken from a window moved back
// inside the image.
TEST(ZynImageRenderTest, StripsOfOddRowsAndColumnsAreCutFromTheEvenWindowAroundThem) {
    lumora::test::TempFolder files;
    const std::string path = WriteFixture(files, "IMG.ZYR", Fixture::Family1);
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ZynImage* zyn = Zyn(image);
    struct Case {
        FilterRect strip;  // top, left, bottom, right; ends exclusive
        SdkRect around;    // x, y, width, height
    };
    const Case cases[] = {
        {FilterRect{5, 3, 17, 41}, SdkRect{2, 4, 40, 14}},
        {FilterRect{93, 0, 96, 128}, SdkRect{0, 88, 128, 8}},
        {FilterRect{0, 127, 96, 128}, SdkRect{120, 0, 8, 96}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "strip from row " << c.strip.top << " column " << c.strip.left);
        const Picture got = Strip(zyn, LinearParams(zyn), c.strip, 0.0f, 1);
        const Picture around = RenderThroughInterface(path, VQ_TYPE_CAMERA_RGB16, 1, 0.0f, &c.around);
        ASSERT_EQ(around.status, 0u);
        ASSERT_EQ(around.width, c.around.width);
        const size_t pixel = 6, rowBytes = size_t(got.width) * pixel;
        for (int r = 0; r < got.height; ++r) {
            const size_t from =
                (size_t(r + c.strip.top - c.around.y) * size_t(around.width) + size_t(c.strip.left - c.around.x)) *
                pixel;
            ASSERT_EQ(std::memcmp(&got.data[size_t(r) * rowBytes], &around.data[from], rowBytes), 0) << "row " << r;
        }
    }
}

TEST(ZynImageRenderTest, WindowsTooSmallToSendAreNotSent) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1)), image), 0);
    ZynImage* zyn = Zyn(image);
    zyn->SetOutputWindow(NbRect(8, 4, 71, 51));
    zyn->SetOutputWindow(NbRect(10, 10, 10, 10));
    NbRect window;
    zyn->GetOutputWindow(window);
    EXPECT_EQ(window, NbRect(8, 4, 71, 51)) << "a 1 x 1 window is not sent";
    // A window the interface refuses (odd), and one beyond its 16-bit fields.
    EXPECT_EQ(CodeOf([&] { zyn->SetOutputWindow(NbRect(1, 0, 20, 20)); }), NbErrCameraSettingRefused);
    EXPECT_EQ(CodeOf([&] { zyn->SetOutputWindow(NbRect(0, 0, 70000, 20)); }), NbErrCameraSettingRefused);
}

TEST(ZynImageRenderTest, ThumbnailsEqualTheInterfacesAndRefuseArraysTheyCannotFill) {
    lumora::test::TempFolder files;
    const std::string path = WriteFixture(files, "IMG.ZYR", Fixture::Family1);
    KindsScope scope;
    std::map<int, Picture> expected;
    for (int rotation : {0, 90, 180, 270})
        expected[rotation] = ThumbnailThroughInterface(path, VQ_TYPE_CAMERA_RGB8, float(rotation));
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ZynImage* zyn = Zyn(image);
    for (int rotation : {0, 90, 180, 270}) {
        SCOPED_TRACE(rotation);
        ASSERT_EQ(expected[rotation].status, 0u);
        const Picture got = ThumbnailThroughCore(image, LinearParams(zyn, float(rotation)), 8);
        EXPECT_TRUE(got.data == expected[rotation].data);
        EXPECT_EQ(StateOf(zyn).rotation, 0.0f) << "the image's own rotation again";
    }

    // Too small by one byte, and not allocated: 1708, the array untouched.
    const Picture whole = expected[0];
    RenderBuffer small;
    small.SetPixelType(PixelArray::RGB);
    small.SetBytesPerSample(1);
    small.SetBounds(NbRect(0, 0, whole.width - 1, whole.height - 1));
    small.SetRowBytes(whole.width * 3);
    small.Create(whole.data.size() - 1);
    std::memset(small.GetData(), 0x5A, whole.data.size() - 1);
    ImageProcessParam params = LinearParams(zyn);
    EXPECT_EQ(CodeOf([&] { zyn->RenderThumbnail(params, small); }), NbErrThumbnailRenderFailed);
    const auto* bytes = static_cast<const uint8_t*>(small.GetData());
    EXPECT_TRUE(std::all_of(bytes, bytes + whole.data.size() - 1, [](uint8_t b) { return b == 0x5A; }));
    RenderBuffer none;
    none.SetPixelType(PixelArray::RGB);
    none.SetBytesPerSample(1);
    none.SetBounds(small.GetBounds());
    none.SetRowBytes(whole.width * 3);
    EXPECT_EQ(CodeOf([&] { zyn->RenderThumbnail(params, none); }), NbErrThumbnailRenderFailed);
    EXPECT_EQ(none.GetData(), nullptr);
    EXPECT_EQ(StateOf(zyn).type, uint32_t(VQ_TYPE_RGB8)) << "the type a failed thumbnail set is taken back";
    // Rows padded by more than the interface's one-byte pad count: the pad
    // would be cut short and the rows land in the wrong places. 1704, the
    // array untouched.
    RenderBuffer wide;
    wide.SetPixelType(PixelArray::RGB);
    wide.SetBytesPerSample(1);
    wide.SetBounds(small.GetBounds());
    wide.SetRowBytes(whole.width * 3 + 256);
    const size_t wideBytes = size_t(whole.width * 3 + 256) * size_t(whole.height);
    wide.Create(wideBytes);
    std::memset(wide.GetData(), 0x5A, wideBytes);
    EXPECT_EQ(CodeOf([&] { zyn->RenderThumbnail(params, wide); }), NbErrSetPadFailed);
    const auto* wideData = static_cast<const uint8_t*>(wide.GetData());
    EXPECT_TRUE(std::all_of(wideData, wideData + wideBytes, [](uint8_t b) { return b == 0x5A; }));
    // A rotation that is not a quarter turn is said, not silently skipped.
    params.rotation = 45.0f;
    EXPECT_EQ(CodeOf([&] { zyn->RenderThumbnail(params, small); }), NbErrBadRotation);
    EXPECT_FALSE(zyn->IsRendering());
    EXPECT_TRUE(zyn->IsClosable());
}

// The thumbnail is the picture the file stores, at its own size, and every
// pixel of the array that size asks for is written: an array filled with 0x00
// and one filled with 0xFF come back equal. A grey file's thumbnail reaches an
// RGB array (a slide's) as three equal channels of its grey thumbnail.
TEST(ZynImageRenderTest, ThumbnailsAreTheStoredPictureWithEveryPixelWritten) {
    struct Case {
        const char* what;
        Fixture kind;
        bool grayArray;
    };
    const Case cases[] = {
        {"colour file", Fixture::Family1, false},
        {"grey file, grey array", Fixture::Mono, true},
        {"grey file, RGB array", Fixture::Mono, false},
    };
    lumora::test::TempFolder files;
    KindsScope scope;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZyrSampleOptions o = FixtureOptions(c.kind, 320, 240);
        o.thumbWidth = 40;
        o.thumbHeight = 30;
        const std::string path = WriteRaw(files, std::string(c.what) + ".ZYR", o);
        ImageRef image;
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
        ZynImage* zyn = Zyn(image);
        EXPECT_EQ(image->GetNativeThumbnailRect(), NbRect(0, 0, 39, 29));
        EXPECT_EQ(image->GetThumbnailRect(), NbRect(0, 0, 39, 29));
        for (int rotation : {0, 90}) {
            SCOPED_TRACE(rotation);
            ImageProcessParam params = *image->GetProcessParams();
            params.rotation = float(rotation);
            const int w = rotation == 90 ? 30 : 40, h = rotation == 90 ? 40 : 30;
            const int channels = c.grayArray ? 1 : 3;
            std::vector<uint8_t> got[2];
            for (int fill : {0x00, 0xFF}) {
                RenderBuffer array;
                array.SetPixelType(c.grayArray ? PixelArray::Gray : PixelArray::RGB);
                array.SetBytesPerSample(1);
                array.SetBounds(NbRect(0, 0, w - 1, h - 1));
                array.SetRowBytes(w * channels);
                const size_t bytes = size_t(w) * size_t(h) * size_t(channels);
                array.Create(bytes);
                std::memset(array.GetData(), fill, bytes);
                ASSERT_EQ(CodeOf([&] { zyn->RenderThumbnail(params, array); }), 0);
                const auto* data = static_cast<const uint8_t*>(array.GetData());
                got[fill ? 1 : 0].assign(data, data + bytes);
            }
            EXPECT_TRUE(got[0] == got[1]) << "a pixel of the array was left as it was";
            const uint8_t brightest = *std::max_element(got[0].begin(), got[0].end());
            EXPECT_GT(brightest, 0) << "the stored picture, not black";
            if (c.kind == Fixture::Mono && !c.grayArray) {
                const Picture gray = ThumbnailThroughCore(image, params, 8, true);
                ASSERT_EQ(gray.data.size() * 3, got[0].size());
                for (size_t i = 0; i < gray.data.size(); ++i)
                    ASSERT_TRUE(got[0][3 * i] == gray.data[i] && got[0][3 * i + 1] == gray.data[i] &&
                                got[0][3 * i + 2] == gray.data[i])
                        << "pixel " << i;
            }
        }
        EXPECT_FALSE(zyn->IsRendering());
    }
}

TEST(ZynImageRenderTest, ACropAtAReducedScaleIsRefusedWithTheArrayUntouched) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1)), image), 0);
    ImageProcessParam params = LinearParams(image.Get());
    params.crop = NbRect(8, 8, 39, 31);
    RenderBuffer buffer;
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(1);
    buffer.SetBounds(NbRect(0, 0, 15, 11));
    buffer.SetRowBytes(16 * 3);
    buffer.Create(16 * 12 * 3);
    std::memset(buffer.GetData(), 0x77, 16 * 12 * 3);
    EXPECT_EQ(CodeOf([&] { image->RenderImage(params, buffer, true, nullptr, 2); }), NbErrNotSupported);
    const auto* bytes = static_cast<const uint8_t*>(buffer.GetData());
    EXPECT_TRUE(std::all_of(bytes, bytes + 16 * 12 * 3, [](uint8_t b) { return b == 0x77; }));
    // The same crop at full scale renders.
    RenderBuffer full;
    full.SetPixelType(PixelArray::RGB);
    full.SetBytesPerSample(1);
    full.SetBounds(NbRect(0, 0, 31, 23));
    full.SetRowBytes(32 * 3);
    ImageRendering rendering(image, params);
    EXPECT_EQ(CodeOf([&] { full.RenderFrom(&rendering, nullptr, 1, 0); }), 0);
}

TEST(ZynImageRenderTest, ARenderReportsProgressToItsCallback) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1)), image), 0);
    ZynImage* zyn = Zyn(image);
    EXPECT_TRUE(zyn->ReportRenderProgress(50)) << "no render yet: nothing to refuse";
    class Count : public ProgressCB {
    public:
        bool Progress(int percent) override {
            seen.push_back(percent);
            return true;
        }
        std::vector<int> seen;
    } count;
    ImageRendering rendering(image, LinearParams(zyn));
    RenderBuffer buffer;
    buffer.SetPixelType(PixelArray::RGB);
    buffer.SetBytesPerSample(2);
    const NbRect native = zyn->GetNativeImageRect();
    buffer.SetBounds(native);
    buffer.SetRowBytes(int32_t(native.Width() * 6));
    buffer.RenderFrom(&rendering, &count, 1, 1);
    ASSERT_FALSE(count.seen.empty());
    EXPECT_EQ(count.seen.back(), 100);
    // The callback belongs to its render: once it returned, the image no
    // longer calls an object its caller may have let go.
    count.seen.clear();
    EXPECT_TRUE(zyn->ReportRenderProgress(42));
    EXPECT_TRUE(count.seen.empty());
}

} // namespace

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The address space this process holds now, in bytes.
uint64_t AddressSpace() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * uint64_t(::sysconf(_SC_PAGESIZE));
}

// In a child process: the whole image as one strip once the address space
// is capped just above what is in use, so that the interface cannot have the
// sensor data. Exits with 0 when the strip failed with 1502.
[[noreturn]] void RenderWithoutMemory(const std::string& path) {
    KindsScope scope;
    ImageRef image;
    if (ImageWerks().OpenImage(FilePathSpec(path), image) != 0) _exit(2);
    ZynImage* zyn = Zyn(image);
    const ImageProcessParam params = LinearParams(zyn);
    std::vector<uint8_t> pixels(size_t(1996) * 1496 * 6);
    VrelSharpenPlanes planes{};
    planes.channels = 3, planes.bitsPerSample = 16, planes.pixelStride = 6, planes.rowStride = 1996 * 6;
    planes.rows = 1496, planes.columns = 1996;
    planes.plane[0] = pixels.data(), planes.plane[1] = pixels.data() + 2, planes.plane[2] = pixels.data() + 4;
    ImageProcessParam sent = params;
    zyn->SetParmsInImageForLinearRendering(sent);
    const rlimit cap{AddressSpace() + (uint64_t(2) << 20), RLIM_INFINITY};
    if (::setrlimit(RLIMIT_AS, &cap) != 0) _exit(3);
    const int code = CodeOf([&] {
        zyn->GetImageRectangleFromCameraSDK(0, params, FilterRect{0, 0, 1496, 1996}, 0.0f, planes, 1, 1, nullptr);
    });
    _exit(code == NbErrAllocFailed ? 0 : 10 + code % 100);
}

// The interface runs out of memory in the middle of a strip: the strip fails
// with 1502, which the program reports as memory, not as a broken file.
TEST(ZynImageRenderDeathTest, AnInterfaceOutOfMemoryIs1502) {
    if (kSanitized) GTEST_SKIP() << "a sanitizer's own memory needs the address space";
    lumora::test::TempFolder files;
    const std::string path = WriteFixture(files, "BIG.ZYR", Fixture::Family1, 2000, 1500);
    EXPECT_EXIT(RenderWithoutMemory(path), testing::ExitedWithCode(0), "");
}

} // namespace

namespace {

// Which transform a parameter set gets, by look kind, transform kind, output
// mode and working space: the colour engine hands equal chains the same
// cached transform, so each is compared with the chain it must be.
TEST(ZynImageColourTest, TransformsFollowTheLookKindAndTheOutput) {
    lumora::test::TempFolder files;
    KindsScope scope;
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(WriteFixture(files, "IMG.ZYR", Fixture::Family1)), image), 0);
    ColorServices* services = ColorServices::Get();
    ASSERT_NE(services, nullptr);
    const std::string source = StaticProfileTable::Description(StaticProfileTable::kZynRGB);
    const std::string lab = StaticProfileTable::Description(StaticProfileTable::kLab);
    const std::string display = StaticProfileTable::DisplayDescription();
    const std::string srgb = StaticProfileTable::Description(StaticProfileTable::kSRGB);
    auto chain = [&](const std::string& from, const std::string& to) {
        return services->GetTransform({{from, 1, {}}, {to, 2, {}}}, 1).Get();
    };
    struct Row {
        const char* what;
        int colorMode, outputMode;
        std::string space;
        int kind;
        ColorTransform* expected;
    };
    const Row rows[] = {
        {"linear", 1, 1, srgb, 1, nullptr},
        {"a working space", 0, 0, srgb, 1, chain(source, srgb)},
        {"to Lab for sharpening", 0, 0, srgb, 2, chain(source, lab)},
        {"from Lab after sharpening", 0, 0, srgb, 3, chain(lab, srgb)},
        {"the display", 2, 1, "", 1, chain(source, display)},
        {"the display, from Lab", 0, 1, srgb, 3, chain(lab, display)},
        {"no working space", 0, 0, "", 1, nullptr},
        {"the source space itself", 0, 0, source, 1, nullptr},
        {"the file's own profile after sharpening", 3, 0, srgb, 3, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ImageProcessParam p = *image->GetProcessParams();
        p.colorMode = r.colorMode;
        p.outputSpaceMode = r.outputMode;
        p.workingSpaceName = r.space;
        EXPECT_EQ(image->BuildColorTransform(p, 1, r.kind).Get(), r.expected);
    }
    // Look kind 3: the source profile's own transform, not a chain.
    ImageProcessParam own = *image->GetProcessParams();
    own.colorMode = 3;
    EXPECT_NE(image->BuildColorTransform(own, 1, 1).Get(), nullptr);
    EXPECT_NE(image->BuildColorTransform(own, 1, 2).Get(), nullptr);
}

// A thumbnail into a working space is the interface's thumbnail converted
// in place; a linear one is the interface's as it comes.
TEST(ZynImageColourTest, ThumbnailsAreConvertedInPlace) {
    lumora::test::TempFolder files;
    const std::string path = WriteFixture(files, "IMG.ZYR", Fixture::Family1);
    KindsScope scope;
    const Picture plain = ThumbnailThroughInterface(path, VQ_TYPE_RGB8);
    ASSERT_EQ(plain.status, 0u);
    ImageRef image;
    ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0);
    ImageProcessParam params = LinearParams(image.Get());
    params.colorMode = 0;
    const Picture unconverted = ThumbnailThroughCore(image, params, 8);
    EXPECT_TRUE(unconverted.data == plain.data) << "the source space: no conversion";
    params.workingSpaceName = StaticProfileTable::Description(StaticProfileTable::kSRGB);
    const Picture converted = ThumbnailThroughCore(image, params, 8);
    // Converted with the same transform, by hand.
    YlmRefPtr<ColorTransform> transform = image->BuildColorTransform(params, PixelSample8, 1);
    ASSERT_TRUE(transform);
    std::vector<uint8_t> expected = plain.data;
    PixelLayout layout{};
    layout.sampleType = PixelSample8;
    layout.columns = plain.width;
    layout.rows = plain.height;
    layout.columnOffset = 3;
    layout.rowOffset = plain.width * 3;
    layout.channels = 3;
    layout.base[0] = expected.data(), layout.base[1] = expected.data() + 1, layout.base[2] = expected.data() + 2;
    transform->Evaluate(layout, layout);
    EXPECT_TRUE(converted.data == expected);
    EXPECT_FALSE(converted.data == plain.data);
}

} // namespace

#pragma once
// What the tests of the older raw kind share: files of every kind the camera
// interface reads, renders made straight through the interface (as vqclient
// makes them) to compare with, and renders through the core as a view makes
// them.
#include "FactoryTestSupport.h"
#include "ImageRef.h"
#include "ImageProcessParam.h"
#include "PixelArray.h"
#include "TempFolder.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

#include "Vq.h"
#include "ZynImage.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zyntest {

enum class Fixture { Family1, Family1Ljpeg, Family3, Family3Ljpeg, Mono, MonoLjpeg, CameraJpeg, RgbTiff, Oldest };

// A file of that kind with a sensor (or image) of width x height.
std::string WriteFixture(const lumora::test::TempFolder& folder, const std::string& name, Fixture kind,
                         uint32_t width = 132, uint32_t height = 100);
// A raw file written from options as they are, then changed by edit (its
// directories at hand).
using RawEdit = std::function<void(ZyrWriter&, const ZyrSample::Ifds&)>;
std::string WriteRaw(const lumora::test::TempFolder& folder, const std::string& name, const ZyrSampleOptions& options,
                     const RawEdit& edit = RawEdit());
// Looks 0 to count - 1 of the file's look table (a curve and a matrix each).
RawEdit Looks(int count);
// The options of WriteFixture's raw files (whose colour files carry two looks).
ZyrSampleOptions FixtureOptions(Fixture kind, uint32_t width = 132, uint32_t height = 100);

// Samples as the interface delivers them, in host order.
struct Picture {
    uint32_t status = 0;
    int width = 0, height = 0, channels = 0, bytes = 0;
    std::vector<uint8_t> data;
};
// The whole image (or the window, in output coordinates) through VqGetImage
// at the output type, subsampling and rotation, with the file's own settings.
Picture RenderThroughInterface(const std::string& path, uint32_t type, int subsample = 1, float rotation = 0.0f,
                               const SdkRect* window = nullptr);
Picture ThumbnailThroughInterface(const std::string& path, uint32_t type, float rotation = 0.0f);

// Renders as a view does: the level of the scale, turned by the parameters'
// rotation, into a buffer of that depth (RGB, or gray for a gray buffer);
// the thumbnail into an array of the image's thumbnail rectangle, cleared.
Picture RenderThroughCore(const NimbalCore::ImageRef& image, const NimbalCore::ImageProcessParam& params, int scale,
                          int depth, bool gray = false);
Picture ThumbnailThroughCore(const NimbalCore::ImageRef& image, const NimbalCore::ImageProcessParam& params,
                             int depth, bool gray = false);

// The parameters a byte-for-byte comparison uses: the image's own, with the
// camera's linear output (look kind 1), no sharpening and the source space.
NimbalCore::ImageProcessParam LinearParams(NimbalCore::Image* image, float rotation = 0.0f);

// The code a call throws (0 when it does not).
int CodeOf(const std::function<void()>& call);

// The older raw kind behind an image (null for another kind).
NimbalCore::ZynImage* Zyn(const NimbalCore::ImageRef& image);

// A file opened through the image factory, as the program opens it.
NimbalCore::ImageRef OpenFile(const std::string& path);

// A file's bytes.
std::string ReadAll(const std::string& path);

} // namespace zyntest

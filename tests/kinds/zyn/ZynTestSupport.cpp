#include "ZynTestSupport.h"

#include "Image.h"
#include "ImageWerks.h"
#include "ImageRendering.h"
#include "RenderBuffer.h"
#include "YlmErrp.h"
#include "ZyrCameraFile.h"
#include "ZyrOldestSample.h"
#include "ZyrWriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>

namespace zyntest {

using namespace NimbalCore;

namespace {

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

// The rows of a rendered buffer, without their padding.
Picture FromBuffer(RenderBuffer& buffer, int channels, int bytes) {
    Picture p;
    const NbRect b = buffer.GetBounds();
    p.width = int(b.Width());
    p.height = int(b.Height());
    p.channels = channels;
    p.bytes = bytes;
    const size_t row = size_t(p.width) * size_t(channels) * size_t(bytes);
    const auto* data = static_cast<const uint8_t*>(buffer.GetData());
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* from = data + size_t(y) * size_t(buffer.GetRowBytes());
        p.data.insert(p.data.end(), from, from + row);
    }
    return p;
}

} // namespace

std::string WriteRaw(const lumora::test::TempFolder& folder, const std::string& name, const ZyrSampleOptions& options,
                     const RawEdit& edit) {
    ZyrWriter writer(options.order);
    const ZyrSample::Ifds ifds = ZyrSample::Fill(writer, options);
    if (edit) edit(writer, ifds);
    const std::string path = folder.file(name);
    Write(path, writer.Build());
    return path;
}

std::string WriteFixture(const lumora::test::TempFolder& folder, const std::string& name, Fixture kind,
                         uint32_t width, uint32_t height) {
    const std::string path = folder.file(name);
    if (kind == Fixture::CameraJpeg || kind == Fixture::RgbTiff) {
        ZyrCameraFileOptions o;
        o.rgbTiff = kind == Fixture::RgbTiff;
        // RGB TIFF files are wider than 512 pixels.
        o.width = o.rgbTiff ? std::max<uint32_t>(width, 520) : width;
        o.height = height;
        o.settingsData = true;
        o.tagWord = 1;
        Write(path, ZyrCameraFile::Make(o));
        return path;
    }
    if (kind == Fixture::Oldest) {
        ZyrOldestOptions o;
        Write(path, ZyrOldestSample::Make(o));
        return path;
    }
    const ZyrSampleOptions o = FixtureOptions(kind, width, height);
    return WriteRaw(folder, name, o, o.colour ? Looks(2) : RawEdit());
}

RawEdit Looks(int count) {
    return [count](ZyrWriter& w, const ZyrSample::Ifds& ifds) {
        std::vector<uint16_t> curve(4096);
        for (uint32_t i = 0; i < curve.size(); ++i) curve[i] = uint16_t(i);
        for (int look = 0; look < 10; ++look) {
            w.Remove(ifds.privateIfd, uint16_t(3610 + look));
            w.Remove(ifds.privateIfd, uint16_t(3670 + look));
        }
        for (int look = 0; look < count; ++look) {
            w.Shorts(ifds.privateIfd, uint16_t(3610 + look), curve);
            w.Rationals(ifds.privateIfd, uint16_t(3670 + look),
                        {{100, 100}, {0, 100}, {0, 100}, {0, 100}, {100, 100}, {0, 100}, {0, 100}, {0, 100}, {100, 100}},
                        10);
        }
    };
}

ZyrSampleOptions FixtureOptions(Fixture kind, uint32_t width, uint32_t height) {
    ZyrSampleOptions o;
    o.sensorWidth = width;
    o.sensorHeight = height;
    o.tagWord = 1;
    o.settingsData = true;
    o.model = (kind == Fixture::Family3 || kind == Fixture::Family3Ljpeg) ? "ZYNM16" : "ZYNM11";
    o.colour = kind != Fixture::Mono && kind != Fixture::MonoLjpeg;
    o.ljpegSensor = kind == Fixture::Family1Ljpeg || kind == Fixture::Family3Ljpeg || kind == Fixture::MonoLjpeg;
    return o;
}

Picture RenderThroughInterface(const std::string& path, uint32_t type, int subsample, float rotation,
                               const SdkRect* window) {
    Picture p;
    ImageInfoRecord info;
    std::memset(&info, 0, sizeof info);
    if ((p.status = VqOpenImageFile(path.c_str(), &info))) return p;
    auto close = [&] { VqCloseImage(&info); };
    if ((p.status = VqSetImageType(&info, type)) || (p.status = VqSetSubSample(&info, int16_t(subsample))) ||
        (p.status = VqSetRotateType(&info, rotation)) || (window && (p.status = VqSetOutputWindow(&info, window)))) {
        close();
        return p;
    }
    const ImageGeometry& g = info.geometry;
    p.width = g.outputWidth;
    p.height = g.outputHeight;
    p.channels = g.channels;
    p.bytes = g.bytesPerSample;
    p.data.assign(size_t(p.width) * size_t(p.height) * size_t(p.channels) * size_t(p.bytes), 0);
    // One buffer for the whole picture: each strip follows the last.
    ImageBufferRecord buffer{p.data.data(), uint32_t(p.data.size()), 0,
                             [](void* at, uint32_t bytes, int32_t) -> void* { return static_cast<uint8_t*>(at) + bytes; }};
    p.status = VqGetImage(&info, &buffer, nullptr);
    close();
    return p;
}

Picture ThumbnailThroughInterface(const std::string& path, uint32_t type, float rotation) {
    Picture p;
    ImageInfoRecord info;
    std::memset(&info, 0, sizeof info);
    if ((p.status = VqOpenImageFile(path.c_str(), &info))) return p;
    if ((p.status = VqSetImageType(&info, type)) || (p.status = VqSetRotateType(&info, rotation))) {
        VqCloseImage(&info);
        return p;
    }
    const ImageGeometry& g = info.geometry;
    p.width = g.fullWidth;
    p.height = g.fullHeight;
    p.channels = g.channels;
    p.bytes = g.bytesPerSample;
    p.data.assign(size_t(g.fullBytes), 0);
    p.status = VqGetThumbnail(&info, p.data.data());
    VqCloseImage(&info);
    return p;
}

Picture RenderThroughCore(const ImageRef& image, const ImageProcessParam& params, int scale, int depth, bool gray) {
    ImageRendering rendering(image, params);
    // The level's size as the core divides the image (a level the image does
    // not offer is rendered all the same).
    const NbRect native = image->GetNativeImageRect();
    int64_t w = native.Width() / scale, h = native.Height() / scale;
    if (params.rotation == 90.0f || params.rotation == 270.0f) std::swap(w, h);
    const int channels = gray ? 1 : 3, bytes = depth / 8;
    RenderBuffer buffer;
    buffer.SetPixelType(gray ? PixelArray::Gray : PixelArray::RGB);
    buffer.SetBytesPerSample(bytes);
    buffer.SetBounds(NbRect(0, 0, int32_t(w - 1), int32_t(h - 1)));
    buffer.SetRowBytes(int32_t(w * channels * bytes));
    buffer.RenderFrom(&rendering, nullptr, scale, 1);
    return FromBuffer(buffer, channels, bytes);
}

Picture ThumbnailThroughCore(const ImageRef& image, const ImageProcessParam& params, int depth, bool gray) {
    const NbRect area = image->GetNativeThumbnailRect();
    int64_t w = area.Width(), h = area.Height();
    if (params.rotation == 90.0f || params.rotation == 270.0f) std::swap(w, h);
    const int channels = gray ? 1 : 3, bytes = depth / 8;
    RenderBuffer buffer;
    buffer.SetPixelType(gray ? PixelArray::Gray : PixelArray::RGB);
    buffer.SetBytesPerSample(bytes);
    buffer.SetBounds(NbRect(0, 0, int32_t(w - 1), int32_t(h - 1)));
    buffer.SetRowBytes(int32_t(w * channels * bytes));
    // The interface writes its thumbnail at the start of the array; what it
    // does not reach stays as it was, here zero.
    buffer.Create(uint64_t(w * h * channels * bytes));
    std::memset(buffer.GetData(), 0, size_t(w * h * channels * bytes));
    image->RenderThumbnail(params, buffer);
    return FromBuffer(buffer, channels, bytes);
}

ImageProcessParam LinearParams(Image* image, float rotation) {
    ImageProcessParam params = *image->GetProcessParams();
    params.colorMode = 1;
    params.rotation = rotation;
    params.sharpenAmount = 0;
    params.crop = image->GetNativeImageRect();
    params.workingSpaceName = image->GetSourceColorSpaceName();
    return params;
}

int CodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const YlmErrp& e) {
        return e.GetCode();
    } catch (int code) {
        return code;
    }
    return 0;
}

ZynImage* Zyn(const ImageRef& image) { return dynamic_cast<ZynImage*>(image.Get()); }

ImageRef OpenFile(const std::string& path) {
    ImageRef image;
    EXPECT_EQ(CodeOf([&] { EXPECT_EQ(ImageWerks().OpenImage(FilePathSpec(path), image), 0) << path; }), 0);
    return image;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace zyntest

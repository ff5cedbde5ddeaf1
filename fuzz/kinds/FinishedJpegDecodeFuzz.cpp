// Decoding any bytes that open as a finished JPEG through our source and
// error managers: the main image at full size and reduced, and the
// thumbnail of whatever kind the file gives.
#include "ExportImageArray.h"
#include "FinishedJPEGImage.h"
#include "YlmErrp.h"

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace NimbalCore;

namespace {

void Render(FinishedJPEGImage& image, const NbRect& r, bool thumbnail) {
    if (r.Width() <= 0 || r.Height() <= 0 || r.Width() * r.Height() > (1 << 20)) return;
    ExportImageArray out;
    out.SetPixelType(image.GetSamplesPerPixel() == 1 ? PixelArray::Gray : PixelArray::RGB);
    out.SetBounds(r);
    out.SetRowBytes(int32_t(r.Width() * out.GetChannels()));
    out.Create(uint64_t(r.Height()) * uint64_t(out.GetRowBytes()));
    try {
        if (thumbnail) image.RenderThumbnail(ImageProcessParam(), out);
        else image.RenderImage(ImageProcessParam(), out, false, nullptr, 1);
    } catch (const YlmErrp&) {
    } catch (int) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/lumora-fuzz-jpeg-decode-" + std::to_string(getpid()) + ".jpg";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    FinishedJPEGImage image{FilePathSpec(path)};
    if (image.Open() != 0) return 0;
    Render(image, image.GetNativeImageRect(), false);
    Render(image, image.GetNativeThumbnailRect(), true);
    return 0;
}

// The finished JPEG kind's opening on any bytes: the marker walk with its
// Exif, ICC, Photoshop and large-thumbnail segments, the directories, the
// JPEG headers and the choice of the thumbnail.
#include "FinishedJPEGImage.h"

#include <cstdio>
#include <string>
#include <unistd.h>

using namespace NimbalCore;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/lumora-fuzz-jpeg-markers-" + std::to_string(getpid()) + ".jpg";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    FinishedJPEGImage image{FilePathSpec(path)};
    if (image.Open() == 0) {
        image.GetThumbnailRect();
        image.Close();
        image.Open();
    }
    return 0;
}

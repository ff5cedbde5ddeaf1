// pro_roundtrip_reader FILE
//
// The second process of the metadata round trip: opens a raw file of the
// newest models through the stand-in drivers, as a fresh program would, and
// prints what it finds, one "key=value" line each: tagged, annotation,
// exposure, crop, object name (IPTC 2:05). Exits 1 when the file does not
// open.
#include "IPTCNAARecord2.h"
#include "ImagePool.h"
#include "ImageRef.h"
#include "NbErrorCodes.h"
#include "ProImage.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    using namespace NimbalCore;
    if (argc != 2) {
        std::fprintf(stderr, "usage: pro_roundtrip_reader FILE\n");
        return 2;
    }
    ProImage::InstallPoolSteps();
    ImagePool* pool = ImagePool::Instance();
    int code = NbErrImageFileOpenFailed;
    {
        ImageRef image;
        const int32_t statuses[3] = {pool->wren3DriverStatus, pool->ploverDriverStatus, pool->wren4DriverStatus};
        for (int kind = 0; kind < 3 && !image; ++kind) {
            if (statuses[kind] != 0) continue;
            ImageRef candidate(new ProImage(FilePathSpec(argv[1]), kind));
            if (candidate->Open() == 0) image = candidate;
        }
        if (image) {
            code = 0;
            const ImageProcessParam* p = image->GetProcessParams();
            std::printf("tagged=%d\n", image->IsTagged() ? 1 : 0);
            std::printf("annotation=%s\n", image->GetAnnotation().c_str());
            std::printf("exposure=%.3f\n", double(p->exposureCompensation));
            std::printf("crop=%d,%d,%d,%d\n", p->crop.left, p->crop.top, p->crop.right, p->crop.bottom);
            const uint8_t* data = nullptr;
            uint16_t length = 0;
            int index = 0;
            for (bool ok = image->GetIPTCRecord()->GetFirstDataset(&index, &data, &length); ok;
                 ok = image->GetIPTCRecord()->GetNextDataset(&index, &data, &length))
                if (index == IPTCNAARecord2::kObjectName)
                    std::printf("object=%s\n", std::string(reinterpret_cast<const char*>(data), length).c_str());
        }
    }
    ImagePool::DeleteInstance();
    if (code != 0) std::printf("code=%d\n", code);
    return code == 0 ? 0 : 1;
}

#pragma once
// The fixture of the JPEG exporter's tests: the in-memory image kind
// answering the quality presets for its tables, one export with its outcome,
// and the pieces of the written file (segments, Exif block, preview).
#include "ExportJPEGImage.h"
#include "ExportSizeOptions.h"
#include "ExportTestSupport.h"
#include "FakeImage.h"
#include "ImageRendering.h"
#include "JpegQualityPreset.h"
#include "JpegTestSupport.h"
#include "ProgressCB.h"
#include "ScaledExportTest.h"

#include <gtest/gtest.h>

namespace jpegtest {

using namespace NimbalCore;
using exporttest::BigEndianTiff;
using exporttest::Outcome;
using exporttest::TempFolder;
using exporttest::TiffDirectory;

// The in-memory kind, answering the presets as a camera without tables of
// its own does.
class PresetImage : public coretest::FakeImage {
public:
    using FakeImage::FakeImage;
    bool GetJPEGQuantizationTables(bool chroma, int rowCode, int columnCode, int* table, int* quality) override {
        ++tableCalls;
        return GetJpegQuantTable(0, chroma, rowCode, columnCode, table, quality);
    }
    int tableCalls = 0;
};

struct JpegSetup {
    int colorMode = 1;
    std::vector<int> colorModes{0, 1, 2};
    NbRect crop;
    ExportSizeOptions size;
    int quality = 0;
    bool label = false;
    ProgressCB* progress = nullptr;
};

class JpegExportTest : public exporttest::ScaledExportTest {
protected:
    PresetImage* MakeImage(int32_t w, int32_t h) {
        auto* fake = new PresetImage(folder_ / "source.tif", w, h);
        hold_ = ImageRef(fake);
        fake->FillPattern();
        fake->cameraModel_ = "X200";
        fake->cameraMake_ = "Orvex";
        fake->dateTimeString_ = "2024:03:05 14:07:09";
        return fake;
    }

    ImageProcessParam Params(coretest::FakeImage* fake, const JpegSetup& s) {
        fake->colorModes = s.colorModes;
        ImageProcessParam p;
        p.colorMode = s.colorMode;
        p.crop = s.crop.IsNull() ? fake->GetImageRect() : s.crop;
        return p;
    }

    Outcome Run(ExportJPEGImage& e, const JpegSetup& s) {
        e.SetSizeOptions(s.size);
        e.SetRenderGPSText(s.label);
        e.SetProgressCB(s.progress);
        e.SetQualityCode(s.quality);
        return Save(e);
    }

    Outcome Export(coretest::FakeImage* fake, const std::string& target, const JpegSetup& s) {
        ImageRendering rendering(hold_, Params(fake, s));
        ExportJPEGImage e(rendering, FilePathSpec(target), &array_);
        return Run(e, s);
    }
};

inline const Segment* Find(const std::vector<Segment>& segments, uint8_t marker) {
    for (const Segment& s : segments)
        if (s.marker == marker) return &s;
    return nullptr;
}

// The Exif TIFF block of the APP1 segment and where it starts in the file.
inline BigEndianTiff ExifBlock(const std::vector<uint8_t>& file, uint64_t* start = nullptr) {
    const std::vector<Segment> segments = WalkMarkers(file);
    const Segment* app1 = Find(segments, 0xE1);
    if (!app1) return BigEndianTiff({});
    if (start) *start = app1->at + 10;
    const std::vector<uint8_t> content = app1->Content(file);
    return BigEndianTiff(std::vector<uint8_t>(content.begin() + 6, content.end()));
}

// The JPEG stream after the APP4 preview segment's 22-byte header.
inline std::vector<uint8_t> PreviewStream(const std::vector<uint8_t>& file, int* width = nullptr,
                                          int* height = nullptr) {
    const std::vector<Segment> segments = WalkMarkers(file);
    const Segment* app4 = Find(segments, 0xE4);
    if (!app4) return {};
    if (width) *width = Big16(file, app4->at + 16);
    if (height) *height = Big16(file, app4->at + 18);
    return std::vector<uint8_t>(file.begin() + int64_t(app4->at) + 22, file.begin() + int64_t(app4->at) + 2 + app4->length);
}

// The small thumbnail the Exif block's IFD1 points at.
inline std::vector<uint8_t> ExifThumbnail(const std::vector<uint8_t>& file) {
    uint64_t start = 0;
    const BigEndianTiff t = ExifBlock(file, &start);
    if (!t.Valid()) return {};
    const TiffDirectory ifd1 = t.Directory(t.Directory(8).next);
    if (!ifd1.fields.count(513) || !ifd1.fields.count(514)) return {};
    const uint64_t at = start + t.Value(ifd1.fields.at(513)), n = t.Value(ifd1.fields.at(514));
    if (at + n > file.size()) return {};
    return std::vector<uint8_t>(file.begin() + int64_t(at), file.begin() + int64_t(at + n));
}

// The compressed stream from its first DQT to the end.
inline std::vector<uint8_t> FromFirstDQT(const std::vector<uint8_t>& file) {
    for (const Segment& s : WalkMarkers(file))
        if (s.marker == 0xDB) return std::vector<uint8_t>(file.begin() + int64_t(s.at), file.end());
    return {};
}

} // namespace jpegtest

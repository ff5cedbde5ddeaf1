// The export base: the output geometry of the four resize modes with their
// errors, the strip plan, the model, software, unit and sound texts, the
// date form, and the copyright exchange between Exif and IPTC.
#include "ExportImage.h"
#include "ExportImageArray.h"
#include "ExportTags.h"
#include "ExportTestSupport.h"
#include "FakeImage.h"
#include "ImagePool.h"
#include "NbErrorCodes.h"
#include "NearestScaler.h"
#include "TiffBuilder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace NimbalCore;
using coretest::FakeImage;
using exporttest::NearestScaler;
using exporttest::NearestScalerLog;
using exporttest::ResizeOptions;

namespace {

class ProbeExport : public ExportImage {
public:
    using ExportImage::ExportImage;
    void SaveFile() override {}
    int Prepare(int channels) {
        cropRect_ = scaledRect_ = outputRect_ = rendering_->GetCropDimensions();
        return SetupResize(channels);
    }
    TiffBuilder* NewBuilder() {
        builder_.reset(new TiffBuilder(TiffBuilder::TiffFile));
        return builder_.get();
    }
    Exif& GetExif() { return exif_; }
    IPTCNAARecord2& Iptc() { return iptc_; }
    std::string& Copyright() { return copyright_; }
};

class ExportImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        NearestScalerLog::Reset();
        SetExportScalerFactory(&NearestScaler::Make);
    }
    void TearDown() override {
        SetExportScalerFactory(nullptr);
        ImagePool::DeleteInstance();
    }
    ExportImageArray array_;
};

} // namespace

TEST_F(ExportImageTest, GeometryOfTheResizeModes) {
    const struct {
        const char* name;
        int32_t imageW, imageH;
        NbRect crop;
        ExportSizeOptions options;
        int result;
        bool resized;
        NbRect scaled, output, padding;
    } cases[] = {
        {"percent 50", 1200, 900, NbRect(100, 100, 1099, 799), ResizeOptions(ResizeByPercent, 50, 0, 0), 0, true,
         NbRect(50, 50, 549, 399), NbRect(50, 50, 549, 399), NbRect()},
        {"percent 100 is no resize", 1200, 900, NbRect(100, 100, 1099, 799), ResizeOptions(ResizeByPercent, 100, 0, 0), 0,
         false, NbRect(100, 100, 1099, 799), NbRect(100, 100, 1099, 799), NbRect()},
        {"fit, height-led", 3000, 2000, NbRect(0, 0, 2999, 1999), ResizeOptions(ResizeToFit, 0, 1000, 1000), 0, true,
         NbRect(0, 0, 999, 665), NbRect(0, 0, 999, 665), NbRect()},
        {"fit inside the 2 % band is up to 2 % larger", 3000, 2000, NbRect(0, 0, 2999, 1999),
         ResizeOptions(ResizeToFit, 0, 1500, 1010), 0, true, NbRect(0, 0, 1514, 1009), NbRect(0, 0, 1514, 1009), NbRect()},
        {"pad to 1000 x 1000", 3000, 2000, NbRect(0, 0, 2999, 1999), ResizeOptions(ResizeToFitAndPad, 0, 1000, 1000), 0, true,
         NbRect(0, 0, 999, 665), NbRect(0, 0, 999, 999), NbRect(0, 167, 0, 167)},
        {"pad to 1000 x 1001", 3000, 2000, NbRect(0, 0, 2999, 1999), ResizeOptions(ResizeToFitAndPad, 0, 1000, 1001), 0,
         true, NbRect(0, 0, 999, 665), NbRect(0, 0, 999, 1000), NbRect(0, 167, 0, 168)},
        {"pad inside the 2 % band stays inside", 3000, 2000, NbRect(0, 0, 2999, 1999),
         ResizeOptions(ResizeToFitAndPad, 0, 1500, 1010), 0, true, NbRect(0, 0, 1499, 999), NbRect(0, 0, 1499, 1009),
         NbRect(0, 5, 0, 5)},
        {"fill cuts around the centre", 3000, 2000, NbRect(0, 0, 2999, 1999), ResizeOptions(ResizeToFill, 0, 1000, 1000), 0,
         true, NbRect(250, 0, 1249, 999), NbRect(250, 0, 1249, 999), NbRect()},
        {"fill of an off-centre crop", 3000, 2000, NbRect(2000, 0, 2999, 999), ResizeOptions(ResizeToFill, 0, 500, 500), 0,
         true, NbRect(1000, 0, 1499, 499), NbRect(1000, 0, 1499, 499), NbRect()},
        {"too wide", 3000, 2000, NbRect(0, 0, 2999, 1999), ResizeOptions(ResizeToFill, 0, 20000, 1000),
         NbErrExportTooLarge, true, NbRect(), NbRect(), NbRect()},
        {"zero width", 3000, 2000, NbRect(0, 0, 2999, 1999), ResizeOptions(ResizeToFit, 0, 0, 1000), NbErrBadArgument,
         true, NbRect(0, 0, 2999, 1999), NbRect(0, 0, 2999, 1999), NbRect()},
        {"unknown mode", 3000, 2000, NbRect(0, 0, 2999, 1999), ResizeOptions(7, 0, 100, 100), NbErrBadArgument, true,
         NbRect(0, 0, 2999, 1999), NbRect(0, 0, 2999, 1999), NbRect()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImageRef image(new FakeImage("/x/1.tif", c.imageW, c.imageH));
        ImageProcessParam p;
        p.crop = c.crop;
        ImageRendering rendering(image, p);
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        e.SetSizeOptions(c.options);
        EXPECT_EQ(e.Prepare(3), c.result);
        EXPECT_EQ(e.IsResizeEnabled(), c.resized);
        if (c.result == NbErrExportTooLarge) continue;
        EXPECT_EQ(e.GetScaledRect(), c.scaled);
        EXPECT_EQ(e.GetOutputRect(), c.output);
        EXPECT_EQ(e.GetPadding(), c.padding);
        // Whatever the mode, a padded picture and its margins are the output.
        if (c.resized && !c.padding.IsNull()) {
            EXPECT_GE(c.padding.left, 0);
            EXPECT_GE(c.padding.top, 0);
            EXPECT_GE(c.padding.right, 0);
            EXPECT_GE(c.padding.bottom, 0);
            EXPECT_EQ(c.padding.left + e.GetScaledRect().Width() + c.padding.right, e.GetOutputRect().Width());
            EXPECT_EQ(c.padding.top + e.GetScaledRect().Height() + c.padding.bottom, e.GetOutputRect().Height());
        }
    }
}

TEST_F(ExportImageTest, AScalerThatCannotBeMadeOrSetUpTurnsResizeOff) {
    ImageRef image(new FakeImage("/x/1.tif", 3000, 2000));
    ImageRendering rendering(image, ImageProcessParam());
    rendering.GetProcessParamPtr()->crop = NbRect(0, 0, 2999, 1999);
    const struct {
        bool factory;
        int failSetup;
        int result;
    } cases[] = {{false, 0, NbErrScalerNotSetUp}, {true, NbErrScalerEmptyRect, NbErrScalerEmptyRect}, {true, 0, 0}};
    for (const auto& c : cases) {
        SetExportScalerFactory(c.factory ? &NearestScaler::Make : nullptr);
        NearestScalerLog::failSetup = c.failSetup;
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        e.SetSizeOptions(ResizeOptions(ResizeToFit, 0, 1000, 1000));
        EXPECT_EQ(e.Prepare(3), c.result);
        EXPECT_EQ(e.IsResizeEnabled(), c.result == 0);
        if (c.result) {
            EXPECT_EQ(e.GetScale(), 1.0);
            EXPECT_EQ(e.GetOutputRect(), NbRect(0, 0, 2999, 1999));
        }
    }
}

TEST_F(ExportImageTest, StripsHoldAboutTwentyMegabytes) {
    const struct {
        int32_t width, height;
        int bytes, channels;
        ExportSizeOptions options;
        int32_t count, rows;
    } cases[] = {
        {3000, 2000, 1, 3, ExportSizeOptions(), 1, 2000},
        {3000, 2000, 2, 3, ExportSizeOptions(), 2, 1000},
        {3000, 2000, 2, 1, ExportSizeOptions(), 1, 2000},
        // 36 MB + 9 MB + 18 MB: four strips of 500 source rows, 250 output rows each.
        {3000, 2000, 2, 3, ResizeOptions(ResizeByPercent, 50, 0, 0), 4, 250},
        // 4.8 GB, past 32 bits: 229 strips of 88 rows.
        {40000, 20000, 2, 3, ExportSizeOptions(), 229, 88},
    };
    for (const auto& c : cases) {
        ImageRef image(new FakeImage("/x/1.tif", c.width, c.height));
        ImageProcessParam p;
        p.crop = NbRect(0, 0, c.width - 1, c.height - 1);
        ImageRendering rendering(image, p);
        array_.SetBytesPerSample(c.bytes);
        array_.SetChannels(c.channels);
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        e.SetSizeOptions(c.options);
        ASSERT_EQ(e.Prepare(c.channels), 0);
        int32_t count = 0, rows = 0;
        e.ComputeStrips(&count, &rows);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(rows, c.rows);
    }
}

TEST_F(ExportImageTest, ModelSoftwareUnitsAndBigEndianBytes) {
    const struct {
        const char* make;
        const char* model;
        const char* written;
    } cases[] = {
        {"Orvex", "X200", "Orvex X200"}, {"Orvex", "Orvex X200", "Orvex X200"},
        {"Orvex", "", "Unknown"},        {"Other", "X200", "X200"},
    };
    for (const auto& c : cases) {
        auto* fake = new FakeImage("/x/1.tif", 10, 10);
        ImageRef image(fake);
        fake->cameraModel_ = c.model;
        fake->cameraMake_ = c.make;
        ImageRendering rendering(image, ImageProcessParam());
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        TiffBuilder* b = e.NewBuilder();
        b->NewIFD(0);
        e.AddModelEntry(b);
        b->SetNextIFD(0);
        b->Build();
        const auto* bytes = static_cast<const char*>(b->GetData());
        const std::string header(bytes, bytes + b->GetSize());
        EXPECT_NE(header.find(std::string(c.written) + '\0'), std::string::npos) << c.written;
        EXPECT_EQ(b->GetEntryCount(0), 1);
    }

    ImageRef image(new FakeImage("/x/1.tif", 10, 10));
    ImageRendering rendering(image, ImageProcessParam());
    ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
    EXPECT_EQ(e.GetSoftwareName(), "ORVEX PROFESSIONAL ZYN Lumora 4.3.0.8 W");
    for (auto [units, code] : {std::pair{0, 2}, {1, 3}, {2, 2}, {-1, 2}}) {
        e.SetUnits(units);
        EXPECT_EQ(e.GetResolutionUnitCode(), code) << units;
    }
    uint8_t out[4];
    ExportImage::WriteBigEndian16(0x1234, out);
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(out[1], 0x34);
    ExportImage::WriteBigEndian32(0x89ABCDEF, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x89, 0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(ExportImage::ContinueProgress(100, nullptr), 1);
}

TEST_F(ExportImageTest, RelatedSoundFilesEndEachNameWithANul) {
    const struct {
        std::vector<std::string> sounds;
        bool entry;
        std::string names;
    } cases[] = {
        {{"/s/A.WAV"}, true, std::string("A.WAV\0", 6)},
        {{"/s/A.WAV", "/s/B2.WAV"}, true, std::string("A.WAV\0B2.WAV\0", 13)},
        {{}, false, ""},
        {{"/s/A.WAV", ""}, false, ""}, // a sound without a file name
    };
    for (const auto& c : cases) {
        auto* fake = new FakeImage("/x/1.tif", 10, 10);
        ImageRef image(fake);
        for (const std::string& s : c.sounds) fake->AddSound(FilePathSpec(s));
        ImageRendering rendering(image, ImageProcessParam());
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        e.AddRelatedSoundFiles();
        ExifEntry entry;
        ASSERT_EQ(e.GetExif().GetEntry(TagRelatedSoundFile, &entry) == 0, c.entry);
        if (!c.entry) continue;
        EXPECT_EQ(entry.type, 2);
        EXPECT_EQ(entry.count, c.names.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data), entry.count), c.names);
    }
}

TEST_F(ExportImageTest, CaptureDatesAreWrittenInTheExifFormOrNotAtAll) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {"2024:03:05:14:07:09", "2024:03:05 14:07:09"},
        {"2024:03:05 14:07:09", "2024:03:05 14:07:09"},
        {"2024:03:05-14:07:09", nullptr},
        {"2024:03:05 14:07", nullptr},
        {"2024:03:05 14:07:090", nullptr},
        {"", nullptr},
        {"20a4:03:05 14:07:09", nullptr},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(ExportImage::ToExifDateTime(c.text, &out), c.written != nullptr) << c.text;
        if (c.written) {
            EXPECT_EQ(out, c.written);
        }
    }
}

TEST_F(ExportImageTest, CopyrightGoesFromExifToIPTCAndBack) {
    auto* fake = new FakeImage("/x/1.tif", 10, 10);
    ImageRef image(fake);
    ImageRendering rendering(image, ImageProcessParam());
    auto notice = [](IPTCNAARecord2& r) {
        int index;
        const uint8_t* data;
        uint16_t length;
        for (bool more = r.GetFirstDataset(&index, &data, &length); more; more = r.GetNextDataset(&index, &data, &length))
            if (index == IPTCNAARecord2::kCopyrightNotice) return std::string(reinterpret_cast<const char*>(data), length);
        return std::string("<none>");
    };
    {
        // Exif only: added to IPTC, cut to 128 bytes.
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        e.Iptc().Reset();
        e.Copyright() = std::string(200, 'c');
        e.MergeCopyrightIntoIPTC();
        EXPECT_EQ(notice(e.Iptc()), std::string(128, 'c'));
        EXPECT_EQ(e.Copyright(), std::string(200, 'c'));
    }
    {
        // IPTC wins over Exif.
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        e.Iptc().Reset();
        const std::string text = "(c) Photographer";
        ASSERT_TRUE(e.Iptc().AddDataset(IPTCNAARecord2::kCopyrightNotice, reinterpret_cast<const uint8_t*>(text.data()),
                                        uint32_t(text.size())));
        e.Copyright() = "exif";
        e.MergeCopyrightIntoIPTC();
        EXPECT_EQ(e.Copyright(), text);
    }
    {
        // Neither: nothing is added.
        ProbeExport e(rendering, FilePathSpec("/tmp/out.tif"), &array_);
        e.Iptc().Reset();
        e.MergeCopyrightIntoIPTC();
        EXPECT_EQ(notice(e.Iptc()), "<none>");
        EXPECT_EQ(e.Copyright(), "");
    }
}

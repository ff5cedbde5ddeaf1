// What a JPEG export carries, read back by exiftool and djpeg: Exif, GPS and
// IPTC from a finished TIFF source with the copyright merge, the
// Interoperability directory, the Photoshop resolution and quality, the
// working-space profile in its chunks, both thumbnails; and exiftool's
// validation of the layout, also with odd and 64 KiB IPTC records.
#include "ColorEngine.h"
#include "ColorProfile.h"
#include "ExportTIFFImage.h"
#include "FinishedTIFFImage.h"
#include "IPTCNAARecord2.h"
#include "JpegExportSupport.h"
#include "StaticProfileTable.h"

#include <lcms2.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace NimbalCore;
using namespace jpegtest;
using exporttest::Exiftool;
using exporttest::ExiftoolField;
using exporttest::HaveTool;
using exporttest::ReadBytes;
using exporttest::RunCommand;

namespace {

class ExportJPEGMetadataTest : public JpegExportTest {
protected:
    void SetUp() override {
        JpegExportTest::SetUp();
        if (!HaveTool("exiftool") || !HaveTool("djpeg")) GTEST_SKIP() << "exiftool or djpeg missing";
    }
    void TearDown() override {
        ColorEngine::DeleteInstance();
        StaticProfileTable::Clear();
        ::unsetenv("LUMORA_SYSTEM_DIR");
        JpegExportTest::TearDown();
    }

    int ExportImageAs(const ImageRef& image, const std::string& target, ImageProcessParam p, int quality = 0,
                      bool embed = true) {
        if (p.crop.IsNull()) p.crop = image->GetImageRect();
        ImageRendering rendering(image, p);
        ExportJPEGImage e(rendering, FilePathSpec(target), &array_);
        e.SetEmbedProfile(embed);
        e.SetQualityCode(quality);
        ExportSizeOptions size;
        size.resolution = 300;
        e.SetSizeOptions(size);
        try {
            e.SaveFile();
        } catch (const YlmErrp& err) {
            return err.GetCode();
        } catch (NbErrorCodes code) {
            return code;
        }
        return 0;
    }

    // A plain 8-bit RGB TIFF of ours to hang metadata on.
    std::string MakeSource(const std::string& name) {
        auto* fake = new coretest::FakeImage(folder_ / (name + ".pattern"), 96, 64);
        ImageRef image(fake);
        fake->FillPattern();
        fake->colorModes = {0, 1, 2};
        ImageProcessParam p;
        p.colorMode = 1;
        p.crop = fake->GetImageRect();
        ImageRendering rendering(image, p);
        const std::string path = folder_ / name;
        ExportTIFFImage e(rendering, FilePathSpec(path), &array_);
        e.SaveFile();
        return path;
    }

    // exiftool's warnings less those the layout gives by design.
    std::vector<std::string> UnexpectedWarnings(const std::string& path) {
        const std::string out = Exiftool("-validate -warning -a -s '" + path + "'");
        std::vector<std::string> bad;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            bool ok = line.empty();
            for (const char* allowed : {"Validate", "Unknown APP5 'ZELT1' segment", "Unknown APP4 'LMBigTN' segment",
                                        "Non-standard IFD0 tag 0x827d", "Non-standard IFD0 tag 0x9211"})
                ok = ok || line.find(allowed) != std::string::npos;
            if (!ok) bad.push_back(line);
        }
        return bad;
    }
};

// An sRGB-like profile padded with a private tag to exactly the given size.
std::vector<uint8_t> ProfileOfSize(const char* description, uint32_t wanted) {
    std::vector<uint8_t> bytes;
    int64_t pad = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        cmsHPROFILE p = cmsCreate_sRGBProfile();
        cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(mlu, "en", "US", description);
        cmsWriteTag(p, cmsSigProfileDescriptionTag, mlu);
        cmsMLUfree(mlu);
        if (pad > 0) {
            std::vector<uint8_t> raw(size_t(pad), 0x5A);
            cmsWriteRawTag(p, cmsTagSignature(0x7A7A7A7A), raw.data(), cmsUInt32Number(raw.size()));
        }
        cmsUInt32Number size = 0;
        cmsSaveProfileToMem(p, nullptr, &size);
        bytes.assign(size, 0);
        cmsSaveProfileToMem(p, bytes.data(), &size);
        cmsCloseProfile(p);
        if (size == wanted) return bytes;
        pad += int64_t(wanted) - int64_t(size) - (pad == 0 ? 12 : 0);
    }
    return {};
}

} // namespace

TEST_F(ExportJPEGMetadataTest, ExifGPSAndIPTCRoundTripThroughAFinishedTIFF) {
    const std::string source = MakeSource("source.tif");
    Exiftool("-q -overwrite_original -Make=Orvex -Model=X200 -ExposureTime=1/125 -FNumber=8 -ExposureIndex=400 "
             "-ISO= -CreateDate= '-DateTimeOriginal=2023:07:01 10:20:30' '-Copyright=(c) Someone' "
             "-GPSLatitude=59.9 -GPSLatitudeRef=N -GPSLongitude=10.75 -GPSLongitudeRef=E -GPSAltitude=12.5 "
             "-GPSAltitudeRef=0 -GPSTimeStamp=10:20:30 -GPSDateStamp=2023:07:01 "
             "-IPTC:ObjectName=Harbour -IPTC:Keywords=alpha -IPTC:Keywords=beta "
             "-IPTC:City=Bergen '" + source + "'");
    auto* finished = new FinishedTIFFImage(FilePathSpec(source));
    ImageRef image(finished);
    ASSERT_EQ(finished->Open(), 0);
    finished->AddSound(FilePathSpec(folder_ / "A.WAV"));
    const std::string out = folder_ / "out.jpg";
    ImageProcessParam p;
    p.colorMode = 1;
    ASSERT_EQ(ExportImageAs(image, out, p, 2), 0);

    const std::string read = Exiftool("-s -s -n -a -G0 '" + out + "'");
    const struct {
        const char* tag;
        const char* value;
    } expected[] = {
        {"[EXIF] Make", "Orvex"},
        {"[EXIF] Model", "Orvex X200"},
        {"[EXIF] ExposureTime", "0.008"},
        {"[EXIF] FNumber", "8"},
        {"[EXIF] ISO", "400"},
        {"[EXIF] DateTimeOriginal", "2023:07:01 10:20:30"},
        {"[EXIF] CreateDate", "2023:07:01 10:20:30"},
        {"[EXIF] Copyright", "(c) Someone"},
        {"[EXIF] GPSLatitude", "59.9"},
        {"[EXIF] GPSLongitude", "10.75"},
        {"[EXIF] GPSAltitude", "12.5"},
        {"[EXIF] RelatedSoundFile", "A.WAV"},
        {"[EXIF] Software", "ORVEX PROFESSIONAL ZYN Lumora 4.3.0.8 W"},
        {"[EXIF] InteropIndex", "R98"},
        {"[EXIF] InteropVersion", "0100"},
        {"[EXIF] Orientation", "1"},
        {"[EXIF] XResolution", "300"},
        {"[EXIF] ExifImageWidth", "96"},
        {"[EXIF] Compression", "6"},
        {"[IPTC] ObjectName", "Harbour"},
        {"[IPTC] Keywords", "alpha, beta"},
        {"[IPTC] City", "Bergen"},
        {"[IPTC] CopyrightNotice", "(c) Someone"},
        {"[Photoshop] XResolution", "300"},
        {"[Photoshop] YResolution", "300"},
        {"[Photoshop] PhotoshopQuality", "6"},
    };
    for (const auto& e : expected) EXPECT_EQ(ExiftoolField(read, e.tag), e.value) << e.tag << "\n" << read;
    EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());

    // Both thumbnails decode: the small one at most 160 x 120 in colour, the
    // preview at the size its header gives.
    const std::string small = folder_ / "small.jpg", ppm = folder_ / "small.ppm";
    RunCommand("exiftool -b -ThumbnailImage '" + out + "' > '" + small + "'");
    int status = -1;
    const std::string decoded = RunCommand("djpeg -outfile '" + ppm + "' '" + small + "' 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(decoded, "");
    const std::vector<uint8_t> ppmBytes = ReadBytes(ppm);
    std::istringstream head(std::string(ppmBytes.begin(), ppmBytes.begin() + std::min<int64_t>(20, ppmBytes.size())));
    std::string magic;
    int tw = 0, th = 0;
    head >> magic >> tw >> th;
    EXPECT_EQ(magic, "P6"); // three components
    EXPECT_EQ(tw, 96);      // a source smaller than 160 x 120 keeps its size
    EXPECT_EQ(th, 64);
    int pw = 0, ph = 0;
    const std::vector<uint8_t> preview = PreviewStream(ReadBytes(out), &pw, &ph);
    const std::string previewFile = folder_ / "preview.jpg", previewPixels = folder_ / "preview.ppm";
    std::ofstream(previewFile, std::ios::binary).write(reinterpret_cast<const char*>(preview.data()), std::streamsize(preview.size()));
    EXPECT_EQ(RunCommand("djpeg -outfile '" + previewPixels + "' '" + previewFile + "' 2>&1", &status), "");
    EXPECT_EQ(status, 0);
    const std::vector<uint8_t> pixels = ReadBytes(previewPixels);
    const std::string header = "P6\n" + std::to_string(pw) + " " + std::to_string(ph) + "\n";
    EXPECT_EQ(std::string(pixels.begin(), pixels.begin() + int64_t(header.size())), header);
    EXPECT_EQ(pw, 96);
}

TEST_F(ExportJPEGMetadataTest, IPTCCopyrightWithoutExifBecomesTheFileCopyright) {
    const std::string source = MakeSource("source.tif");
    Exiftool("-q -overwrite_original '-IPTC:CopyrightNotice=(c) From IPTC' '" + source + "'");
    auto* finished = new FinishedTIFFImage(FilePathSpec(source));
    ImageRef image(finished);
    ASSERT_EQ(finished->Open(), 0);
    const std::string out = folder_ / "out.jpg";
    ImageProcessParam p;
    p.colorMode = 1;
    ASSERT_EQ(ExportImageAs(image, out, p), 0);
    const std::string read = Exiftool("-s -s -n -a -G0 '" + out + "'");
    EXPECT_EQ(ExiftoolField(read, "[EXIF] Copyright"), "(c) From IPTC") << read;
    EXPECT_EQ(ExiftoolField(read, "[IPTC] CopyrightNotice"), "(c) From IPTC") << read;
    EXPECT_EQ(ExiftoolField(read, "[EXIF] GPSLatitude"), "<missing>");
}

TEST_F(ExportJPEGMetadataTest, OddAndLargeIPTCRecordsValidate) {
    const std::string caption = "the last dataset, whole to its final byte";
    int keywords = 0, captionIndex = 0;
    ASSERT_TRUE(IPTCNAARecord2::FindDatasetIndex(25, &keywords));
    ASSERT_TRUE(IPTCNAARecord2::FindDatasetIndex(120, &captionIndex));
    // A file of 4906 bytes: capacity 4907.
    std::vector<uint8_t> file = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};
    for (int i = 0; i < 71; ++i) {
        for (int b : {0x1C, 0x02, 25, 0x00, 64}) file.push_back(uint8_t(b));
        file.insert(file.end(), 64, 'w');
    }
    const std::string ipt = folder_ / "odd.ipt";
    std::ofstream(ipt, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    IPTCNAARecord2 odd;
    ASSERT_TRUE(odd.ReadFromFile(FilePathSpec(ipt)));
    // Keywords past 32 KiB: the buffer has doubled to 65,536 bytes.
    IPTCNAARecord2 large;
    large.Reset();
    const std::string word(64, 'k');
    while (large.GetLength() < 40000)
        ASSERT_TRUE(large.AddDataset(keywords, reinterpret_cast<const uint8_t*>(word.data()), uint32_t(word.size())));
    ASSERT_TRUE(large.AddDataset(captionIndex, reinterpret_cast<const uint8_t*>(caption.data()), uint32_t(caption.size())));
    const struct {
        const char* name;
        IPTCNAARecord2* record;
    } cases[] = {{"odd capacity", &odd}, {"capacity of 64 KiB", &large}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PresetImage* fake = MakeImage(120, 80);
        fake->serialNumber_ = "SN-0042";
        fake->imageNumber_ = 77;
        fake->cameraSettingsBlock_ = "Lens: 80mm\nWidth: 120\nHeight: 80\n";
        ASSERT_TRUE(fake->SetIPTCRecord(*c.record));
        const std::string out = folder_ / "out.jpg";
        ASSERT_EQ(Export(fake, out, JpegSetup()).code, 0);
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
        const std::string read = Exiftool("-s -s -n -a -G0 '" + out + "'");
        EXPECT_EQ(ExiftoolField(read, "[Photoshop] PhotoshopQuality"), "10") << read;
        EXPECT_EQ(ExiftoolField(read, "[Photoshop] XResolution"), "100") << read;
        if (c.record == &large) {
            EXPECT_EQ(ExiftoolField(read, "[IPTC] Caption-Abstract"), caption) << read;
        }
        EXPECT_EQ(ExiftoolField(read, "[EXIF] Model2"), "SN-0042") << read; // exiftool's name of 33405 in IFD0
    }
}

TEST_F(ExportJPEGMetadataTest, TheWorkingSpaceProfileIsEmbeddedInItsChunks) {
    ::setenv("LUMORA_SYSTEM_DIR", LUMORA_TEST_SYSTEM_DIR, 1);
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    ASSERT_NE(engine, nullptr);
    const std::string zynRGB = StaticProfileTable::Description("ZynRGB.icm");
    ASSERT_FALSE(zynRGB.empty());
    const std::vector<uint8_t> big = ProfileOfSize("Test Large RGB", 70000);
    ASSERT_EQ(big.size(), 70000u);
    ASSERT_TRUE(engine->AddProfile(YlmRefPtr<ColorSpaceDesc>(new ColorProfile(big.data(), uint32_t(big.size())))));
    const std::vector<uint8_t> zynBytes = ReadBytes(std::string(LUMORA_TEST_COLOR_FOLDER) + "/ZynRGB.icm");
    const struct {
        const char* name;
        int colorMode;
        std::vector<int> modes;
        std::string workingSpace;
        bool embed;
        const std::vector<uint8_t>* profile; // expected in the file, or null
        size_t chunks;
    } cases[] = {
        {"ZynRGB", 0, {0, 1, 2}, zynRGB, true, &zynBytes, 1},
        {"a profile of 70,000 bytes", 0, {0, 1, 2}, "Test Large RGB", true, &big, 3},
        {"embedding off", 0, {0, 1, 2}, zynRGB, false, nullptr, 0},
        {"a grayscale rendering", 2, {0, 1, 2}, zynRGB, true, nullptr, 0},
        {"a one-component picture", 1, {1, 2}, zynRGB, true, nullptr, 0},
        {"no working space", 0, {0, 1, 2}, "", true, nullptr, 0},
        {"a name the engine does not know", 0, {0, 1, 2}, "Nobody's RGB", true, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PresetImage* fake = MakeImage(64, 48);
        fake->colorModes = c.modes;
        ImageProcessParam p;
        p.colorMode = c.colorMode;
        p.workingSpaceName = c.workingSpace;
        const std::string out = folder_ / "out.jpg";
        ASSERT_EQ(ExportImageAs(hold_, out, p, 0, c.embed), 0);
        const std::vector<uint8_t> file = ReadBytes(out);
        std::vector<Segment> app2;
        for (const Segment& s : WalkMarkers(file))
            if (s.marker == 0xE2) app2.push_back(s);
        ASSERT_EQ(app2.size(), c.chunks);
        for (size_t k = 0; k < app2.size(); ++k) {
            EXPECT_EQ(file[app2[k].at + 16], k + 1);
            EXPECT_EQ(file[app2[k].at + 17], c.chunks);
            EXPECT_EQ(app2[k].length, (k + 1 < c.chunks ? 32000u : uint32_t(c.profile->size() - 32000 * k)) + 16);
        }
        if (!c.profile) continue;
        // The chunks come after the Photoshop block and before the preview.
        const std::vector<Segment> all = WalkMarkers(file);
        ASSERT_NE(Find(all, 0xED), nullptr);
        ASSERT_NE(Find(all, 0xE4), nullptr);
        EXPECT_GT(app2.front().at, Find(all, 0xED)->at);
        EXPECT_LT(app2.back().at, Find(all, 0xE4)->at);
        const std::string icc = folder_ / "extracted.icc";
        RunCommand("exiftool -b -ICC_Profile '" + out + "' > '" + icc + "'");
        EXPECT_EQ(ReadBytes(icc), *c.profile);
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
    }
}

TEST_F(ExportJPEGMetadataTest, CoreclientExportsThroughTheExporterOfTheImagesKind) {
    const std::string source = MakeSource("source.tif");
    const std::string bin = std::getenv("LUMORA_PROGRAM_DIR");
    const std::string coreclient = bin + "/coreclient";
    const std::string raw = folder_ / "raw.zyr";
    int status = -1;
    RunCommand("'" + bin + "/zprowrite' '" + raw + "' --model 2048 --size 48x32", &status);
    ASSERT_EQ(status, 0);
    // A finished TIFF and a raw file of the newest models: each kind answers
    // the preset of quality code 2, T3 at 50, as cjpeg would scale it.
    const struct {
        std::string source;
        int width;
    } cases[] = {{source, 96}, {raw, 48}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const std::string out = folder_ / "out.jpg";
        EXPECT_EQ(RunCommand("'" + coreclient + "' export '" + c.source + "' '" + out +
                              "' --jpeg --quality 2 --units cm --resolution 100 2>&1",
                          &status),
                  "{\"code\": 0}\n");
        EXPECT_EQ(status, 0);
        const Decoded d = Decode(ReadBytes(out));
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.width, c.width);
        EXPECT_EQ(d.luma[0], 3);
        EXPECT_EQ(d.luma[63], 255);
        ASSERT_TRUE(d.hasChroma);
        EXPECT_EQ(d.chroma[0], 17);
        const std::string read = Exiftool("-s -s -n -a -G0 '" + out + "'");
        EXPECT_EQ(ExiftoolField(read, "[Photoshop] PhotoshopQuality"), "6") << read;
        EXPECT_EQ(ExiftoolField(read, "[Photoshop] DisplayedUnitsX"), "2") << read;
        EXPECT_EQ(ExiftoolField(read, "[EXIF] ResolutionUnit"), "3") << read;
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
    }
    // Options of the TIFF export only, or a code out of range, are refused.
    for (const char* options : {"--jpeg --quality 3", "--jpeg --depth 16", "--tiff --quality 1"}) {
        RunCommand("'" + coreclient + "' export '" + source + "' '" + (folder_ / "refused.jpg") + "' " + options + " 2>&1",
                &status);
        EXPECT_EQ(WEXITSTATUS(status), 2) << options;
    }
}

TEST_F(ExportJPEGMetadataTest, TheCamerasFurtherSettingsDataStaysOutOfTheExifBlock) {
    // Tag 1026 of the source's private directory, which a TIFF export
    // carries into its Exif directory, is left out of a JPEG's; the
    // Software text is the exporter's own, as in a TIFF.
    const struct {
        const char* name;
        std::vector<uint8_t> source;
    } cases[] = {
        {"three bytes in the value word", exporttest::TiffWithFurtherSettings(7, 3, {'X', 'Y', 'Z'})},
        {"ten bytes after the directories",
         exporttest::TiffWithFurtherSettings(7, 10, {'s', 'e', 't', 't', 'i', 'n', 'g', 's', '=', '1'})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        exporttest::WriteBytes(folder_ / "source.tif", c.source);
        PresetImage* fake = MakeImage(64, 48);
        const std::string out = folder_ / "out.jpg";
        ASSERT_EQ(Export(fake, out, JpegSetup()).code, 0);
        const BigEndianTiff t = ExifBlock(ReadBytes(out));
        ASSERT_TRUE(t.Valid());
        const TiffDirectory ifd0 = t.Directory(8);
        ASSERT_TRUE(ifd0.fields.count(34665));
        const TiffDirectory exif = t.Directory(ifd0.fields.at(34665).word);
        EXPECT_TRUE(exif.fields.count(36864)); // the export's own entries are there
        EXPECT_EQ(exif.fields.count(1026), 0u);
        const std::string read = Exiftool("-u -s -s -n -a -G1 '" + out + "'");
        EXPECT_EQ(ExiftoolField(read, "[IFD0] Software"), "ORVEX PROFESSIONAL ZYN Lumora 4.3.0.8 W") << read;
        EXPECT_EQ(read.find("0x0402"), std::string::npos) << read;
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
    }
}

// What the TIFF exporter carries over from the source: Exif, GPS and IPTC
// set by exiftool on a finished TIFF read back by exiftool from the export,
// the broken GPS and Interoperability cases, the whole 64 KiB IPTC record,
// and the working-space profile with its description.
#include "ColorEngine.h"
#include "ColorProfile.h"
#include "NbErrorCodes.h"
#include "ExportImageArray.h"
#include "ExportTIFFImage.h"
#include "ExportTestSupport.h"
#include "FakeImage.h"
#include "FinishedTIFFImage.h"
#include "IPTCNAARecord2.h"
#include "ImagePool.h"
#include "StaticProfileTable.h"
#include "YlmErrp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace NimbalCore;
using namespace exporttest;
using coretest::FakeImage;

namespace {

constexpr uint16_t kExif = 34665, kGPS = 34853, kICC = 34675, kPrivate = 33424, kIPTC = 33723;

class ExportTIFFMetadataTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool missing";
    }
    void TearDown() override {
        ColorEngine::DeleteInstance();
        StaticProfileTable::Clear();
        ::unsetenv("LUMORA_SYSTEM_DIR");
        ImagePool::DeleteInstance();
    }

    // Exports the image as it stands (colour mode 1 unless the test says).
    int Export(const ImageRef& image, const std::string& target, ImageProcessParam p = ImageProcessParam(),
               bool embed = true) {
        if (p.crop.IsNull()) p.crop = image->GetImageRect();
        ImageRendering rendering(image, p);
        ExportTIFFImage e(rendering, FilePathSpec(target), &array_);
        e.SetEmbedProfile(embed);
        try {
            e.SaveFile();
        } catch (const YlmErrp& err) {
            return err.GetCode();
        }
        return 0;
    }

    // A 64 x 48 pattern in every colour mode standing for the file at
    // `source`, whose metadata the export carries over.
    static FakeImage* PatternImage(const std::string& source, ImageRef& image) {
        auto* fake = new FakeImage(source, 64, 48);
        image = ImageRef(fake);
        fake->FillPattern();
        fake->colorModes = {0, 1, 2};
        return fake;
    }

    // A plain 8-bit RGB TIFF of ours to hang metadata on.
    std::string MakeSource(const std::string& name) {
        ImageRef image(nullptr);
        FakeImage* fake = PatternImage(folder_ / (name + ".pattern"), image);
        fake->dateTimeString_.clear();
        ImageProcessParam p;
        p.colorMode = 1;
        const std::string path = folder_ / name;
        EXPECT_EQ(Export(image, path, p), 0);
        return path;
    }

    TempFolder folder_;
    ExportImageArray array_;
};

} // namespace

TEST_F(ExportTIFFMetadataTest, ExifGPSAndIPTCRoundTripThroughAFinishedTIFF) {
    const std::string source = MakeSource("source.tif");
    Exiftool("-q -overwrite_original -Make=Orvex -Model=X200 -ExposureTime=1/125 -FNumber=8 -ExposureIndex=400 "
             "-ISO= -CreateDate= '-DateTimeOriginal=2023:07:01 10:20:30' '-Copyright=(c) Someone' "
             "-GPSLatitude=59.9 -GPSLatitudeRef=N -GPSLongitude=10.75 -GPSLongitudeRef=E -GPSAltitude=12.5 "
             "-GPSAltitudeRef=0 -GPSTimeStamp=10:20:30 -GPSDateStamp=2023:07:01 "
             "'-CFAPattern=[Red,Green][Green,Blue]' "
             "-IPTC:ObjectName=Harbour -IPTC:Keywords=alpha -IPTC:Keywords=beta -IPTC:Keywords=gamma "
             "-IPTC:By-line=Someone -IPTC:City=Bergen -IPTC:Caption-Abstract=Boats '" + source + "'");
    auto* finished = new FinishedTIFFImage(FilePathSpec(source));
    ImageRef image(finished);
    ASSERT_EQ(finished->Open(), 0);
    finished->AddSound(FilePathSpec(folder_ / "A.WAV"));
    const std::string out = folder_ / "out.tif";
    ASSERT_EQ(Export(image, out), 0);

    const std::string read = Exiftool("-s -s -n -a -G0 '" + out + "'");
    const struct {
        const char* tag;
        const char* value;
    } expected[] = {
        {"[EXIF] Make", "Orvex"},
        {"[EXIF] Model", "Orvex X200"},
        {"[EXIF] ExposureTime", "0.008"},
        {"[EXIF] FNumber", "8"},
        {"[EXIF] ExposureIndex", "400"},
        {"[EXIF] ISO", "400"},
        {"[EXIF] DateTimeOriginal", "2023:07:01 10:20:30"},
        {"[EXIF] CreateDate", "2023:07:01 10:20:30"},
        {"[EXIF] Copyright", "(c) Someone"},
        {"[EXIF] GPSLatitude", "59.9"},
        {"[EXIF] GPSLatitudeRef", "N"},
        {"[EXIF] GPSLongitude", "10.75"},
        {"[EXIF] GPSLongitudeRef", "E"},
        {"[EXIF] GPSAltitude", "12.5"},
        {"[EXIF] GPSTimeStamp", "10:20:30"},
        {"[EXIF] RelatedSoundFile", "A.WAV"},
        {"[EXIF] Software", "ORVEX PROFESSIONAL ZYN Lumora 4.3.0.8 W"},
        {"[IPTC] ObjectName", "Harbour"},
        {"[IPTC] Keywords", "alpha, beta, gamma"},
        {"[IPTC] By-line", "Someone"},
        {"[IPTC] City", "Bergen"},
        {"[IPTC] Caption-Abstract", "Boats"},
        {"[IPTC] CopyrightNotice", "(c) Someone"},
    };
    for (const auto& e : expected) EXPECT_EQ(ExiftoolField(read, e.tag), e.value) << e.tag << "\n" << read;
    EXPECT_EQ(ExiftoolField(read, "[EXIF] CFAPattern"), "<missing>");

    const BigEndianTiff t(ReadBytes(out));
    const TiffDirectory main = t.Directory(8);
    ASSERT_TRUE(main.fields.count(kGPS));
    const TiffDirectory exif = t.Directory(main.fields.at(kExif).word);
    EXPECT_EQ(exif.fields.at(40964).count, 6u); // "A.WAV" and its NUL
    const TiffDirectory gps = t.Directory(main.fields.at(kGPS).word);
    EXPECT_EQ(gps.offset, exif.offset + 2 + 12 * exif.order.size() + 4);
}

TEST_F(ExportTIFFMetadataTest, IPTCCopyrightWithoutExifBecomesTheFileCopyright) {
    const std::string source = MakeSource("source.tif");
    Exiftool("-q -overwrite_original '-IPTC:CopyrightNotice=(c) From IPTC' '" + source + "'");
    auto* finished = new FinishedTIFFImage(FilePathSpec(source));
    ImageRef image(finished);
    ASSERT_EQ(finished->Open(), 0);
    const std::string out = folder_ / "out.tif";
    ASSERT_EQ(Export(image, out), 0);
    const std::string read = Exiftool("-s -s -n -a -G0 '" + out + "'");
    EXPECT_EQ(ExiftoolField(read, "[EXIF] Copyright"), "(c) From IPTC") << read;
    EXPECT_EQ(ExiftoolField(read, "[IPTC] CopyrightNotice"), "(c) From IPTC") << read;
}

TEST_F(ExportTIFFMetadataTest, AGPSDirectoryWithAZeroDenominatorIsLeftOut) {
    const std::string source = MakeSource("source.tif");
    Exiftool("-q -overwrite_original -GPSLatitude=59.9 -GPSLatitudeRef=N -GPSAltitude=12.5 '" + source + "'");
    // Zero the altitude's denominator in place.
    std::vector<uint8_t> bytes = ReadBytes(source);
    {
        const BigEndianTiff t(bytes);
        ASSERT_TRUE(t.Valid());
        const TiffDirectory main = t.Directory(t.U32(4));
        ASSERT_TRUE(main.fields.count(kGPS));
        const TiffDirectory gps = t.Directory(main.fields.at(kGPS).word);
        ASSERT_TRUE(gps.fields.count(6));
        const uint32_t at = gps.fields.at(6).word + 4;
        bytes[at] = bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0;
    }
    std::ofstream(source, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ImageRef image(nullptr);
    PatternImage(source, image);
    const std::string out = folder_ / "out.tif";
    ImageProcessParam p;
    p.colorMode = 1;
    ASSERT_EQ(Export(image, out, p), 0);
    const BigEndianTiff t(ReadBytes(out));
    EXPECT_EQ(t.Directory(8).fields.count(kGPS), 0u);
    EXPECT_EQ(Exiftool("-s -s -GPS:all '" + out + "'"), "");
}

TEST_F(ExportTIFFMetadataTest, ASourceWhoseExifDirectoryCannotBeReadStillGetsTheExportsOwn) {
    // The source's Exif directory is damaged in place: empty, or pointed at
    // past the bytes the collector reads. The export keeps its own entries
    // and a main directory that points at a real Exif directory.
    const struct {
        const char* name;
        bool emptyDirectory;
    } cases[] = {{"an empty Exif directory", true}, {"an Exif directory past the bytes read", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = MakeSource("source.tif");
        Exiftool("-q -overwrite_original -ExposureTime=1/125 -FNumber=8 '" + source + "'");
        std::vector<uint8_t> bytes = ReadBytes(source);
        {
            const BigEndianTiff t(bytes);
            const TiffDirectory main = t.Directory(t.U32(4));
            ASSERT_TRUE(main.fields.count(kExif));
            if (c.emptyDirectory) {
                const uint32_t at = main.fields.at(kExif).word;
                bytes[at] = bytes[at + 1] = 0;
            } else {
                const uint64_t at = main.fields.at(kExif).at;
                for (int i = 0; i < 4; ++i) bytes[at + i] = 0x7F;
            }
        }
        std::ofstream(source, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        ImageRef image(nullptr);
        PatternImage(source, image);
        ImageProcessParam p;
        p.colorMode = 1;
        const std::string out = folder_ / "out.tif";
        ASSERT_EQ(Export(image, out, p), 0);
        const BigEndianTiff t(ReadBytes(out));
        const TiffDirectory main = t.Directory(8);
        ASSERT_TRUE(main.fields.count(kExif));
        const uint32_t exifAt = t.Value(main.fields.at(kExif));
        ASSERT_NE(exifAt, 0u);
        const TiffDirectory exif = t.Directory(exifAt);
        EXPECT_TRUE(exif.fields.count(36864));   // ExifVersion
        EXPECT_EQ(t.Value(exif.fields.at(40962)), 64u);
        EXPECT_EQ(exif.fields.count(33434), 0u);   // nothing of the damaged directory
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
        int status = -1;
        const std::string info = RunCommand("tiffinfo '" + out + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << info;
    }
}

TEST_F(ExportTIFFMetadataTest, AJPEGSourcesInteroperabilityPointerIsNotCarried) {
    // A JPEG whose Exif directory points at an Interoperability directory.
    auto be16 = [](std::vector<uint8_t>& v, uint16_t x) { v.push_back(uint8_t(x >> 8)); v.push_back(uint8_t(x)); };
    auto be32 = [&](std::vector<uint8_t>& v, uint32_t x) { be16(v, uint16_t(x >> 16)); be16(v, uint16_t(x)); };
    auto entry = [&](std::vector<uint8_t>& v, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        be16(v, tag);
        be16(v, type);
        be32(v, count);
        if (type == 3 && count == 1) {
            be16(v, uint16_t(value));
            be16(v, 0);
        } else {
            be32(v, value);
        }
    };
    std::vector<uint8_t> tiff = {'M', 'M', 0, 42, 0, 0, 0, 8};
    be16(tiff, 1); // IFD0 at 8: the Exif pointer
    entry(tiff, kExif, 4, 1, 26);
    be32(tiff, 0);
    be16(tiff, 2); // Exif IFD at 26
    entry(tiff, 33434, 5, 1, 56); // ExposureTime
    entry(tiff, 40965, 4, 1, 64);
    be32(tiff, 0);
    be32(tiff, 1); // 1/125 at 56
    be32(tiff, 125);
    be16(tiff, 1); // Interoperability IFD at 64
    entry(tiff, 1, 2, 4, uint32_t('R') << 24 | uint32_t('9') << 16 | uint32_t('8') << 8);
    be32(tiff, 0);
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1};
    be16(jpeg, uint16_t(2 + 6 + tiff.size()));
    for (char c : std::string("Exif\0\0", 6)) jpeg.push_back(uint8_t(c));
    jpeg.insert(jpeg.end(), tiff.begin(), tiff.end());
    for (uint8_t b : {0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9}) jpeg.push_back(b);
    const std::string source = folder_ / "source.jpg";
    std::ofstream(source, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));

    ImageRef image(nullptr);
    PatternImage(source, image);
    ImageProcessParam p;
    p.colorMode = 1;
    const std::string out = folder_ / "out.tif";
    ASSERT_EQ(Export(image, out, p), 0);
    const BigEndianTiff t(ReadBytes(out));
    const TiffDirectory exif = t.Directory(t.Directory(8).fields.at(kExif).word);
    EXPECT_TRUE(exif.fields.count(33434)); // the source was read
    EXPECT_EQ(exif.fields.count(40965), 0u);
    EXPECT_EQ(Exiftool("-validate -warning -a -s '" + out + "'").find("Interop"), std::string::npos);
}

TEST_F(ExportTIFFMetadataTest, ARecordOf64KiBIsWrittenWhole) {
    // The version dataset, 949 keywords of 64 bytes and a caption: 65,536 bytes.
    std::vector<uint8_t> record = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};
    for (int i = 0; i < 949; ++i) {
        for (uint8_t b : {0x1C, 0x02, 25, 0x00, 64}) record.push_back(b);
        const std::string word = std::to_string(100000 + i) + std::string(58, 'k');
        record.insert(record.end(), word.begin(), word.end());
    }
    const std::string caption = "the last dataset, whole to its final byte!!";
    for (int b : {0x1C, 0x02, 120, 0x00, int(caption.size())}) record.push_back(uint8_t(b));
    record.insert(record.end(), caption.begin(), caption.end());
    ASSERT_EQ(record.size(), 65536u);
    const std::string ipt = folder_ / "big.ipt";
    std::ofstream(ipt, std::ios::binary).write(reinterpret_cast<const char*>(record.data()), std::streamsize(record.size()));

    ImageRef image(nullptr);
    FakeImage* fake = PatternImage(folder_ / "a.tif", image);
    IPTCNAARecord2 loaded;
    ASSERT_TRUE(loaded.ReadFromFile(FilePathSpec(ipt)));
    ASSERT_TRUE(fake->SetIPTCRecord(loaded));
    ImageProcessParam p;
    p.colorMode = 1;
    const std::string out = folder_ / "out.tif";
    ASSERT_EQ(Export(image, out, p), 0);
    const BigEndianTiff t(ReadBytes(out));
    const TiffField f = t.Directory(8).fields.at(kIPTC);
    EXPECT_EQ(f.count, 65540u / 4);
    const std::vector<uint8_t> written(t.Bytes().begin() + f.word, t.Bytes().begin() + f.word + 65536);
    EXPECT_EQ(written, record);
    const std::string read = Exiftool("-s -s -s -IPTC:Caption-Abstract '" + out + "'");
    EXPECT_EQ(read, caption + "\n");
}

TEST_F(ExportTIFFMetadataTest, TheWorkingSpaceProfileIsEmbeddedOnlyForColourRenderings) {
    ::setenv("LUMORA_SYSTEM_DIR", LUMORA_TEST_SYSTEM_DIR, 1);
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    ASSERT_NE(engine, nullptr);
    const std::string zynRGB = StaticProfileTable::Description("ZynRGB.icm");
    const std::string proPhoto = StaticProfileTable::Description("ProPhotoRGB.icm");
    ASSERT_FALSE(zynRGB.empty());
    const std::vector<std::string> grayLooks = engine->GetGrayscaleLookList();
    const struct {
        const char* name;
        int colorMode;
        std::string workingSpace, look;
        bool embed;
        const char* file; // the profile expected in the file, or null
        uint32_t outputSpace;
    } cases[] = {
        {"ZynRGB", 0, zynRGB, "", true, "ZynRGB.icm", 0},
        {"ProPhoto", 0, proPhoto, "", true, "ProPhotoRGB.icm", 2},
        {"embedding off", 0, zynRGB, "", false, nullptr, 0},
        {"colour mode 1", 1, zynRGB, "", true, nullptr, 1},
        {"colour mode 2", 2, zynRGB, "", true, nullptr, 0},
        {"a grayscale look", 0, zynRGB, grayLooks.empty() ? "" : grayLooks[0], true, nullptr, 0},
        {"no profile", 0, "", "", true, nullptr, 4},
        {"a name the engine does not know", 0, "Nobody's RGB", "", true, nullptr, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "a grayscale look" && c.look.empty()) continue;
        ImageRef image(nullptr);
        PatternImage(folder_ / "a.tif", image);
        ImageProcessParam p;
        p.colorMode = c.colorMode;
        p.workingSpaceName = c.workingSpace;
        p.lookName = c.look;
        const std::string out = folder_ / "out.tif";
        ASSERT_EQ(Export(image, out, p, c.embed), 0);
        const BigEndianTiff t(ReadBytes(out));
        const TiffDirectory main = t.Directory(8);
        EXPECT_EQ(main.fields.count(kICC), c.file ? 1u : 0u);
        const TiffDirectory priv = t.Directory(main.fields.at(kPrivate).word);
        EXPECT_EQ(t.U32(priv.fields.at(3303).word), c.outputSpace);
        if (!c.file) continue;
        const std::string icc = folder_ / "extracted.icc";
        RunCommand("exiftool -b -ICC_Profile '" + out + "' > '" + icc + "'");
        EXPECT_EQ(ReadBytes(icc), ReadBytes(std::string(LUMORA_TEST_COLOR_FOLDER) + "/" + c.file));
        EXPECT_EQ(Exiftool("-s -s -s -ICC_Profile:ProfileDescription '" + out + "'"), c.workingSpace + "\n");
        if (HaveTool("transicc")) {
            int status = -1;
            const std::string answer = RunCommand("echo '0.5 0.5 0.5' | transicc -i '" + icc + "' -o '*Lab' 2>&1", &status);
            EXPECT_EQ(status, 0) << answer;
        }
        EXPECT_EQ(UnexpectedWarnings(out), std::vector<std::string>());
    }
}

#include <lcms2.h>

namespace {

// An output profile whose device space is CMYK: identity tables between Lab
// and four inks, enough for the engine to give its channel count.
std::vector<uint8_t> CmykProfileBytes(const char* description) {
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 2.1);
    cmsSetDeviceClass(p, cmsSigOutputClass);
    cmsSetColorSpace(p, cmsSigCmykData);
    cmsSetPCS(p, cmsSigLabData);
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", description);
    cmsWriteTag(p, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
    cmsPipeline* toLab = cmsPipelineAlloc(nullptr, 4, 3);
    cmsPipelineInsertStage(toLab, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 2, 4, 3, nullptr));
    cmsWriteTag(p, cmsSigAToB0Tag, toLab);
    cmsPipeline* toInk = cmsPipelineAlloc(nullptr, 3, 4);
    cmsPipelineInsertStage(toInk, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 2, 3, 4, nullptr));
    cmsWriteTag(p, cmsSigBToA0Tag, toInk);
    cmsPipelineFree(toLab);
    cmsPipelineFree(toInk);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(p, nullptr, &size);
    std::vector<uint8_t> bytes(size);
    cmsSaveProfileToMem(p, bytes.data(), &size);
    cmsCloseProfile(p);
    return bytes;
}

} // namespace

TEST_F(ExportTIFFMetadataTest, AFourInkWorkingSpaceIsRefusedBeforeTheFileIsMade) {
    ::setenv("LUMORA_SYSTEM_DIR", LUMORA_TEST_SYSTEM_DIR, 1);
    ColorEngine* engine = ColorEngine::Instance(0, 1);
    ASSERT_NE(engine, nullptr);
    const std::vector<uint8_t> icc = CmykProfileBytes("Test Four Inks");
    YlmRefPtr<ColorSpaceDesc> profile;
    try {
        profile = YlmRefPtr<ColorSpaceDesc>(new ColorProfile(icc.data(), uint32_t(icc.size())));
    } catch (const YlmErrp& e) {
        FAIL() << "profile refused: " << e.GetCode();
    }
    ASSERT_TRUE(engine->AddProfile(profile));
    ImageRef image(nullptr);
    FakeImage* fake = PatternImage(folder_ / "a.tif", image);
    ImageProcessParam p;
    p.colorMode = 0;
    p.workingSpaceName = "Test Four Inks";
    const std::string out = folder_ / "out.tif";
    EXPECT_EQ(Export(image, out, p), NbErrExportTooLarge);
    EXPECT_EQ(fake->renders, 0);
    EXPECT_EQ(folder_.List(), std::vector<std::string>());
}

TEST_F(ExportTIFFMetadataTest, TheCamerasFurtherSettingsDataGoesIntoTheExifDirectoryAsStored) {
    // Tag 1026 of the source's private directory, whatever its type, is
    // carried into the Exif directory with its type, count and bytes; the
    // file's Software text is the exporter's own. tiffinfo reads the whole
    // file and warns only about the two tags it does not know.
    if (!HaveTool("tiffinfo")) GTEST_SKIP() << "tiffinfo missing";
    const struct {
        const char* name;
        uint16_t type;
        uint32_t count;
        std::vector<uint8_t> value;
    } cases[] = {
        {"three bytes in the value word", 7, 3, {'X', 'Y', 'Z'}},
        {"ten bytes after the directories", 7, 10, {'s', 'e', 't', 't', 'i', 'n', 'g', 's', '=', '1'}},
        {"two SHORTs in the value word", 3, 2, {0x01, 0x02, 0x03, 0x04}},
        {"two LONGs after the directories", 4, 2, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = folder_ / "source.tif";
        WriteBytes(source, TiffWithFurtherSettings(c.type, c.count, c.value));
        ImageRef image(nullptr);
        PatternImage(source, image);
        ImageProcessParam p;
        p.colorMode = 1;
        const std::string out = folder_ / "out.tif";
        ASSERT_EQ(Export(image, out, p), 0);

        const BigEndianTiff t(ReadBytes(out));
        const TiffDirectory main = t.Directory(8);
        const TiffDirectory exif = t.Directory(main.fields.at(kExif).word);
        ASSERT_TRUE(exif.fields.count(1026));
        EXPECT_EQ(exif.order.front(), 1026); // the lowest tag of the directory
        const TiffField f = exif.fields.at(1026);
        EXPECT_EQ(f.type, c.type);
        EXPECT_EQ(f.count, c.count);
        const uint64_t at = c.value.size() <= 4 ? f.at : f.word;
        ASSERT_LE(at + c.value.size(), t.Bytes().size());
        EXPECT_EQ(std::vector<uint8_t>(t.Bytes().begin() + at, t.Bytes().begin() + at + c.value.size()), c.value);

        int status = -1;
        const std::string info = RunCommand("tiffinfo '" + out + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << info;
        EXPECT_NE(info.find("Software: ORVEX PROFESSIONAL ZYN Lumora 4.3.0.8 W\n"), std::string::npos) << info;
        EXPECT_NE(info.find("  Tag 1026: "), std::string::npos) << info;
        std::istringstream lines(info);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find("Warning") == std::string::npos && line.find("rror") == std::string::npos) continue;
            EXPECT_TRUE(line.find("Unknown field with tag 33424 (0x8290)") != std::string::npos ||
                        line.find("Unknown field with tag 1026 (0x402)") != std::string::npos)
                << line;
        }
    }
}

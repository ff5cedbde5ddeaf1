// Opening files through the public interface: which class the factory picks
// for each family, kind and version, the statuses of files it cannot take, and
// the memory count around every open.
#include "ImageClassFactory.h"
#include "SdkImageBase.h"
#include "RegisteredFolderCamera.h"
#include "VqSession.h"
#include "ZyrOldestSample.h"

#include <gtest/gtest.h>

#include <optional>

using namespace lumora::vq;

namespace {

std::optional<ImageClass> gChosen;

// Stands in for the classes of later work: notes the choice and reads the
// file's head with the base class.
SdkImageBase* RecordingCreator(ImageClass cls, const CameraRecord* record, DriverSettings* settings, VqStatus* status) {
    gChosen = cls;
    *status = 0;
    return new SdkImageBase(record, settings);
}

struct SeamInstalled {
    SeamInstalled() {
        gChosen.reset();
        ImageClassFactory::SetCreator(RecordingCreator);
    }
    ~SeamInstalled() { ImageClassFactory::SetCreator(nullptr); }
};

uint32_t Version(uint32_t major, uint32_t minor) { return major << 24 | minor << 16; }

// Overwrites the value word of a tag's entry in a big-endian directory.
void PatchEntryValue(std::vector<uint8_t>& file, uint32_t ifd, uint16_t tag, uint32_t value) {
    const uint32_t count = uint32_t(file.at(ifd)) << 8 | file.at(ifd + 1);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = ifd + 2 + 12 * size_t(i);
        if ((uint32_t(file.at(at)) << 8 | file.at(at + 1)) != tag) continue;
        for (int b = 0; b < 4; ++b) file.at(at + 8 + size_t(b)) = uint8_t(value >> (24 - 8 * b));
        return;
    }
    ADD_FAILURE() << "no entry " << tag;
}

} // namespace

TEST(ImageFactory, FamilyKindAndVersionChooseTheClass) {
    struct Row {
        const char* model;
        uint32_t version;
        bool jpeg;
        uint32_t ifd0Width;  // above 512 with a known model: an RGB TIFF
        std::optional<ImageClass> cls;
        uint32_t status;     // when no class
        int32_t family, modelId, fileKind;
    };
    const Row rows[] = {
        {"ZYNM03", 0, false, 32, ImageClass::SdkImageBase, 0, 0, 3, VQ_FILE_RAW_TIFF},
        {"ZYNM03", Version(3, 0), false, 32, ImageClass::SdkImageBase, 0, 0, 3, VQ_FILE_RAW_TIFF},
        {"ZYNX09", 0, false, 32, ImageClass::SdkImageBase, 0, 0, 9, VQ_FILE_RAW_TIFF},
        {"ZYNM10", 0, true, 32, ImageClass::JpegFileImage, 0, 0, 10, VQ_FILE_CAMERA_JPEG},
        {"ZYNM01", 0, false, 600, ImageClass::SdkImageBase, 0, 0, 1, VQ_FILE_RGB_TIFF},
        {"ZYNM11", Version(2, 0), false, 32, ImageClass::RawImage, 0, 1, 11, VQ_FILE_RAW_TIFF},
        {"ZYNM11", Version(2, 1), false, 32, std::nullopt, VQ_ERR_UNSUPPORTED_VERSION, 1, 11, 0},
        {"ZYNM22", Version(2, 9), false, 32, std::nullopt, VQ_ERR_UNSUPPORTED_VERSION, 1, 22, 0},
        {"ZYNM20", Version(3, 0), false, 32, ImageClass::RawImageV3, 0, 1, 20, VQ_FILE_RAW_TIFF},
        {"ZYNM11", Version(2, 0), true, 32, ImageClass::JpegFileImage, 0, 1, 11, VQ_FILE_CAMERA_JPEG},
        {"ZYNM11", Version(2, 0), false, 600, ImageClass::RgbFileImage, 0, 1, 11, VQ_FILE_RGB_TIFF},
        {"ZYNM16", Version(2, 0), false, 32, ImageClass::RawImage, 0, 3, 16, VQ_FILE_RAW_TIFF},
        {"ZYNM21", Version(2, 1), false, 32, std::nullopt, VQ_ERR_UNSUPPORTED_VERSION, 3, 21, 0},
        {"ZYNM19", Version(3, 1), false, 32, ImageClass::RawImageV3, 0, 3, 19, VQ_FILE_RAW_TIFF},
        {"ZYNM13", Version(2, 2), false, 32, ImageClass::RawImageF2, 0, 2, 13, VQ_FILE_RAW_TIFF},
        {"ZYNM18", Version(2, 3), false, 32, std::nullopt, VQ_ERR_UNSUPPORTED_VERSION, 2, 18, 0},
        {"ZYNM13", Version(3, 0), false, 32, ImageClass::RawImageV3, 0, 2, 13, VQ_FILE_RAW_TIFF},
        {"ZYNM18", Version(2, 0), true, 32, ImageClass::JpegFileImage, 0, 2, 18, VQ_FILE_CAMERA_JPEG},
        {"ZYNM13", Version(2, 2), false, 600, ImageClass::RgbFileImage, 0, 2, 13, VQ_FILE_RGB_TIFF},
        {"QQQQ99", Version(2, 0), false, 32, std::nullopt, VQ_ERR_BAD_FILE, 4, 0, 0},
        {"ZYNM1", Version(2, 0), false, 32, std::nullopt, VQ_ERR_BAD_FILE, 4, 0, 0},
        {"QQQQ99", Version(2, 0), true, 32, std::nullopt, VQ_ERR_JPEG_BAD_FILE, 4, 0, 0},
    };
    lumora::test::TempFolder dir;
    VqSession session;
    SeamInstalled seam;
    const int32_t before = VqSession::Memory();
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.model) + " v" + std::to_string(row.version >> 24) + "." +
                     std::to_string(row.version >> 16 & 0xFF) + (row.jpeg ? " jpeg" : "") + " width " +
                     std::to_string(row.ifd0Width));
        ZyrSampleOptions o;
        o.model = row.model;
        o.version = row.version;
        o.jpeg = row.jpeg;
        o.thumbWidth = row.ifd0Width;
        o.thumbHeight = 8;
        o.mainTable = 1;  // the base class reads every family's head here
        const std::string path = WriteFile(dir, row.jpeg ? "x.jpg" : "x.zyr", ZyrSample::Make(o));
        gChosen.reset();
        ImageInfoRecord info = EmptyRecord();
        const uint32_t status = VqOpenImageFile(path.c_str(), &info);
        if (!row.cls) {
            EXPECT_EQ(status, row.status);
            EXPECT_FALSE(gChosen.has_value());
            EXPECT_EQ(info.handle, 0);
            EXPECT_EQ(VqSession::Memory(), before);
            continue;
        }
        ASSERT_EQ(status, 0u) << std::hex << status;
        ASSERT_TRUE(gChosen.has_value());
        EXPECT_STREQ(ImageClassFactory::Name(*gChosen), ImageClassFactory::Name(*row.cls));
        EXPECT_NE(info.handle, 0);
        EXPECT_STREQ(info.name, row.jpeg ? "x.jpg" : "x.zyr");
        EXPECT_EQ(std::string(info.model), row.model);
        EXPECT_EQ(info.modelLength, std::strlen(row.model) + 1);
        EXPECT_EQ(info.modelFamily, row.family);
        EXPECT_EQ(info.modelId, row.modelId);
        EXPECT_EQ(info.fileKind, row.fileKind);
        EXPECT_EQ(info.outputType, VQ_TYPE_RGB8);
        EXPECT_EQ(info.isColour, 1);
        EXPECT_EQ(info.flags, 0x1B00u | VQ_IMAGE_RAW_CLASS);
        // Family-2 files below version 3 hold one byte per sample.
        EXPECT_EQ(info.dataBytes, 64 * 48 * (ZyrSample::EightBitSamples(o) ? 1 : 2));
        EXPECT_EQ(info.geometry.fullWidth, 64);
        EXPECT_EQ(info.geometry.fullHeight, 48);
        EXPECT_EQ(info.geometry.activeWidth, 52);
        EXPECT_EQ(info.geometry.outputHeight, 36);
        EXPECT_EQ(info.geometry.outputBytes, 52 * 36 * 3);
        EXPECT_EQ(VqSession::Memory(), before + 1068 + 4108);
        EXPECT_EQ(VqCloseImage(&info), 0u);
        EXPECT_EQ(VqSession::Memory(), before);
    }
}

TEST(ImageFactory, RefusedOpensAnswerAClearStatusAndLeaveNothingBehind) {
    lumora::test::TempFolder dir;
    VqSession session;
    const int32_t before = VqSession::Memory();
    struct Row {
        const char* model;
        uint32_t version;
        bool jpeg;
        uint32_t status;
    };
    // A camera JPEG entry whose data is no JPEG stream, and a version the
    // class refuses.
    for (const Row& r : {Row{"ZYNM11", 0x01000000, true, VQ_ERR_JPEG_BAD_FILE},
                         Row{"ZYNM22", 0x04000000, false, VQ_ERR_VERSION_NOT_FOR_CLASS}}) {
        const char* model = r.model;
        ZyrSampleOptions o;
        o.model = model;
        o.version = r.version;
        o.jpeg = r.jpeg;
        const std::string path = WriteFile(dir, r.jpeg ? "x.jpg" : "x.zyr", ZyrSample::Make(o));
        ImageInfoRecord info = EmptyRecord();
        EXPECT_EQ(VqOpenImageFile(path.c_str(), &info), r.status) << model;
        EXPECT_EQ(info.handle, 0);
        EXPECT_EQ(Driver().cameras->Count(), 0u);
        EXPECT_EQ(Driver().images->Count(), 0u);
        EXPECT_EQ(VqSession::Memory(), before);
    }
}

TEST(ImageFactory, MemoryUsageIsUnchangedByEveryFailedOpenAndByOpenThenClose) {
    lumora::test::TempFolder dir;
    ZyrSampleOptions good;
    good.model = "ZYNM05";
    const std::vector<uint8_t> sample = ZyrSample::Make(good);
    const std::string goodPath = WriteFile(dir, "good.zyr", sample);
    const std::string truncated =
        WriteFile(dir, "cut.zyr", std::vector<uint8_t>(sample.begin(), sample.begin() + 200));
    const std::string empty = WriteFile(dir, "empty.zyr", {});
    const std::string text = WriteFile(dir, "text.zyr", std::vector<uint8_t>(9000, 'a'));
    const std::string jpegWithoutTiff =
        WriteFile(dir, "notiff.jpg", ZyrSample::WrapInJpeg(std::vector<uint8_t>(5000, 'a')));
    ZyrSampleOptions badVersion;
    badVersion.version = Version(2, 5);
    const std::string unsupported = WriteFile(dir, "v25.zyr", ZyrSample::Make(badVersion));

    struct Row {
        std::string path;
        uint32_t status;
    };
    const Row rows[] = {
        {"", VQ_ERR_BAD_IMAGE_PATH},
        {"good.zyr", VQ_ERR_BAD_IMAGE_PATH},
        {dir.path().string() + "/", VQ_ERR_BAD_IMAGE_PATH},
        {(dir.path() / "missing.zyr").string(), VQ_ERR_CAMERA_NOT_OPEN},
        {(dir.path() / "nofolder" / "x.zyr").string(), VQ_ERR_CAMERA_NOT_OPEN},
        {truncated, VQ_ERR_BAD_FILE},
        {empty, VQ_ERR_NOT_TIFF},
        {text, VQ_ERR_NOT_TIFF},
        {unsupported, VQ_ERR_UNSUPPORTED_VERSION},
        {jpegWithoutTiff, VQ_ERR_NOT_JPEG_STREAM},
    };
    VqSession session;
    const int32_t before = VqSession::Memory();
    for (const Row& row : rows) {
        ImageInfoRecord info = EmptyRecord();
        EXPECT_EQ(VqOpenImageFile(row.path.c_str(), &info), row.status) << row.path;
        EXPECT_EQ(info.handle, 0) << row.path;
        EXPECT_EQ(VqSession::Memory(), before) << row.path;
        EXPECT_EQ(Driver().cameras->Count(), 0u) << row.path;
        EXPECT_EQ(Driver().images->Count(), 0u) << row.path;
    }
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImageFile(goodPath.c_str(), &info), 0u);
    EXPECT_EQ(VqSession::Memory(), before + 1068 + 4108);
    EXPECT_EQ(VqCloseImage(&info), 0u);
    EXPECT_EQ(VqSession::Memory(), before);
    const ImageInfoRecord zero = EmptyRecord();
    EXPECT_EQ(std::memcmp(&info, &zero, sizeof info), 0);
    EXPECT_EQ(VqCloseImage(&info), VQ_ERR_BAD_HANDLE);
}

TEST(ImageFactory, HeaderLengthWord) {
    // A zero word takes the length from the second sub-directory's first
    // strip; one that cannot be a header (past the file, or beyond any header)
    // is refused instead of being allocated and read.
    lumora::test::TempFolder dir;
    VqSession session;
    SeamInstalled seam;
    const int32_t before = VqSession::Memory();
    struct Row {
        const char* what;
        ZyrWriter::HeaderLengthWord word;
        uint32_t wordValue;
        std::optional<uint32_t> sensorOffset;  // replaces the sensor strip's offset
        uint32_t status;
    };
    const Row rows[] = {
        {"exact word", ZyrWriter::HeaderLengthWord::Exact, 0, std::nullopt, 0},
        {"word beyond any header is capped", ZyrWriter::HeaderLengthWord::Given, 0xFFFFFFF0u, std::nullopt, 0},
        {"zero word, length from the sensor strip", ZyrWriter::HeaderLengthWord::Zero, 0, std::nullopt, 0},
        {"zero word, strip past the file", ZyrWriter::HeaderLengthWord::Zero, 0, 900000u, VQ_ERR_BAD_FILE},
        {"zero word, strip beyond any header", ZyrWriter::HeaderLengthWord::Zero, 0, 0x7FFFFFF0u, VQ_ERR_BAD_FILE},
        {"zero word, strip at 0", ZyrWriter::HeaderLengthWord::Zero, 0, 0u, VQ_ERR_BAD_FILE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ZyrSampleOptions o;
        o.mainTable = 1;
        o.headerWord = row.word;
        o.headerWordValue = row.wordValue;
        ZyrWriter w(o.order);
        const ZyrSample::Ifds ifds = ZyrSample::Fill(w, o);
        ZyrWriter::Layout layout;
        std::vector<uint8_t> bytes = w.Build(&layout);
        if (row.sensorOffset) PatchEntryValue(bytes, layout.ifdOffsets[size_t(ifds.raw)], 273, *row.sensorOffset);
        const std::string path = WriteFile(dir, "x.zyr", bytes);
        gChosen.reset();
        ImageInfoRecord info = EmptyRecord();
        EXPECT_EQ(VqOpenImageFile(path.c_str(), &info), row.status);
        if (row.status == 0) {
            EXPECT_EQ(gChosen, ImageClass::RawImage);
            EXPECT_EQ(info.modelId, 11);
            EXPECT_EQ(VqCloseImage(&info), 0u);
        }
        EXPECT_EQ(VqSession::Memory(), before);
    }
}

TEST(ImageFactory, AFileShorterThanTheHeadOpens) {
    // The head buffer is read whole; what lies past the file's end is zeros.
    lumora::test::TempFolder dir;
    VqSession session;
    ZyrOldestOptions o;
    o.model = "ZYNM02";
    o.sensorWidth = 16;
    o.sensorHeight = 16;
    const std::vector<uint8_t> bytes = ZyrOldestSample::Make(o);
    ASSERT_LT(bytes.size(), SdkImageBase::kHeadSize);
    const std::string path = WriteFile(dir, "small.zyr", bytes);
    for (int pass = 0; pass < 2; ++pass) {
        ImageInfoRecord info = EmptyRecord();
        ASSERT_EQ(VqOpenImageFile(path.c_str(), &info), 0u);
        EXPECT_EQ(info.modelId, 2);
        EXPECT_EQ(info.geometry.fullWidth, 16);
        EXPECT_EQ(info.geometry.activeHeight, 4);
        EXPECT_EQ(VqCloseImage(&info), 0u);
    }
}

TEST(ImageFactory, TheRecordShowsTheFrameNumberAndTheImageStillClosesFromItsEntry) {
    // The oldest models put their frame number in the description. The camera
    // must still find the image by its place in the list when it is closed.
    lumora::test::TempFolder dir;
    ZyrSampleOptions o;
    o.model = "ZYNM04";
    ZyrWriter w(o.order);
    const ZyrSample::Ifds ifds = ZyrSample::Fill(w, o);
    w.Remove(ifds.main, 270);
    w.Ascii(ifds.main, 270, "F123 holiday");
    WriteFile(dir, "frame.tif", w.Build());

    VqSession session;
    const int32_t before = VqSession::Memory();
    {
        RegisteredFolderCamera folder(dir.path().string());
        ASSERT_EQ(folder.openStatus, 0u);
        ImageInfoRecord info = EmptyRecord();
        ASSERT_EQ(VqOpenImage(&folder.record, 0, nullptr, &info), 0u);
        EXPECT_EQ(info.imageIndex, 123);
        EXPECT_EQ(std::string(info.description), "F123 holiday");
        EXPECT_EQ(VqDeleteImage(&folder.record, 0, nullptr), VQ_ERR_IMAGE_IS_OPEN);
        EXPECT_EQ(VqCloseImage(&info), 0u);
        DirectoryEntry e;
        ASSERT_TRUE(FolderCamera::GetAt(folder.camera->imageList(), 1, e));
        EXPECT_EQ(e.image, nullptr);
    }
    EXPECT_EQ(VqSession::Memory(), before);
}

TEST(ImageFactory, EntryKindFollowsTheFilesContent) {
    lumora::test::TempFolder dir;
    ZyrSampleOptions o;
    o.model = "ZYNM06";
    o.jpeg = true;
    WriteFile(dir, "a.tif", ZyrSample::Make(o));                  // a JPEG stream under a TIFF name
    WriteFile(dir, "b.jpg", std::vector<uint8_t>(5000, 0x42));    // not a JPEG stream at all
    VqSession session;
    SeamInstalled seam;
    RegisteredFolderCamera folder(dir.path().string());
    ASSERT_EQ(folder.openStatus, 0u);
    ImageInfoRecord info = EmptyRecord();
    ASSERT_EQ(VqOpenImage(&folder.record, -1, "A.TIF", &info), 0u);
    EXPECT_EQ(gChosen, ImageClass::JpegFileImage);
    EXPECT_EQ(info.fileKind, VQ_FILE_CAMERA_JPEG);
    DirectoryEntry e;
    int32_t index = -1;
    ASSERT_EQ(folder.camera->FindEntry(&folder.record, &index, "a.tif", &e), 0u);
    EXPECT_EQ(e.kind, uint32_t(VQ_FILE_CAMERA_JPEG));
    EXPECT_EQ(VqCloseImage(&info), 0u);

    // A failed open leaves the camera as it was: no image, no file kept open.
    const int32_t before = VqSession::Memory();
    ImageInfoRecord other = EmptyRecord();
    EXPECT_EQ(VqOpenImage(&folder.record, -1, "b.jpg", &other), VQ_ERR_NOT_JPEG_STREAM);
    EXPECT_EQ(other.handle, 0);
    index = -1;
    ASSERT_EQ(folder.camera->FindEntry(&folder.record, &index, "b.jpg", &e), 0u);
    EXPECT_EQ(e.image, nullptr);
    EXPECT_EQ(e.file, nullptr);
    EXPECT_EQ(e.kind, uint32_t(VQ_FILE_CAMERA_JPEG));
    EXPECT_EQ(VqSession::Memory(), before);
}

TEST(ImageFactory, JpegMarkerScanStaysInsideItsBuffer) {
    using Bytes = std::vector<uint8_t>;
    // A segment: marker, big-endian length (counting itself), then the body.
    auto seg = [](uint8_t marker, const Bytes& body, int lengthDelta = 0) {
        const size_t length = body.size() + 2 + size_t(lengthDelta);
        Bytes out = {0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
        out.insert(out.end(), body.begin(), body.end());
        return out;
    };
    auto cat = [](std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const Bytes soi = {0xFF, 0xD8};
    const Bytes jfif = {'J', 'F', 'I', 'F', 0, 1, 1, 1, 0, 72, 0, 72, 0, 0};
    const Bytes exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
    // Photoshop resources: an IPTC block (0x03ED here) after another one.
    auto resource = [](uint16_t id, const Bytes& data, uint32_t sizeWord) {
        Bytes out = {'8', 'B', 'I', 'M', uint8_t(id >> 8), uint8_t(id), 0, 0, uint8_t(sizeWord >> 24),
                     uint8_t(sizeWord >> 16), uint8_t(sizeWord >> 8), uint8_t(sizeWord)};
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() % 2) out.push_back(0);
        return out;
    };
    Bytes photoshop = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0};
    const Bytes resolutionInfo(16, 9);
    const Bytes resources = cat({photoshop, resource(0x0404, {1, 2, 3}, 3), resource(0x03ED, resolutionInfo, 16)});
    // A ResolutionInfo too short to be rewritten in place.
    const Bytes shortInfo = cat({photoshop, resource(0x0404, {1, 2, 3}, 3), resource(0x03ED, {9, 9, 9, 9}, 4)});
    const Bytes hugeBlock = cat({photoshop, resource(0x0404, {1, 2}, 0xFFFFFFF0u), resource(0x03ED, {9, 9}, 2)});
    const Bytes iptcPastSegment = cat({photoshop, resource(0x03ED, {9, 9}, 0x1000)});

    struct Row {
        const char* what;
        Bytes buffer;
        int readResources;
        uint32_t status;
        uint32_t tiffOffset;
        uint32_t iptc;
    };
    const Bytes app13 = seg(0xED, resources);
    const Row rows[] = {
        {"APP0 then APP1", cat({soi, seg(0xE0, jfif), seg(0xE1, exif)}), 0, 0, 2 + 18 + 10, 0},
        {"not a JPEG", cat({{0xFF, 0xD9}, seg(0xE1, exif)}), 0, VQ_ERR_NOT_JPEG_STREAM, 0, 0},
        {"first segment longer than the buffer", cat({soi, seg(0xE0, jfif, 400)}), 0, VQ_ERR_NOT_JPEG_STREAM, 0, 0},
        {"segment without its marker byte", cat({soi, seg(0xE0, jfif), {0x00, 0xE1, 0, 4, 0, 0}}), 0,
         VQ_ERR_NOT_JPEG_STREAM, 0, 0},
        {"next segment past the end", cat({soi, seg(0xE0, jfif), seg(0xE8, {1, 2}, 300)}), 0,
         VQ_ERR_READ_PAST_BUFFER, 0, 0},
        {"one byte left after a segment", cat({soi, seg(0xE0, jfif), seg(0xE8, {1, 2}), {0xFF}}), 0,
         VQ_ERR_READ_PAST_BUFFER, 0, 0},
        {"IPTC resource found", cat({soi, seg(0xE0, jfif), app13, seg(0xE1, exif)}), 1, 0,
         uint32_t(2 + 18 + app13.size() + 10), uint32_t(2 + 18 + 4 + 14 + 16 + 12)},
        {"ResolutionInfo shorter than 16 bytes", cat({soi, seg(0xE0, jfif), seg(0xED, shortInfo), seg(0xE1, exif)}),
         1, 0, uint32_t(2 + 18 + shortInfo.size() + 4 + 10), 0},
        {"resources not read", cat({soi, seg(0xE0, jfif), app13, seg(0xE1, exif)}), 0, 0,
         uint32_t(2 + 18 + app13.size() + 10), 0},
        {"resource size beyond the segment", cat({soi, seg(0xE0, jfif), seg(0xED, hugeBlock), seg(0xE1, exif)}),
         1, 0, uint32_t(2 + 18 + hugeBlock.size() + 4 + 10), 0},
        {"IPTC data past its segment", cat({soi, seg(0xE0, jfif), seg(0xED, iptcPastSegment), seg(0xE1, exif)}), 1,
         0, uint32_t(2 + 18 + iptcPastSegment.size() + 4 + 10), 0},
        {"APP13 too short for its fields", cat({soi, seg(0xE0, jfif), seg(0xED, {1, 2, 3})}), 1,
         VQ_ERR_READ_PAST_BUFFER, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SdkImageBase image(nullptr, nullptr);
        // Copied into a buffer of exactly its size, so any read past it shows.
        const std::vector<uint8_t> exact(row.buffer);
        EXPECT_EQ(image.ScanJpegMarkers(exact.data(), uint32_t(exact.size()), row.readResources), row.status);
        EXPECT_EQ(image.tiffOffset(), row.tiffOffset);
        EXPECT_EQ(image.jpegMarkers().iptcResource, row.iptc);
    }
}

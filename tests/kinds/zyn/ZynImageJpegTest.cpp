// The camera interface's own JPEG conversion through the older raw kind:
// the file equals the interface's for the same options, codes outside the
// three convert as the first, and a refused conversion leaves no file.
#include "ZynTestSupport.h"

#include "ImageWerks.h"
#include "NbErrorCodes.h"
#include "ProgressCB.h"
#include "ZynImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <jpeglib.h>

namespace {

using namespace NimbalCore;
using namespace zyntest;
using factorytest::KindsScope;

std::vector<std::string> Names(const lumora::test::TempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct JpegHeader {
    int width = 0, height = 0, unit = -1, density = 0;
};

JpegHeader ReadHeader(const std::string& bytes) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    JpegHeader h;
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK)
        h = JpegHeader{int(cinfo.image_width), int(cinfo.image_height), int(cinfo.density_unit), int(cinfo.X_density)};
    jpeg_destroy_decompress(&cinfo);
    return h;
}

// The interface's own conversion of the file with its stored settings.
std::string InterfaceJpeg(const std::string& source, const std::string& target, int quality, int size,
                          uint32_t unit, uint32_t resolution) {
    ImageInfoRecord info{};
    EXPECT_EQ(VqOpenImageFile(source.c_str(), &info), 0u);
    EXPECT_EQ(VqSetExtension(&info, VQ_EXT_RESOLUTION, reinterpret_cast<void*>(uintptr_t(resolution)), unit, 0, 0, 0),
              0u);
    std::vector<uint8_t> work(size_t(std::max(info.geometry.workBytes, info.geometry.frameBytes / 8)) + 1);
    ImageBufferRecord buffer{work.data(), uint32_t(work.size()), 0, nullptr};
    VqPathRecord path{};
    std::snprintf(path.path, sizeof path.path, "%s", target.c_str());
    JpegOptionsRecord options{};
    options.size = size;
    options.quality = quality;
    options.keepFileDate = 1;
    options.overwrite = 1;
    EXPECT_EQ(VqConvertToJPEG(&info, &path, &buffer, nullptr, &options), 0u);
    VqCloseImage(&info);
    return ReadAll(target);
}

struct Refuse : ProgressCB {
    int calls = 0;
    int refuseAt;
    explicit Refuse(int at) : refuseAt(at) {}
    bool Progress(int) override { return ++calls < refuseAt; }
};

TEST(ZynImageJpegTest, TheFileIsTheInterfacesForTheSameOptions) {
    lumora::test::TempFolder folder, reference;
    const std::string path = WriteFixture(folder, "CONV.ZYR", Fixture::Family1);
    KindsScope scope;
    ImageRef image = OpenFile(path);
    ZynImage* zyn = Zyn(image);
    ASSERT_TRUE(zyn);
    const NbRect rect = zyn->GetImageRect();
    const int width = int(rect.Width()), height = int(rect.Height());
    const struct {
        int quality, size, unitCode, resolution;
        int sdkQuality, sdkSize;
        uint32_t unit;
        int width, height;
    } cases[] = {
        {0, 0, 0, 300, 0, 0, 1, width, height},
        {1, 1, 1, 118, 1, 1, 2, width / 3 * 2, height / 3 * 2},
        {2, 2, 2, 72, 2, 2, 1, width / 2, height / 2},
        // Codes outside the three convert as 0.
        {5, 5, 1, 200, 0, 0, 2, width, height},
        {-1, 3, 0, 240, 0, 0, 1, width, height},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.quality << " " << c.size << " " << c.unitCode);
        const std::string out = folder.file("out.jpg");
        ASSERT_EQ(CodeOf([&] {
                      zyn->ExportJPEG(FilePathSpec(out), c.quality, c.size, c.unitCode, c.resolution,
                                      *zyn->GetProcessParams(), nullptr);
                  }),
                  0);
        const std::string bytes = ReadAll(out);
        const JpegHeader h = ReadHeader(bytes);
        EXPECT_EQ(h.width, c.width);
        EXPECT_EQ(h.height, c.height);
        EXPECT_EQ(h.unit, int(c.unit));
        EXPECT_EQ(h.density, c.resolution);
        EXPECT_EQ(bytes, InterfaceJpeg(path, reference.file("ref.jpg"), c.sdkQuality, c.sdkSize, c.unit,
                                       uint32_t(c.resolution)));
    }
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"CONV.ZYR", "out.jpg"}));
}

TEST(ZynImageJpegTest, ARefusedConversionLeavesNoFileAndAnOldFileWhole) {
    lumora::test::TempFolder folder;
    // Large enough for the cache load and the conversion to report progress.
    const std::string path = WriteFixture(folder, "BIG.ZYR", Fixture::Family1, 1200, 900);
    KindsScope scope;
    ImageRef image = OpenFile(path);
    ZynImage* zyn = Zyn(image);
    ASSERT_TRUE(zyn);
    // At once (in the cache load) and later (in the conversion itself).
    for (int refuseAt : {1, 3}) {
        SCOPED_TRACE(refuseAt);
        Refuse refuse(refuseAt);
        EXPECT_EQ(CodeOf([&] {
                      zyn->ExportJPEG(FilePathSpec(folder.file("new.jpg")), 0, 0, 0, 300, *zyn->GetProcessParams(),
                                      &refuse);
                  }),
                  NbErrRenderCancelled);
        EXPECT_GE(refuse.calls, refuseAt);
        EXPECT_EQ(Names(folder), std::vector<std::string>{"BIG.ZYR"});

        folder.write("old.jpg", "an older export");
        Refuse again(refuseAt);
        EXPECT_EQ(CodeOf([&] {
                      zyn->ExportJPEG(FilePathSpec(folder.file("old.jpg")), 0, 0, 0, 300, *zyn->GetProcessParams(),
                                      &again);
                  }),
                  NbErrRenderCancelled);
        EXPECT_EQ(ReadAll(folder.file("old.jpg")), "an older export");
        EXPECT_EQ(Names(folder), (std::vector<std::string>{"BIG.ZYR", "old.jpg"}));
        std::filesystem::remove(folder.file("old.jpg"));
    }
    // A folder that is not there: 1709.
    EXPECT_EQ(CodeOf([&] {
                  zyn->ExportJPEG(FilePathSpec(folder.file("none/x.jpg")), 0, 0, 0, 300, *zyn->GetProcessParams(),
                                  nullptr);
              }),
              NbErrCameraJpegExportFailed);
}

} // namespace

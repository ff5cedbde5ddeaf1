// What every image kind gives the core's saving commands: the exporter of a
// file kind over a rendering of the image, and the quantisation tables a
// JPEG export asks it for.
#include "FactoryTestSupport.h"

#include "ExportImageArray.h"
#include "ExportJPEGImage.h"
#include "ExportTIFFImage.h"
#include "Image.h"
#include "ImageRendering.h"
#include "ImageWerks.h"
#include "JpegQualityPreset.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace NimbalCore;
using namespace factorytest;

namespace {

enum class Made { None, Tiff, Jpeg };

Made KindOf(const ExportImage* e) {
    if (!e) return Made::None;
    if (dynamic_cast<const ExportJPEGImage*>(e)) return Made::Jpeg;
    if (dynamic_cast<const ExportTIFFImage*>(e)) return Made::Tiff;
    ADD_FAILURE() << "an exporter of neither kind";
    return Made::None;
}

TEST(KindExporters, EachKindMakesTheExporterOfTheFileKind) {
    lumora::test::TempFolder files;
    KindsScope scope;
    const std::string sources[] = {WriteTiff(files, "a.tif"), WriteJpeg(files, "b.jpg"), WriteZpro(files, "c.zyr"),
                                   WriteCameraRaw(files, "D.ZYR")};
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        ImageRef image;
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(source), image), 0);
        ImageRendering rendering(image, *image->GetProcessParams());
        ExportImageArray array;
        const struct {
            int fileKind;
            ImageRendering* rendering;
            ExportImageArray* array;
            Made made;
        } cases[] = {
            {0, &rendering, &array, Made::Tiff},     {1, &rendering, &array, Made::Jpeg},
            {2, &rendering, &array, Made::None},     {-1, &rendering, &array, Made::None},
            {0, nullptr, &array, Made::None},        {1, &rendering, nullptr, Made::None},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.fileKind);
            std::unique_ptr<ExportImage> exporter(
                image->CreateExportImage(c.fileKind, c.rendering, FilePathSpec(files.file("out")), c.array, 0));
            EXPECT_EQ(KindOf(exporter.get()), c.made);
        }
    }
}

TEST(KindExporters, RawImagesOfTheNewestModelsAndFinishedFilesAnswerThePresets) {
    lumora::test::TempFolder files;
    KindsScope scope;
    const std::string sources[] = {WriteTiff(files, "a.tif"), WriteJpeg(files, "b.jpg"), WriteZpro(files, "c.zyr")};
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        ImageRef image;
        ASSERT_EQ(ImageWerks().OpenImage(FilePathSpec(source), image), 0);
        int table[JpegQualityPreset::kTableSize] = {}, quality = -1;
        EXPECT_FALSE(image->GetCameraJPEGQuantizationTables(false, 0, 0, table, &quality));
        for (bool chroma : {false, true})
            for (int row : {0, 1, 2, 7, -1})
                for (int column : {0, 1, 2, 3, -1}) {
                    SCOPED_TRACE(testing::Message() << chroma << " " << row << " " << column);
                    int expected[JpegQualityPreset::kTableSize] = {}, expectedQuality = -1;
                    GetJpegQuantTable(JpegQualityPreset::kGenericCamera, chroma, row, column, expected,
                                      &expectedQuality);
                    quality = -1;
                    ASSERT_TRUE(image->GetJPEGQuantizationTables(chroma, row, column, table, &quality));
                    EXPECT_EQ(std::vector<int>(table, table + 64), std::vector<int>(expected, expected + 64));
                    EXPECT_EQ(quality, expectedQuality);
                }
        // What a JPEG export of quality code 2 gets: the coarsest table at 50.
        ASSERT_TRUE(image->GetJPEGQuantizationTables(false, 0, 2, table, &quality));
        EXPECT_EQ(table[0], 3);
        EXPECT_EQ(table[63], 255);
        EXPECT_EQ(quality, 50);
    }
}

} // namespace

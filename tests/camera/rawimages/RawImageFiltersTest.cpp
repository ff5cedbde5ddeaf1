// Sharpening and chroma filter: what a file's stored record asks for reaches
// the renderer, exactly as the same choice made through the extensions.
#include "RawImageFixture.h"
#include "StoredSettingsRecord.h"

namespace rawimagetest {
namespace {

using lumora::vq::StoredSettingsRecord;

std::vector<uint8_t> StoredRecord(uint8_t sharpenMode, uint8_t sharpenLevel, uint8_t chroma) {
    StoredSettingsRecord::ProcessBlock block;
    block.outputType = VQ_TYPE_RGB8;
    block.balanceCode = 0;
    block.red = block.green = block.blue = 1000;
    block.windowWidth = 60;
    block.windowHeight = 44;
    block.windowX = 2;
    block.windowY = 2;
    block.sharpenMode = sharpenMode;
    block.sharpenLevel = sharpenLevel;
    block.chroma = chroma;
    std::vector<uint8_t> record(StoredSettingsRecord::kRecordBytes, 0);
    StoredSettingsRecord::EncodeProcessBlock(block, record.data());
    const uint32_t triple[3] = {0, 0, 0};
    StoredSettingsRecord::MakeSettingsBlock(0, triple, record.data() + StoredSettingsRecord::kProcessBytes);
    return record;
}

class RawImageFilters : public RawImageTest {
protected:
    uint32_t OpenWithRecord(uint8_t mode, uint8_t level, uint8_t chroma) {
        return Open(Options(), [&](ZyrWriter& w, const ZyrSample::Ifds& d) {
            Replace(w, d.privateIfd, 1021, [&] { w.Bytes(d.privateIfd, 1021, 7, StoredRecord(mode, level, chroma)); });
        });
    }
    std::vector<uint8_t> RenderRgb8() {
        EXPECT_EQ(VqSetImageType(&info_, VQ_TYPE_RGB8), 0u);
        SdkRect window{};
        VqGetOutputWindow(&info_, &window);
        std::vector<uint8_t> out(size_t(window.width) * size_t(window.height) * 3, 0);
        ImageBufferRecord buffer{};
        buffer.buffer = out.data();
        buffer.bufferBytes = uint32_t(out.size());
        EXPECT_EQ(VqGetImage(&info_, &buffer, nullptr), 0u);
        return out;
    }
};

TEST_F(RawImageFilters, StoredSharpeningRendersAsTheExtensionDoes) {
    ASSERT_EQ(OpenWithRecord(1, 60, 0), 0u);
    VqSharpeningRecord stored{};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_SHARPENING, &stored), 0u);
    EXPECT_EQ(stored.mode, 1);
    EXPECT_EQ(stored.level, 60);
    EXPECT_NE(Param<int32_t>(lumora::RP_SHARPEN_ON), 0);
    const std::vector<uint8_t> sharp = RenderRgb8();

    ASSERT_EQ(OpenWithRecord(0, 0, 0), 0u);
    EXPECT_EQ(Param<int32_t>(lumora::RP_SHARPEN_ON), 0);
    const std::vector<uint8_t> plain = RenderRgb8();
    EXPECT_NE(sharp, plain);

    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_SHARPENING, reinterpret_cast<void*>(uintptr_t(1)), 60, 0, 0, 0), 0u);
    EXPECT_EQ(RenderRgb8(), sharp);

    // Out of range: refused, and sharpening is off afterwards.
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_SHARPENING, reinterpret_cast<void*>(uintptr_t(1)), 101, 0, 0, 0),
              VQ_ERR_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(Param<int32_t>(lumora::RP_SHARPEN_ON), 0);
    EXPECT_EQ(RenderRgb8(), plain);
}

TEST_F(RawImageFilters, ChromaFilterFollowsTheRecordAndTheExtension) {
    ZyrSampleOptions o = Options();
    o.colourCurves = 3602;
    ASSERT_EQ(Open(o, [&](ZyrWriter& w, const ZyrSample::Ifds& d) {
                  Replace(w, d.privateIfd, 1021, [&] { w.Bytes(d.privateIfd, 1021, 7, StoredRecord(0, 0, 100)); });
              }),
              0u);
    VqChromaRecord chroma{};
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_CHROMA_FILTER, &chroma), 0u);
    EXPECT_EQ(chroma.level, 100);
    EXPECT_NE(chroma.available, 0);
    EXPECT_EQ(Param<uint16_t>(lumora::RP_CFA_TABLE_SIZE), uint16_t(chroma.available));
    ASSERT_EQ(VqSetExtension(&info_, VQ_EXT_CHROMA_FILTER, nullptr, 0, 0, 0, 0), 0u);
    EXPECT_EQ(Param<uint16_t>(lumora::RP_CFA_TABLE_SIZE), 0);
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_CHROMA_FILTER, reinterpret_cast<void*>(uintptr_t(50)), 0, 0, 0, 0),
              VQ_ERR_VALUE_OUT_OF_RANGE);
    ASSERT_EQ(VqGetExtension(&info_, VQ_EXT_CHROMA_FILTER, &chroma), 0u);
    EXPECT_EQ(chroma.level, 0);
    // A file without the tables (a monochrome one) cannot switch the filter on.
    ZyrSampleOptions mono = Options();
    mono.colour = false;
    ASSERT_EQ(Open(mono), 0u);
    EXPECT_EQ(VqSetExtension(&info_, VQ_EXT_CHROMA_FILTER, reinterpret_cast<void*>(uintptr_t(100)), 0, 0, 0, 0),
              VQ_ERR_CHROMA_NOT_AVAILABLE);
}

} // namespace
} // namespace rawimagetest

// Renders of every output type with caller buffers from 16 rows to the whole
// picture, against stored hashes of the strips the caller received. The engine
// may work through the picture in smaller pieces than the caller's buffer; what
// the caller sees (strip count, sizes, order and bytes) must stay as it was.
#include "Fnv64.h"
#include "RawImageFixture.h"

#include <cinttypes>
#include <cstdio>

#include "VqOutputTypes.h"
#include "WorkerPool.h"

using namespace rawimagetest;

namespace {

// Each strip's size and bytes, in the order the caller got them.
Fnv64* gHash = nullptr;

void* HashStrip(void* buffer, uint32_t byteCount, int32_t) {
    gHash->Add32(byteCount);
    gHash->Add(buffer, byteCount);
    return buffer;
}

struct Expected {
    const char* file;
    uint32_t type;
    uint64_t hash;  // over every buffer size, subsample and rotation of the type
};

// clang-format off
const Expected kExpected[] = {
    {"plain", 0, 0x85A1B844FCC7DDA5ull},
    {"plain", 2, 0xB4F7B105B530D0F1ull},
    {"plain", 3, 0x46E9B4C3B2817BB5ull},
    {"plain", 4, 0x89DC33C0F756F283ull},
    {"plain", 5, 0x7FBC4AE154003DC3ull},
    {"plain", 6, 0x37469DAFAE78F9BFull},
    {"plain", 7, 0xE2B2E757B023AF03ull},
    {"plain", 8, 0x86FB85A02A3355ABull},
    {"plain", 9, 0x21A79A94774C94BFull},
    {"plain", 10, 0xE964B2C7F08D4CEFull},
    {"plain", 11, 0xAC886EDE565CB1D3ull},
    {"plain", 12, 0x89DC33C0F756F283ull},
    {"plain", 13, 0x94F0A6DDF843CFE5ull},
    {"plain", 14, 0x05025025A6170115ull},
    {"plain", 15, 0xC9AAA215A31F6735ull},
    {"plain", 16, 0xC9AAA215A31F6735ull},
    {"plain", 17, 0xC9AAA215A31F6735ull},
    {"plain", 18, 0xC9AAA215A31F6735ull},
    {"plain", 19, 0xC9AAA215A31F6735ull},
    {"plain", 20, 0xC9AAA215A31F6735ull},
    {"lossless JPEG", 0, 0x85A1B844FCC7DDA5ull},
    {"lossless JPEG", 2, 0xB4F7B105B530D0F1ull},
    {"lossless JPEG", 3, 0x46E9B4C3B2817BB5ull},
    {"lossless JPEG", 4, 0x89DC33C0F756F283ull},
    {"lossless JPEG", 5, 0x7FBC4AE154003DC3ull},
    {"lossless JPEG", 6, 0x37469DAFAE78F9BFull},
    {"lossless JPEG", 7, 0xE2B2E757B023AF03ull},
    {"lossless JPEG", 8, 0x86FB85A02A3355ABull},
    {"lossless JPEG", 9, 0x21A79A94774C94BFull},
    {"lossless JPEG", 10, 0xE964B2C7F08D4CEFull},
    {"lossless JPEG", 11, 0xAC886EDE565CB1D3ull},
    {"lossless JPEG", 12, 0x89DC33C0F756F283ull},
    {"lossless JPEG", 13, 0x94F0A6DDF843CFE5ull},
    {"lossless JPEG", 14, 0x05025025A6170115ull},
    {"lossless JPEG", 15, 0xC9AAA215A31F6735ull},
    {"lossless JPEG", 16, 0xC9AAA215A31F6735ull},
    {"lossless JPEG", 17, 0xC9AAA215A31F6735ull},
    {"lossless JPEG", 18, 0xC9AAA215A31F6735ull},
    {"lossless JPEG", 19, 0xC9AAA215A31F6735ull},
    {"lossless JPEG", 20, 0xC9AAA215A31F6735ull},
    {"corrections", 0, 0x3345A83E9BA89C59ull},
    {"corrections", 2, 0x6419DD89DA79278Full},
    {"corrections", 3, 0x7649F0DD18C58195ull},
    {"corrections", 4, 0xC6C46F918D59919Dull},
    {"corrections", 5, 0x86884FE75455918Dull},
    {"corrections", 6, 0xCE1D28BD22DFF043ull},
    {"corrections", 7, 0xBC476D7AA12DEC47ull},
    {"corrections", 8, 0x6371AE7F0FABD44Dull},
    {"corrections", 9, 0x80E42A00465F70D9ull},
    {"corrections", 10, 0x60901A45591332F3ull},
    {"corrections", 11, 0x07E8428EE73EF17Full},
    {"corrections", 12, 0xC6C46F918D59919Dull},
    {"corrections", 13, 0xE2F9A07A61FC12BDull},
    {"corrections", 14, 0xD5926A21AA036999ull},
    {"corrections", 15, 0x887D53AF770D3FE1ull},
    {"corrections", 16, 0x887D53AF770D3FE1ull},
    {"corrections", 17, 0x887D53AF770D3FE1ull},
    {"corrections", 18, 0x887D53AF770D3FE1ull},
    {"corrections", 19, 0x887D53AF770D3FE1ull},
    {"corrections", 20, 0x887D53AF770D3FE1ull},
};
// clang-format on

// Rows of the caller's buffer; 0 stands for the whole picture.
constexpr int32_t kBufferRows[] = {16, 17, 24, 64, 100, 0};
constexpr int16_t kSubsamples[] = {1, 2};
constexpr float kRotations[] = {0.0f, 90.0f, 180.0f, 270.0f};
constexpr uint8_t kPadBytes[] = {0, 3};

class StripBufferHashTest : public RawImageTest, public ::testing::WithParamInterface<unsigned> {
protected:
    // The same bytes whatever the worker pool's lanes.
    void SetUp() override {
        RawImageTest::SetUp();
        lumora::WorkerPool::Shared().SetLanes(GetParam());
    }
    void TearDown() override {
        lumora::WorkerPool::Shared().SetLanes(lumora::ProcessorCount());
        RawImageTest::TearDown();
    }
    void RenderInto(Fnv64& hash, uint32_t type, int16_t subsample, float rotation, uint8_t pad, int32_t rows) {
        hash.Add32(VqSetImageType(&info_, type));
        hash.Add32(VqSetSubSample(&info_, subsample));
        hash.Add32(VqSetRotateType(&info_, rotation));
        hash.Add32(VqSetImagePadBytes(&info_, pad));
        const ImageGeometry& g = info_.geometry;
        const size_t rowBytes = size_t(std::max(g.outputWidth, 0)) * size_t(std::max(g.channels, 0)) *
                                    size_t(std::max(g.bytesPerSample, 0)) +
                                pad;
        const size_t allRows = size_t(std::max(g.outputHeight, 0));
        const size_t bytes = rowBytes * (rows == 0 ? allRows : std::min(allRows, size_t(rows)));
        std::vector<uint8_t> buffer(std::max<size_t>(bytes, 1));
        gHash = &hash;
        ImageBufferRecord record{buffer.data(), uint32_t(buffer.size()), 0, HashStrip};
        hash.Add32(VqGetImage(&info_, &record, nullptr));
        gHash = nullptr;
    }
};

TEST_P(StripBufferHashTest, EveryTypeRendersTheSameWhateverTheCallersBuffer) {
    size_t checked = 0;
    struct File {
        const char* name;
        bool ljpeg, corrections;
    };
    for (const File& file : {File{"plain", false, false}, File{"lossless JPEG", true, false},
                             File{"corrections", false, true}}) {
        ZyrSampleOptions o = Options("ZYNM11");
        o.ljpegSensor = file.ljpeg;
        // Tall enough for many strips of the smallest buffer.
        o.sensorWidth = 136;
        o.sensorHeight = 264;
        if (file.corrections) {
            // Every stage that looks at its neighbours or at where it is.
            o.rowOffsets = o.columnOffsets = o.gainMap = true;
            o.demosaicThreshold = 40;
            o.toneCurve1 = true;
            o.colourCurves = 3601;
        }
        ASSERT_EQ(Open(o), 0u) << file.name;
        for (uint32_t type = VQ_TYPE_RAW; type <= VQ_TYPE_LAST; ++type) {
            if (type == 1) continue;  // not a type
            Fnv64 hash;
            for (int32_t rows : kBufferRows)
                for (int16_t subsample : kSubsamples)
                    for (float rotation : kRotations)
                        for (uint8_t pad : kPadBytes) RenderInto(hash, type, subsample, rotation, pad, rows);
            const Expected* want = nullptr;
            for (const Expected& e : kExpected)
                if (e.file == std::string(file.name) && e.type == type) want = &e;
            char line[96];
            std::snprintf(line, sizeof line, "{\"%s\", %u, 0x%016" PRIX64 "ull},", file.name, type, hash.value());
            if (!want) {
                ADD_FAILURE() << "no stored hash for " << line;
                continue;
            }
            EXPECT_EQ(hash.value(), want->hash) << "render changed: " << line;
            ++checked;
        }
    }
    EXPECT_EQ(checked, std::size(kExpected)) << "a stored hash was not rendered";
}

INSTANTIATE_TEST_SUITE_P(Lanes, StripBufferHashTest, ::testing::Values(1u, 2u, 8u));

} // namespace

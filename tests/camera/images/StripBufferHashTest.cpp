// Renders of every output type with caller buffers from 16 rows to the whole
// picture, against stored hashes of the strips the caller received. The engine
// may work through the picture in smaller pieces than the caller's buffer; what
// the caller sees (strip count, sizes, order and bytes) must stay as it was.
#include "RawImageFixture.h"

#include <cinttypes>
#include <cstdio>

#include "VqOutputTypes.h"

using namespace rawimagetest;

namespace {

class Fnv64 {
public:
    void Add(const void* data, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < n; ++i) {
            hash_ ^= p[i];
            hash_ *= 0x100000001B3ull;
        }
    }
    void Add32(uint32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        Add(b, 4);
    }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

// Each strip's size and bytes, in the order the caller got them.
Fnv64* gHash = nullptr;

void* HashStrip(void* buffer, uint32_t byteCount, int32_t) {
    gHash->Add32(byteCount);
    gHash->Add(buffer, byteCount);
    return buffer;
}

struct Expected {
    bool ljpeg;
    uint32_t type;
    uint64_t hash;  // over every buffer size, subsample and rotation of the type
};

// clang-format off
const Expected kExpected[] = {
    {false, 0, 0xBC143C91A5D92203ull},
    {false, 2, 0x16F81639C398DEF0ull},
    {false, 3, 0x4CF97ECEBBC9C1C1ull},
    {false, 4, 0x171C1157E5CE8174ull},
    {false, 5, 0xCC2D158D7717E97Bull},
    {false, 6, 0x210BB952460E946Aull},
    {false, 7, 0x519E61E7B85DF943ull},
    {false, 8, 0x2BE015A6CE3E68A8ull},
    {false, 9, 0x2F4452189FFB676Dull},
    {false, 10, 0x3FFA236C3CBB2122ull},
    {false, 11, 0xFB92B98FBA0C5173ull},
    {false, 12, 0x171C1157E5CE8174ull},
    {false, 13, 0x876889AE354AB58Full},
    {false, 14, 0x70D27264AE7CD9CDull},
    {false, 15, 0x53C6535B6C9821DDull},
    {false, 16, 0x53C6535B6C9821DDull},
    {false, 17, 0x53C6535B6C9821DDull},
    {false, 18, 0x53C6535B6C9821DDull},
    {false, 19, 0x53C6535B6C9821DDull},
    {false, 20, 0x53C6535B6C9821DDull},
    {true, 0, 0xBC143C91A5D92203ull},
    {true, 2, 0x16F81639C398DEF0ull},
    {true, 3, 0x4CF97ECEBBC9C1C1ull},
    {true, 4, 0x171C1157E5CE8174ull},
    {true, 5, 0xCC2D158D7717E97Bull},
    {true, 6, 0x210BB952460E946Aull},
    {true, 7, 0x519E61E7B85DF943ull},
    {true, 8, 0x2BE015A6CE3E68A8ull},
    {true, 9, 0x2F4452189FFB676Dull},
    {true, 10, 0x3FFA236C3CBB2122ull},
    {true, 11, 0xFB92B98FBA0C5173ull},
    {true, 12, 0x171C1157E5CE8174ull},
    {true, 13, 0x876889AE354AB58Full},
    {true, 14, 0x70D27264AE7CD9CDull},
    {true, 15, 0x53C6535B6C9821DDull},
    {true, 16, 0x53C6535B6C9821DDull},
    {true, 17, 0x53C6535B6C9821DDull},
    {true, 18, 0x53C6535B6C9821DDull},
    {true, 19, 0x53C6535B6C9821DDull},
    {true, 20, 0x53C6535B6C9821DDull},
};
// clang-format on

// Rows of the caller's buffer; 0 stands for the whole picture.
constexpr int32_t kBufferRows[] = {16, 17, 24, 64, 100, 0};
constexpr int16_t kSubsamples[] = {1, 2};
constexpr float kRotations[] = {0.0f, 90.0f};

class StripBufferHashTest : public RawImageTest {
protected:
    void RenderInto(Fnv64& hash, uint32_t type, int16_t subsample, float rotation, int32_t rows) {
        hash.Add32(VqSetImageType(&info_, type));
        hash.Add32(VqSetSubSample(&info_, subsample));
        hash.Add32(VqSetRotateType(&info_, rotation));
        const ImageGeometry& g = info_.geometry;
        const size_t rowBytes =
            size_t(std::max(g.outputWidth, 0)) * size_t(std::max(g.channels, 0)) * size_t(std::max(g.bytesPerSample, 0));
        const size_t allRows = size_t(std::max(g.outputHeight, 0));
        const size_t bytes = rowBytes * (rows == 0 ? allRows : std::min(allRows, size_t(rows)));
        std::vector<uint8_t> buffer(std::max<size_t>(bytes, 1));
        gHash = &hash;
        ImageBufferRecord record{buffer.data(), uint32_t(buffer.size()), 0, HashStrip};
        hash.Add32(VqGetImage(&info_, &record, nullptr));
        gHash = nullptr;
    }
};

TEST_F(StripBufferHashTest, EveryTypeRendersTheSameWhateverTheCallersBuffer) {
    size_t checked = 0;
    for (bool ljpeg : {false, true}) {
        ZyrSampleOptions o = Options("ZYNM11");
        o.ljpegSensor = ljpeg;
        // Tall enough for many strips of the smallest buffer.
        o.sensorWidth = 136;
        o.sensorHeight = 264;
        ASSERT_EQ(Open(o), 0u) << (ljpeg ? "lossless JPEG" : "plain");
        for (uint32_t type = VQ_TYPE_RAW; type <= VQ_TYPE_LAST; ++type) {
            if (type == 1) continue;  // not a type
            Fnv64 hash;
            for (int32_t rows : kBufferRows)
                for (int16_t subsample : kSubsamples)
                    for (float rotation : kRotations) RenderInto(hash, type, subsample, rotation, rows);
            const Expected* want = nullptr;
            for (const Expected& e : kExpected)
                if (e.ljpeg == ljpeg && e.type == type) want = &e;
            char line[96];
            std::snprintf(line, sizeof line, "{%s, %u, 0x%016" PRIX64 "ull},", ljpeg ? "true" : "false", type,
                          hash.value());
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

} // namespace

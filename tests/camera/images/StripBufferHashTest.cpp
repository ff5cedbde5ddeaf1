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
    const char* file;
    uint32_t type;
    uint64_t hash;  // over every buffer size, subsample and rotation of the type
};

// clang-format off
const Expected kExpected[] = {
    {"plain", 0, 0xBC143C91A5D92203ull},
    {"plain", 2, 0x16F81639C398DEF0ull},
    {"plain", 3, 0x4CF97ECEBBC9C1C1ull},
    {"plain", 4, 0x171C1157E5CE8174ull},
    {"plain", 5, 0xCC2D158D7717E97Bull},
    {"plain", 6, 0x210BB952460E946Aull},
    {"plain", 7, 0x519E61E7B85DF943ull},
    {"plain", 8, 0x2BE015A6CE3E68A8ull},
    {"plain", 9, 0x2F4452189FFB676Dull},
    {"plain", 10, 0x3FFA236C3CBB2122ull},
    {"plain", 11, 0xFB92B98FBA0C5173ull},
    {"plain", 12, 0x171C1157E5CE8174ull},
    {"plain", 13, 0x876889AE354AB58Full},
    {"plain", 14, 0x70D27264AE7CD9CDull},
    {"plain", 15, 0x53C6535B6C9821DDull},
    {"plain", 16, 0x53C6535B6C9821DDull},
    {"plain", 17, 0x53C6535B6C9821DDull},
    {"plain", 18, 0x53C6535B6C9821DDull},
    {"plain", 19, 0x53C6535B6C9821DDull},
    {"plain", 20, 0x53C6535B6C9821DDull},
    {"lossless JPEG", 0, 0xBC143C91A5D92203ull},
    {"lossless JPEG", 2, 0x16F81639C398DEF0ull},
    {"lossless JPEG", 3, 0x4CF97ECEBBC9C1C1ull},
    {"lossless JPEG", 4, 0x171C1157E5CE8174ull},
    {"lossless JPEG", 5, 0xCC2D158D7717E97Bull},
    {"lossless JPEG", 6, 0x210BB952460E946Aull},
    {"lossless JPEG", 7, 0x519E61E7B85DF943ull},
    {"lossless JPEG", 8, 0x2BE015A6CE3E68A8ull},
    {"lossless JPEG", 9, 0x2F4452189FFB676Dull},
    {"lossless JPEG", 10, 0x3FFA236C3CBB2122ull},
    {"lossless JPEG", 11, 0xFB92B98FBA0C5173ull},
    {"lossless JPEG", 12, 0x171C1157E5CE8174ull},
    {"lossless JPEG", 13, 0x876889AE354AB58Full},
    {"lossless JPEG", 14, 0x70D27264AE7CD9CDull},
    {"lossless JPEG", 15, 0x53C6535B6C9821DDull},
    {"lossless JPEG", 16, 0x53C6535B6C9821DDull},
    {"lossless JPEG", 17, 0x53C6535B6C9821DDull},
    {"lossless JPEG", 18, 0x53C6535B6C9821DDull},
    {"lossless JPEG", 19, 0x53C6535B6C9821DDull},
    {"lossless JPEG", 20, 0x53C6535B6C9821DDull},
    {"corrections", 0, 0xA31ABB0DF80675CFull},
    {"corrections", 2, 0xE86FE19BC6450A11ull},
    {"corrections", 3, 0x11D58F59C520BD99ull},
    {"corrections", 4, 0x4A1287005E325DEBull},
    {"corrections", 5, 0xEA053300F21A11D0ull},
    {"corrections", 6, 0xBFD37A1715D55942ull},
    {"corrections", 7, 0x51A263D95C579FC3ull},
    {"corrections", 8, 0xE54AC67499D144B3ull},
    {"corrections", 9, 0x124C9F23E90B5138ull},
    {"corrections", 10, 0x79F23A942248F73Eull},
    {"corrections", 11, 0x635D873FF51370BFull},
    {"corrections", 12, 0x4A1287005E325DEBull},
    {"corrections", 13, 0x3D0F2796F0BA9FA7ull},
    {"corrections", 14, 0xC8FCAE15F24E5689ull},
    {"corrections", 15, 0x1D8FE21CAA0AB2C1ull},
    {"corrections", 16, 0x1D8FE21CAA0AB2C1ull},
    {"corrections", 17, 0x1D8FE21CAA0AB2C1ull},
    {"corrections", 18, 0x1D8FE21CAA0AB2C1ull},
    {"corrections", 19, 0x1D8FE21CAA0AB2C1ull},
    {"corrections", 20, 0x1D8FE21CAA0AB2C1ull},
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
                    for (float rotation : kRotations) RenderInto(hash, type, subsample, rotation, rows);
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

} // namespace

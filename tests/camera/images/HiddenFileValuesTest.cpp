// Hidden properties that read the file itself: the tag lookup (10), the bytes
// as they stand (11) and the values in host order (14). A big-endian raw file
// has its values turned in whole units of their type, a little-endian file of
// the oldest models answers its bytes as they are, and a request past the file
// is refused before anything is read, leaving the caller's record alone.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "RawImageFixture.h"
#include "ZyrCameraFile.h"
#include "ZyrOldestSample.h"

namespace {

constexpr uint32_t kFindTag = 10, kFileBytes = 11, kFileValues = 14;

class HiddenFileValuesTest : public rawimagetest::RawImageTest {
protected:
    // The record of ids 11 and 14: offset, length and type in, bytes out over it.
    struct Read {
        uint32_t status = 0;
        std::array<uint8_t, 64> record{};
    };
    static Read Request(uint32_t offset, uint32_t length, uint32_t type) {
        Read r;
        r.record.fill(0xEE);
        const uint32_t words[3] = {offset, length, type};
        std::memcpy(r.record.data(), words, sizeof words);
        return r;
    }
    Read Values(uint32_t id, uint32_t offset, uint32_t length, uint32_t type = 0) {
        Read r = Request(offset, length, type);
        r.status = VqGetHidden(&info_, id, r.record.data());
        return r;
    }
    // The lookup record: 32-bit words, tag and type in word 0 ... position in 7.
    uint32_t Find(uint16_t tag, uint16_t occurrence, uint16_t limit, uint32_t (&out)[8]) {
        uint8_t record[32] = {};
        const uint16_t request[3] = {tag, occurrence, limit};
        std::memcpy(record, request, sizeof request);
        const uint32_t status = VqGetHidden(&info_, kFindTag, record);
        std::memcpy(out, record, sizeof out);
        return status;
    }
    std::vector<uint8_t> file_;
};

// The raw image of family 1 in big-endian order: "MM", 42 and the first
// directory's offset open the file.
TEST_F(HiddenFileValuesTest, BigEndianValuesAreTurnedInWholeUnits) {
    file_ = Build(Options());
    ASSERT_EQ(file_[0], 'M');
    ASSERT_EQ(OpenBytes(file_), 0u);
    struct Row {
        const char* what;
        uint32_t id, offset, length, type;
        std::vector<uint8_t> expected;  // empty: the file's bytes as they stand
    };
    const std::vector<uint8_t>& f = file_;
    const Row rows[] = {
        {"bytes as they stand", kFileBytes, 0, 8, 0, {}},
        {"bytes of type 1 stay", kFileValues, 0, 4, 1, {}},
        {"a short", kFileValues, 2, 2, 3, {f[3], f[2]}},
        {"a short and a byte that is not a whole one", kFileValues, 2, 3, 3, {f[3], f[2], f[4]}},
        {"a long", kFileValues, 4, 4, 4, {f[7], f[6], f[5], f[4]}},
        {"a long and half of one more", kFileValues, 2, 6, 4, {f[5], f[4], f[3], f[2], f[6], f[7]}},
        {"a rational turns in 4-byte units", kFileValues, 0, 8, 5, {f[3], f[2], f[1], f[0], f[7], f[6], f[5], f[4]}},
        {"a double turns whole", kFileValues, 0, 8, 12, {f[7], f[6], f[5], f[4], f[3], f[2], f[1], f[0]}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const Read got = Values(r.id, r.offset, r.length, r.type);
        ASSERT_EQ(got.status, 0u);
        const std::vector<uint8_t> expected =
            r.expected.empty() ? std::vector<uint8_t>(f.begin() + r.offset, f.begin() + r.offset + r.length)
                               : r.expected;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got.record.begin()));
        // Nothing beyond the length is written: the rest of the record is as
        // the caller left it.
        const Read before = Request(r.offset, r.length, r.type);
        EXPECT_TRUE(std::equal(before.record.begin() + r.length, before.record.end(), got.record.begin() + r.length));
    }
    uint32_t first = 0;
    std::memcpy(&first, Values(kFileValues, 4, 4, 4).record.data(), 4);
    EXPECT_EQ(first, uint32_t(f[4]) << 24 | uint32_t(f[5]) << 16 | uint32_t(f[6]) << 8 | f[7]);

    // Refused: a type outside 1..12, bytes past the file, an offset and length
    // that only wrap round to fit in 32 bits. The record stays as it was.
    const uint32_t size = uint32_t(f.size());
    struct Refusal {
        const char* what;
        uint32_t id, offset, length, type;
    };
    const Refusal refusals[] = {
        {"type 13", kFileValues, 0, 4, 13},
        {"type 0", kFileValues, 0, 4, 0},
        {"one byte past the end", kFileBytes, size - 4, 5, 0},
        {"past the end in host order", kFileValues, size - 2, 4, 3},
        {"wrapping round", kFileBytes, 0xFFFFFFF0u, 0x20, 0},
        {"more than the file holds", kFileBytes, 0, 0x7FFFFFFF, 0},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        const Read got = Values(r.id, r.offset, r.length, r.type);
        EXPECT_NE(got.status, 0u);
        uint32_t words[3];
        std::memcpy(words, got.record.data(), sizeof words);
        if (r.type != 13 && r.type != 0) {
            EXPECT_EQ(words[0], r.offset);
            EXPECT_EQ(words[1], r.length);
        }
        EXPECT_EQ(got.record[12], 0xEE);
    }
}

// The oldest models write little-endian files: every value is answered as the
// file holds it, and the base class names the refusals.
TEST_F(HiddenFileValuesTest, LittleEndianValuesStandAndRefusalsAreNamed) {
    file_ = ZyrOldestSample::Make(ZyrOldestOptions{});
    ASSERT_EQ(file_[0], 'I');
    ASSERT_EQ(OpenBytes(file_), 0u);
    for (uint32_t type : {3u, 4u, 5u, 12u}) {
        const Read got = Values(kFileValues, 0, 8, type);
        ASSERT_EQ(got.status, 0u) << type;
        EXPECT_TRUE(std::equal(file_.begin(), file_.begin() + 8, got.record.begin())) << type;
    }
    const uint32_t size = uint32_t(file_.size());
    EXPECT_EQ(Values(kFileBytes, size - 4, 5).status, VQ_ERR_READ_PAST_BUFFER);
    EXPECT_EQ(Values(kFileValues, 0xFFFFFFF0u, 0x20, 4).status, VQ_ERR_READ_PAST_BUFFER);
    const Read untouched = Values(kFileBytes, 0, 0x7FFFFFFF);
    EXPECT_EQ(untouched.status, VQ_ERR_READ_PAST_BUFFER);
    EXPECT_EQ(untouched.record[12], 0xEE);
    // A length of 0 reads nothing.
    EXPECT_EQ(Values(kFileBytes, 0, 0).status, 0u);
}

// The lookup answers where the value lies in the file; reading there with id 11
// gives the value itself, in a raw file and in a camera JPEG file, whose TIFF
// structure starts inside its APP1 segment.
TEST_F(HiddenFileValuesTest, TagLookupPointsAtTheValueInTheFile) {
    struct Case {
        const char* what;
        bool jpeg;
        const char* model;
    } cases[] = {{"raw file", false, "ZYNM11"}, {"camera JPEG file", true, "ZYNM18"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZyrCameraFileOptions camera;
        camera.model = c.model;
        ASSERT_EQ(OpenBytes(c.jpeg ? ZyrCameraFile::Make(camera) : Build(Options(c.model))), 0u);
        uint32_t found[8];
        ASSERT_EQ(Find(272, 0, 1, found), 0u);  // Model, in the first directory
        EXPECT_EQ(found[0], 272u | 2u << 16);
        EXPECT_EQ(found[3], 2u);  // ASCII
        EXPECT_EQ(found[6], 1u);
        EXPECT_EQ(found[4], found[5]);
        EXPECT_NE(found[7], 0u);
        ASSERT_GT(found[5], 4u);
        const Read text = Values(kFileBytes, found[2], found[5]);
        ASSERT_EQ(text.status, 0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.record.data()), 6), c.model);

        // A tag the file does not hold: no position, and an error.
        EXPECT_NE(Find(65000, 0, 4, found), 0u);
        EXPECT_EQ(found[7], 0u);
    }
}

} // namespace

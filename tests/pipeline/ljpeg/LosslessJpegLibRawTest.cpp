// An outside decoder agrees with ours: streams of the test encoder, wrapped as
// one-tile lossless-JPEG DNGs (Compression 7, CFA), decode sample-identical
// with LibRaw's unprocessed_raw. Skipped when libraw-bin is not installed.
#include "LjpegDngWriter.h"
#include "LjpegTestStreams.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using lumora::LosslessJpegDecoder;

namespace {

std::string findTool(const char* name) {
    const char* path = std::getenv("PATH");
    std::stringstream ss(path ? path : "");
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        const fs::path p = fs::path(dir) / name;
        if (::access(p.c_str(), X_OK) == 0) return p.string();
    }
    return {};
}

// Reads the 16-bit (or 8-bit) samples of a binary PGM.
bool readPgm(const fs::path& file, uint32_t& w, uint32_t& h, std::vector<uint16_t>& out) {
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    uint32_t maxv = 0;
    if (!(in >> magic >> w >> h >> maxv) || magic != "P5") return false;
    in.get();
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t n = size_t(w) * h;
    const size_t per = maxv > 255 ? 2 : 1;
    if (bytes.size() != n * per) return false;
    out.resize(n);
    for (size_t i = 0; i < n; ++i) out[i] = per == 2 ? uint16_t(bytes[2 * i] << 8 | bytes[2 * i + 1]) : bytes[i];
    return true;
}

class LibRawTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool_ = findTool("unprocessed_raw");
        if (tool_.empty()) GTEST_SKIP() << "unprocessed_raw (libraw-bin) is not installed";
    }
    // Decodes the DNG with LibRaw; false when it produced nothing.
    bool libraw(const std::vector<uint8_t>& dng, const std::string& name, std::vector<uint16_t>& out, uint32_t& w,
                uint32_t& h) {
        const fs::path file = dir_ / (name + ".dng");
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(dng.data()), std::streamsize(dng.size()));
        const std::string cmd = "'" + tool_ + "' -q '" + file.string() + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) return false;
        return readPgm(file.string() + ".pgm", w, h, out);
    }
    std::string tool_;
    lumora::test::TempFolder folder_;
    fs::path dir_ = folder_.path();
};

} // namespace

TEST_F(LibRawTest, AgreesOnEveryPrecisionComponentsPredictorAndRestartInterval) {
    const uint32_t width = 64, height = 32; // sensor samples; LibRaw wants more than a few
    for (uint32_t p : {8u, 12u, 14u, 16u})
        for (uint32_t n : {1u, 2u})
            for (uint32_t pred = 1; pred <= 7; ++pred)
                for (uint32_t rows : {0u, 4u}) {
                    const std::string name = "p" + std::to_string(p) + "n" + std::to_string(n) + "s" +
                                             std::to_string(pred) + "r" + std::to_string(rows);
                    SCOPED_TRACE(name);
                    const uint32_t X = width / n;
                    const auto samples = ljpegtest::makeSamples(X, height, n, p, p + n * 7 + pred * 13 + rows);
                    const ljpegenc::EncodeOptions o = ljpegtest::options(X, height, n, p, pred, rows * X);
                    std::vector<uint8_t> stream;
                    ASSERT_TRUE(ljpegenc::encodeLosslessJpeg(samples.data(), o, stream));

                    const auto ours = ljpegtest::decode(stream, samples.size(), width, height);
                    ASSERT_EQ(ours.status, VQ_OK);
                    const std::vector<uint16_t> decoded(ours.samples.begin(), ours.samples.end() - 1);
                    // Our decoder follows the standard's rule everywhere: the
                    // first row after a restart marker starts again from
                    // 2^(P-Pt-1) and predicts from the left neighbour.
                    ASSERT_EQ(decoded, samples);

                    std::vector<uint16_t> theirs;
                    uint32_t w = 0, h = 0;
                    ASSERT_TRUE(libraw(ljpegenc::wrapLjpegAsDng(stream, width, height, p), name, theirs, w, h));
                    ASSERT_EQ(w, width);
                    ASSERT_EQ(h, height);
                    if (rows != 0 && pred != 1) {
                        // LibRaw predicts the first row after a restart marker
                        // from the row above with the scan's predictor, where
                        // the standard predicts it from the left neighbour; there
                        // the comparison is against the standard's rule (the
                        // encoder's samples, checked above) instead.
                        continue;
                    }
                    EXPECT_EQ(theirs, decoded);
                }
}

// The slides of raw files show the thumbnail the file stores: a folder with two
// copies of one raw file and a monochrome raw file, opened in two starts of
// the program. Each slide's picture is found in the screen's picture, pixel
// for pixel, as coreclient renders the file's thumbnail: twice for the two
// copies, once (grey in all three channels) for the monochrome file, and the
// same in both starts.
#include "ProgramFixture.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

namespace {

// A binary netpbm picture (P5 grey or P6 RGB, 8 bits) as RGB triples.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; }
};

Picture ReadNetpbm(const fs::path& path) {
    Picture p;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> p.width >> p.height >> maximum;
    in.get();
    if (!in || (magic != "P5" && magic != "P6") || maximum != 255 || p.width <= 0 || p.height <= 0) return Picture();
    const int channels = magic == "P6" ? 3 : 1;
    std::vector<uint8_t> data(size_t(p.width) * size_t(p.height) * size_t(channels));
    if (!in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()))) return Picture();
    if (channels == 3) {
        p.rgb = std::move(data);
    } else {
        p.rgb.reserve(data.size() * 3);
        for (uint8_t v : data) p.rgb.insert(p.rgb.end(), {v, v, v});
    }
    return p;
}

bool Near(const uint8_t* a, const uint8_t* b, int tolerance) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(int(a[c]) - int(b[c])) > tolerance) return false;
    return true;
}

// Where the whole of `part` lies in `screen`, each sample within the
// tolerance.
std::vector<std::array<int, 2>> FindAll(const Picture& screen, const Picture& part, int tolerance) {
    std::vector<std::array<int, 2>> found;
    const int w = part.width, h = part.height;
    const std::array<std::array<int, 2>, 5> probes = {
        {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}}};
    for (int y = 0; y + h <= screen.height; ++y)
        for (int x = 0; x + w <= screen.width; ++x) {
            bool match = true;
            for (const auto& [px, py] : probes)
                if (!Near(screen.At(x + px, y + py), part.At(px, py), tolerance)) {
                    match = false;
                    break;
                }
            for (int yy = 0; match && yy < h; ++yy)
                for (int xx = 0; match && xx < w; ++xx)
                    match = Near(screen.At(x + xx, y + yy), part.At(xx, yy), tolerance);
            if (match) found.push_back({x, y});
        }
    return found;
}

// A slide fits its thumbnail into 134 x 134 pixels: a thumbnail of that width
// is drawn at its own size, so the screen shows the file's pixels unscaled.
constexpr const char* kSensor = "536x400";
constexpr const char* kThumb = "134x100";

} // namespace

TEST_F(ProgramTest, RawSlidesShowTheStoredThumbnailEqualAcrossCopiesAndStarts) {
    const fs::path folder = root_ / "Thumbs";
    fs::create_directories(folder);
    const std::string zyrwrite = (BinDir() / "zyrwrite").string();
    ASSERT_EQ(std::system((zyrwrite + " --sample '" + (folder / "COPY1.ZYR").string() + "' --sensor " + kSensor +
                           " --thumb " + kThumb + " --settings-data --tag-word 1 > /dev/null")
                              .c_str()),
              0);
    fs::copy_file(folder / "COPY1.ZYR", folder / "COPY2.ZYR");
    ASSERT_EQ(std::system((zyrwrite + " --sample '" + (folder / "MONO.ZYR").string() + "' --sensor " + kSensor +
                           " --thumb " + kThumb + " --mono --settings-data --tag-word 0 > /dev/null")
                              .c_str()),
              0);

    // What coreclient renders as each file's thumbnail.
    const std::string coreclient = (BinDir() / "coreclient").string();
    const fs::path colourThumb = out_ / "COPY1-thumbnail.ppm", monoThumb = out_ / "MONO-thumbnail.pgm";
    ASSERT_EQ(std::system((coreclient + " render '" + (folder / "COPY1.ZYR").string() + "' '" + colourThumb.string() +
                           "' --thumbnail > /dev/null")
                              .c_str()),
              0);
    ASSERT_EQ(std::system((coreclient + " render '" + (folder / "MONO.ZYR").string() + "' '" + monoThumb.string() +
                           "' --thumbnail > /dev/null")
                              .c_str()),
              0);
    const Picture colour = ReadNetpbm(colourThumb), mono = ReadNetpbm(monoThumb);
    ASSERT_EQ(colour.width, 134);
    ASSERT_EQ(colour.height, 100);
    ASSERT_EQ(mono.width, 134);
    ASSERT_EQ(mono.height, 100);
    // Neither is black.
    EXPECT_GT(*std::max_element(colour.rgb.begin(), colour.rgb.end()), 128);
    EXPECT_GT(*std::max_element(mono.rgb.begin(), mono.rgb.end()), 128);

    // Each start: the sheet's slides, found in the screen's picture.
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        Process program = Start({folder.string()});
        const std::string frame = FindWindow("^Zyn Lumora");
        ASSERT_FALSE(frame.empty()) << ReadFile(program.stderrFile);
        ASSERT_TRUE(WaitForName(frame, "Zyn Lumora - Thumbs")) << WindowName(frame);
        const fs::path shot = out_ / ("start" + std::to_string(start) + ".ppm");
        std::vector<std::array<int, 2>> copies, grey;
        // The slides paint their thumbnails once the sheet is shown.
        for (int attempt = 0; attempt < 30; ++attempt) {
            std::this_thread::sleep_for(500ms);
            ASSERT_EQ(std::system(("import -window root -depth 8 '" + shot.string() + "'").c_str()), 0);
            const Picture screen = ReadNetpbm(shot);
            ASSERT_EQ(screen.width, 1600);
            copies = FindAll(screen, colour, 2);
            grey = FindAll(screen, mono, 2);
            if (copies.size() >= 2 && !grey.empty()) break;
        }
        const fs::path png = out_ / ("start" + std::to_string(start) + ".png");
        ASSERT_EQ(std::system(("convert '" + shot.string() + "' '" + png.string() + "'").c_str()), 0);
        EXPECT_EQ(copies.size(), 2u) << "both copies show coreclient's thumbnail";
        EXPECT_EQ(grey.size(), 1u) << "the monochrome file shows its grey thumbnail";
        // Side by side in one row of slides, in name order.
        if (copies.size() == 2 && grey.size() == 1) {
            EXPECT_EQ(copies[0][1], copies[1][1]);
            EXPECT_EQ(copies[1][1], grey[0][1]);
            EXPECT_LT(copies[0][0], copies[1][0]);
            EXPECT_LT(copies[1][0], grey[0][0]);
        }

        ASSERT_EQ(std::system((BinDir() / "wmdelete").string().append(" " + frame).c_str()), 0);
        EXPECT_EQ(WaitExit(program, 10s), 0) << ReadFile(program.stderrFile);
    }
}

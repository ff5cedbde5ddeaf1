// The command-line client on synthetic files of every family and version: what
// it prints is the record the interface filled.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

struct ClientRun {
    int exitCode = -1;
    std::string output;
    std::map<std::string, std::string> fields;  // of the first record printed
};

ClientRun RunClient(const std::string& arguments) {
    const char* bin = std::getenv("LUMORA_PROGRAM_DIR");
    ClientRun run;
    if (!bin) {
        ADD_FAILURE() << "LUMORA_PROGRAM_DIR is not set";
        return run;
    }
    const std::string command = std::string(bin) + "/vqclient " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) continue;
        run.fields.emplace(line.substr(0, colon), line.substr(colon + 2));
    }
    return run;
}

} // namespace

TEST(VqClient, PrintsTheRecordOfEachFamilyOrWhyItCannot) {
    struct Row {
        const char* what;
        ZyrSampleOptions options;
        const char* status;
        std::map<std::string, std::string> expect;
    };
    auto options = [](const char* model, uint32_t version, auto&& change) {
        ZyrSampleOptions o;
        o.model = model;
        o.version = version;
        change(o);
        return o;
    };
    auto none = [](ZyrSampleOptions&) {};
    const std::map<std::string, std::string> oldest = {
        {"modelFamily", "0"},
        {"outputType", "4"},
        {"isColour", "1"},
        {"colourSpace", "sRGB"},
        {"flags", "0x1b80"},
        {"dataBytes", "6144"},
        {"geometry.channels", "3"},
        {"geometry.bytesPerSample", "1"},
        {"geometry.fullWidth", "64"},
        {"geometry.fullHeight", "48"},
        {"geometry.activeWidth", "52"},
        {"geometry.activeHeight", "36"},
        {"geometry.outputBytes", "5616"},
        {"geometry.stripBytes", "936"},
        {"geometry.workBytes", "4224"},
        {"geometry.frameBytes", "9600"},
        {"whiteBalanceFileStatus", "0x6607"},
    };
    auto with = [&](std::map<std::string, std::string> extra) {
        auto m = oldest;
        for (auto& [k, v] : extra) m[k] = v;
        return m;
    };
    auto rawFamily = [](const char* family, const char* id) {
        return std::map<std::string, std::string>{
            {"modelFamily", family},     {"modelId", id},
            {"fileKind", "0 (raw TIFF)"}, {"outputType", "4"},
            {"isColour", "1"},           {"colourSpace", "sRGB"},
            {"flags", "0x1bf8"},         {"whiteBalanceFileStatus", "0x6608"},
            // The stored picture of the main directory: the header image.
            {"geometry.fullWidth", "32"}, {"geometry.fullHeight", "24"},
            {"geometry.outputWidth", "60"}, {"geometry.outputHeight", "44"},
        };
    };
    const Row rows[] = {
        {"oldest model, big-endian", options("ZYNM03", 0, none), "0x0000",
         with({{"model", "ZYNM03"}, {"modelId", "3"}, {"fileKind", "0 (raw TIFF)"},
               {"model2", "ZYNM03 synthetic"}, {"software", "zyrwrite 1.0"}, {"date", "2024-05-17 10:30:00"},
               {"name", "file.zyr"}})},
        {"oldest model, little-endian",
         options("ZYNM08", 0x03000000, [](ZyrSampleOptions& o) { o.order = lumora::ByteOrder::Little; }), "0x0000",
         with({{"model", "ZYNM08"}, {"modelId", "8"}, {"fileKind", "0 (raw TIFF)"}})},
        {"second name of model 9", options("ZYNX09", 0, none), "0x0000", with({{"modelId", "9"}})},
        {"oldest model, RGB TIFF", options("ZYNM02", 0, [](ZyrSampleOptions& o) { o.thumbWidth = 600; }), "0x0000",
         with({{"modelId", "2"}, {"fileKind", "3 (RGB TIFF)"}})},
        // A raw structure in APP1 with no JPEG image behind it.
        {"oldest model, camera JPEG", options("ZYNM02", 0, [](ZyrSampleOptions& o) { o.jpeg = true; }), "0x6802",
         {}},
        {"family 1, version 2.0", options("ZYNM11", 0x02000000, none), "0x0000", rawFamily("1", "11")},
        {"family 1, version 2.1", options("ZYNM11", 0x02010000, none), "0x411a", {}},
        {"family 1, version 3.0", options("ZYNM22", 0x03000000, none), "0x0000",
         std::map<std::string, std::string>{{"modelFamily", "1"}, {"modelId", "22"}, {"flags", "0x1ff8"},
                                            {"whiteBalanceFileStatus", "0x660b"}}},
        {"family 2, version 2.2", options("ZYNM13", 0x02020000, none), "0x0000",
         std::map<std::string, std::string>{{"modelFamily", "2"}, {"modelId", "13"}, {"flags", "0x1ba4"}}},
        {"family 2, version 2.3", options("ZYNM18", 0x02030000, none), "0x411a", {}},
        {"family 3, version 2.0", options("ZYNM17", 0x02000000, none), "0x0000", rawFamily("3", "17")},
        {"family 3, version 2.5", options("ZYNM21", 0x02050000, none), "0x411a", {}},
        {"unknown model", options("ABCDEF", 0x02000000, none), "0x6002", {}},
    };
    lumora::test::TempFolder dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = WriteFile(dir, "file.zyr", ZyrSample::Make(row.options));
        const ClientRun run = RunClient(path);
        EXPECT_EQ(run.fields.count("status") ? run.fields.at("status") : "", row.status) << run.output;
        EXPECT_EQ(run.exitCode, row.expect.empty() ? 1 : 0);
        for (const auto& [key, value] : row.expect)
            EXPECT_EQ(run.fields.count(key) ? run.fields.at(key) : "(missing)", value) << key;
        const size_t memory = run.output.find("memory usage: before ");
        ASSERT_NE(memory, std::string::npos);
        int before = -1, after = -2;
        std::sscanf(run.output.c_str() + memory, "memory usage: before %d after %d", &before, &after);
        EXPECT_EQ(before, after);
    }
}

TEST(VqClient, ListsAFolderCamerasEntries) {
    lumora::test::TempFolder dir;
    ZyrSampleOptions o;
    o.model = "ZYNM05";
    WriteFile(dir, "z.tif", ZyrSample::Make(o));
    WriteFile(dir, "a.jpg", {0xFF, 0xD8});
    const timespec stamp[2] = {{1715940000, 0}, {1715940000, 0}};
    for (const char* name : {"z.tif", "a.jpg"})
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir.path() / name).c_str(), stamp, 0), 0);
    const ClientRun run = RunClient("--list " + dir.path().string());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.fields.at("entries"), "2");
    // Equal stamps fall back to the name.
    const size_t a = run.output.find("entry 0: a.jpg kind 1 (camera JPEG) size 2");
    const size_t z = run.output.find("entry 1: z.tif kind 0 (raw TIFF)");
    EXPECT_NE(a, std::string::npos) << run.output;
    EXPECT_NE(z, std::string::npos) << run.output;
}

namespace {

struct Pnm {
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    std::vector<uint8_t> data;
    bool ok = false;
};

Pnm ReadPnm(const std::string& path) {
    Pnm p;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return p;
    char magic[3] = {};
    if (std::fscanf(f, "%2s %d %d %d", magic, &p.width, &p.height, &p.maxval) == 4 && std::fgetc(f) == '\n') {
        p.magic = magic;
        int c;
        while ((c = std::fgetc(f)) != EOF) p.data.push_back(uint8_t(c));
        p.ok = true;
    }
    std::fclose(f);
    return p;
}

int Sample16(const Pnm& p, size_t index) { return p.data[2 * index] << 8 | p.data[2 * index + 1]; }

} // namespace

// The client renders raw files of family 1 through VqGetImage: grey types as
// PGM, colour types as PPM, with the type, subsample, rotation and window asked
// for; plain and lossless-JPEG sensor data give the same picture.
TEST(VqClient, RendersRawFilesIntoPortablePictures) {
    lumora::test::TempFolder dir;
    ZyrSampleOptions o;
    o.version = 0x01000000;
    const std::string plain = WriteFile(dir, "plain.zyr", ZyrSample::Make(o));
    o.ljpegSensor = true;
    const std::string coded = WriteFile(dir, "coded.zyr", ZyrSample::Make(o));
    // 64 x 48 sensor with 2-sample margins: a 60 x 44 picture.
    struct Row {
        const char* arguments;
        const char* magic;
        int width, height, maxval;
    };
    const Row rows[] = {
        {"--type 4", "P6", 60, 44, 255},
        {"--type 6 --rotate 90", "P6", 44, 60, 65535},
        {"--type 8 --rotate 180 --subsample 2", "P6", 30, 22, 255},
        {"--type 2 --rotate 270", "P5", 44, 60, 255},
        {"--type 3 --window 8,4,24,16", "P5", 24, 16, 65535},
        {"--type 14 --rotate -90 --subsample 4", "P6", 11, 15, 4095},
        {"--type 0", "P5", 64, 48, 65535},
    };
    for (const Row& row : rows) {
        const std::string a = (dir.path() / "a.pnm").string(), b = (dir.path() / "b.pnm").string();
        const ClientRun ra = RunClient("--render " + a + " " + row.arguments + " " + plain);
        const ClientRun rb = RunClient("--render " + b + " " + row.arguments + " " + coded);
        ASSERT_EQ(ra.exitCode, 0) << row.arguments << "\n" << ra.output;
        ASSERT_EQ(rb.exitCode, 0) << row.arguments << "\n" << rb.output;
        const Pnm pa = ReadPnm(a), pb = ReadPnm(b);
        ASSERT_TRUE(pa.ok) << row.arguments;
        EXPECT_EQ(pa.magic, row.magic) << row.arguments;
        EXPECT_EQ(pa.width, row.width) << row.arguments;
        EXPECT_EQ(pa.height, row.height) << row.arguments;
        EXPECT_EQ(pa.maxval, row.maxval) << row.arguments;
        const size_t samples = size_t(row.width) * row.height * (pa.magic == "P6" ? 3 : 1);
        EXPECT_EQ(pa.data.size(), samples * (row.maxval > 255 ? 2 : 1)) << row.arguments;
        EXPECT_EQ(pa.data, pb.data) << row.arguments;
    }
    // A refused setting is reported and fails the run.
    const ClientRun refused = RunClient("--render " + (dir.path() / "c.pnm").string() + " --type 15 " + plain);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find("output type refused"), std::string::npos) << refused.output;
}

// Grey output of a colour file is the luminance of its colour result.
TEST(VqClient, GreyOutputOfAColourFileIsItsLuminance) {
    lumora::test::TempFolder dir;
    ZyrSampleOptions o;
    o.version = 0x01000000;
    const std::string file = WriteFile(dir, "f.zyr", ZyrSample::Make(o));
    const std::string colour = (dir.path() / "c.pnm").string(), grey = (dir.path() / "g.pnm").string();
    ASSERT_EQ(RunClient("--render " + colour + " --type 6 " + file).exitCode, 0);
    ASSERT_EQ(RunClient("--render " + grey + " --type 3 " + file).exitCode, 0);
    const Pnm c = ReadPnm(colour), g = ReadPnm(grey);
    ASSERT_TRUE(c.ok && g.ok);
    ASSERT_EQ(size_t(c.width) * c.height, size_t(g.width) * g.height);
    int worst = 0, compared = 0;
    for (size_t i = 0; i < size_t(g.width) * g.height; ++i) {
        // Where a colour channel clipped, the colour result lost what the grey kept.
        bool clipped = false;
        for (int k = 0; k < 3; ++k) clipped = clipped || Sample16(c, 3 * i + k) == 0 || Sample16(c, 3 * i + k) >= 65520;
        if (clipped) continue;
        ++compared;
        const double luminance =
            0.2126 * Sample16(c, 3 * i) + 0.7152 * Sample16(c, 3 * i + 1) + 0.0722 * Sample16(c, 3 * i + 2);
        worst = std::max(worst, std::abs(Sample16(g, i) - int(std::lround(luminance))));
    }
    EXPECT_GT(compared, g.width * g.height / 4);
    EXPECT_LE(worst, 64); // the tone and output tables step in 16ths
}

// Help is usage on the standard output, not a file named "--help"; a picture
// taller than the client's strip buffer arrives whole, row after row.
TEST(VqClient, HelpAndPicturesTallerThanItsStripBuffer) {
    const ClientRun help = RunClient("--help");
    EXPECT_EQ(help.exitCode, 0) << help.output;
    EXPECT_EQ(help.output.rfind("usage: vqclient", 0), 0u) << help.output;
    EXPECT_EQ(help.output.find("did not open"), std::string::npos) << help.output;

    lumora::test::TempFolder dir;
    ZyrSampleOptions o;
    o.version = 0x01000000;
    o.sensorWidth = 96;
    o.sensorHeight = 300;
    const std::string plain = WriteFile(dir, "plain.zyr", ZyrSample::Make(o));
    o.ljpegSensor = true;
    const std::string coded = WriteFile(dir, "coded.zyr", ZyrSample::Make(o));
    for (const char* arguments : {"--type 6", "--type 4 --rotate 90", "--type 3"}) {
        const std::string a = (dir.path() / "a.pnm").string(), b = (dir.path() / "b.pnm").string();
        ASSERT_EQ(RunClient("--render " + a + " " + arguments + " " + plain).exitCode, 0) << arguments;
        ASSERT_EQ(RunClient("--render " + b + " " + arguments + " " + coded).exitCode, 0) << arguments;
        const Pnm pa = ReadPnm(a), pb = ReadPnm(b);
        ASSERT_TRUE(pa.ok && pb.ok) << arguments;
        const bool rotated = std::string(arguments).find("rotate") != std::string::npos;
        EXPECT_EQ(pa.width, rotated ? 296 : 92) << arguments;
        EXPECT_EQ(pa.height, rotated ? 92 : 296) << arguments;
        EXPECT_EQ(pa.data, pb.data) << arguments;
    }
}

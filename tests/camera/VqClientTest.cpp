// The command-line client on synthetic files of every family and version: what
// it prints is the record the interface filled.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

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
            {"geometry.fullWidth", "64"}, {"geometry.fullHeight", "48"},
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
        {"oldest model, camera JPEG", options("ZYNM02", 0, [](ZyrSampleOptions& o) { o.jpeg = true; }), "0x4118",
         {}},
        {"family 1, version 2.0", options("ZYNM11", 0x02000000, none), "0x0000", rawFamily("1", "11")},
        {"family 1, version 2.1", options("ZYNM11", 0x02010000, none), "0x411a", {}},
        {"family 1, version 3.0", options("ZYNM22", 0x03000000, none), "0x4118", {}},
        {"family 2, version 2.2", options("ZYNM13", 0x02020000, none), "0x4118", {}},
        {"family 2, version 2.3", options("ZYNM18", 0x02030000, none), "0x411a", {}},
        {"family 3, version 2.0", options("ZYNM17", 0x02000000, none), "0x0000", rawFamily("3", "17")},
        {"family 3, version 2.5", options("ZYNM21", 0x02050000, none), "0x411a", {}},
        {"unknown model", options("ABCDEF", 0x02000000, none), "0x6002", {}},
    };
    ScratchDir dir;
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
    ScratchDir dir;
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

// The Exif collector against exiftool: TIFF sources in both byte orders,
// JPEG sources, and a TIFF/EP-numbered source, all made by tools nobody here
// wrote. Every entry handed out for the IFD0, Exif and GPS directories must
// equal, value for value, what `exiftool -v3 -n` reads from the source.
#include "Exif.h"
#include "ShellCommand.h"
#include "TiffTag.h"
#include "TiffTypeSize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

using namespace NimbalCore;
using lumora::test::RunCommand;

namespace {

bool HaveTools() {
    return !RunCommand("command -v exiftool").empty() && !RunCommand("command -v raw2tiff").empty() &&
           !RunCommand("command -v tiffcp").empty() && !RunCommand("command -v cjpeg").empty();
}

const char* const kTags =
    "-ExposureTime=0.008 -FNumber=5.6 -ExposureIndex=200 -ISO=200 -Make=Orvex -Model=ZYNM01 -Orientation#=6 "
    "-ExposureCompensation=-0.7 -FocalLength=50 -ExifIFD:SceneType#=1 -CFAPattern='2 2 0 1 1 2' "
    "-DateTimeOriginal='2026:12:10 18:30:00' -Software=Lumora-test -Artist=A "
    "-GPSVersionID='2 3 0 0' -GPSLatitude=59.9 -GPSLatitudeRef=N -GPSAltitude=12.5 -GPSTimeStamp=18:30:05.5 "
    "-GPSDOP=1.25 -GPSMapDatum=WGS-84";

std::string TempStem(const std::string& name) {
    return std::filesystem::temp_directory_path().string() + "/lumora-exifsrc-" + std::to_string(getpid()) + "-" +
           name;
}

// A small image by libtiff ("II" or "MM") or by cjpeg ("jpg"), tagged by exiftool.
std::string MakeSource(const std::string& kind) {
    const std::string stem = TempStem(kind);
    if (kind == "jpg") {
        std::ofstream(stem + ".ppm", std::ios::binary) << "P6\n8 8\n255\n" << std::string(192, '\x60');
        RunCommand("cjpeg " + stem + ".ppm > " + stem + ".jpg 2>&1");
        std::remove((stem + ".ppm").c_str());
    } else {
        std::ofstream(stem + ".raw", std::ios::binary) << std::string(64, '\x80');
        RunCommand("raw2tiff -w 8 -l 8 -b 1 " + stem + ".raw " + stem + ".tif 2>&1");
        std::remove((stem + ".raw").c_str());
        if (kind == "MM")
            RunCommand("tiffcp -B " + stem + ".tif " + stem + "b.tif && mv " + stem + "b.tif " + stem + ".tif");
    }
    const std::string path = stem + (kind == "jpg" ? ".jpg" : ".tif");
    RunCommand(std::string("exiftool -q -q -n -overwrite_original ") + kTags + " " + path + " 2>&1");
    return path;
}

// One entry as exiftool reads it: its field type, count and value bytes in
// the file's own order.
struct ToolEntry {
    uint16_t type = 0;
    uint32_t count = 0;
    std::vector<uint8_t> bytes;
};

uint16_t TypeFromName(const std::string& name) {
    static const std::map<std::string, uint16_t> types = {
        {"int8u", 1},  {"string", 2}, {"int16u", 3},  {"int32u", 4},       {"rational64u", 5}, {"int8s", 6},
        {"undef", 7},  {"int16s", 8}, {"int32s", 9}, {"rational64s", 10}, {"float", 11},      {"double", 12}};
    const auto it = types.find(name);
    return it == types.end() ? 0 : it->second;
}

// exiftool's verbose listing, by directory kind (1 IFD0, 4 Exif, 16 GPS) and tag.
std::map<int, std::map<uint16_t, ToolEntry>> ReadWithExiftool(const std::string& path) {
    std::map<int, std::map<uint16_t, ToolEntry>> dirs;
    const std::string listing = RunCommand("exiftool -v3 -n " + path + " 2>&1");
    const std::regex header(R"(^[ |]*\+ \[(\w+) directory)");
    const std::regex tag(R"(- Tag 0x([0-9a-f]{4}) \((\d+) bytes, (\w+)\[(\d+)\])");
    const std::regex dump(R"(^[ |]*[0-9a-f]{4,}: ((?:[0-9a-f]{2} )+))");
    std::map<size_t, int> kindAtDepth;
    ToolEntry* current = nullptr;
    size_t pos = 0;
    while (pos < listing.size()) {
        size_t end = listing.find('\n', pos);
        if (end == std::string::npos) end = listing.size();
        const std::string line = listing.substr(pos, end - pos);
        pos = end + 1;
        const std::string prefix = line.substr(0, std::min(line.size(), line.find_first_not_of(" |")));
        const size_t depth = size_t(std::count(prefix.begin(), prefix.end(), '|'));
        std::smatch m;
        if (std::regex_search(line, m, header)) {
            const std::string name = m[1];
            kindAtDepth[depth + 1] = name == "IFD0" ? 1 : name == "ExifIFD" ? 4 : name == "GPS" ? 16 : 0;
            current = nullptr;
        } else if (std::regex_search(line, m, tag)) {
            const int kind = kindAtDepth.count(depth) ? kindAtDepth[depth] : 0;
            current = nullptr;
            if (kind == 0) continue;
            ToolEntry& e = dirs[kind][uint16_t(std::stoul(m[1], nullptr, 16))];
            e.type = TypeFromName(m[3]);
            e.count = uint32_t(std::stoul(m[4]));
            current = &e;
        } else if (current && std::regex_search(line, m, dump)) {
            const std::string hex = m[1];
            for (size_t i = 0; i + 1 < hex.size(); i += 3)
                current->bytes.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
        } else {
            current = nullptr;
        }
    }
    return dirs;
}

// Our entry's value bytes, in the given file order: each unit of the type
// (a rational is two units) turned from host order to that order.
std::vector<uint8_t> ValueBytes(const ExifEntry& e, bool bigEndian) {
    const uint64_t size = uint64_t(e.count) * TiffTypeSize(e.type);
    std::vector<uint8_t> bytes(size);
    if (size <= 4) {
        uint8_t inline4[4];
        std::memcpy(inline4, &e.value, 4);
        std::memcpy(bytes.data(), inline4, size);
    } else {
        std::memcpy(bytes.data(), e.data, size);
    }
    const size_t unit = e.type == TiffTypeShort || e.type == TiffTypeSShort ? 2
                        : e.type == TiffTypeLong || e.type == TiffTypeSLong || e.type == TiffTypeRational ||
                                  e.type == TiffTypeSRational
                            ? 4
                            : 1;
    if (bigEndian)
        for (size_t i = 0; i + unit <= bytes.size(); i += unit)
            std::reverse(bytes.begin() + long(i), bytes.begin() + long(i + unit));
    return bytes;
}

bool IsApex(uint16_t tag) { return tag == 37377 || tag == 37378 || tag == 37379; }

// Compares the lists handed out for kinds 1, 4 and 16 with exiftool's reading.
void CompareWithExiftool(Exif& exif, const std::string& path, bool bigEndian, bool tiff) {
    const auto tool = ReadWithExiftool(path);
    ASSERT_FALSE(tool.empty()) << "exiftool listed nothing for " << path;
    const struct {
        int kind;
        int listFlag;
    } kinds[] = {{Exif::KindIFD0, Exif::CollectIFD0}, {Exif::KindExif, Exif::CollectExifSlot},
                 {Exif::KindGPS, Exif::CollectGPS}};
    for (const auto& k : kinds) {
        SCOPED_TRACE("kind " + std::to_string(k.kind));
        const std::vector<ExifEntry>* list = nullptr;
        ASSERT_EQ(exif.GetEntriesForIFD(k.kind, &list), 0);
        const std::map<uint16_t, ToolEntry> none;
        const auto found = tool.find(k.kind);
        const std::map<uint16_t, ToolEntry>& dir = found == tool.end() ? none : found->second;
        // Everything exiftool sees in that directory that belongs on the list
        // is handed out, under its Exif number ...
        size_t expected = 0;
        for (const auto& [tag, entry] : dir) {
            if (!Exif::IsTagWanted(k.listFlag, tag)) continue;
            ++expected;
            const uint16_t ours = Exif::MapTIFFEPTag(tag);
            const auto it = std::find_if(list->begin(), list->end(), [&](const ExifEntry& e) { return e.tag == ours; });
            ASSERT_NE(it, list->end()) << "tag " << tag << " not handed out";
            EXPECT_EQ(it->type, entry.type) << tag;
            EXPECT_EQ(it->count, entry.count) << tag;
            EXPECT_EQ(ValueBytes(*it, bigEndian), entry.bytes) << tag;
        }
        // ... and nothing else, but the APEX values computed for a TIFF source.
        size_t computed = 0;
        for (const ExifEntry& e : *list) computed += tiff && IsApex(e.tag) && !dir.count(e.tag);
        EXPECT_EQ(list->size(), expected + computed);
        EXPECT_TRUE(std::is_sorted(list->begin(), list->end(),
                                   [](const ExifEntry& a, const ExifEntry& b) { return a.tag < b.tag; }));
    }
}

uint32_t Host32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace

TEST(ExifSourcesTest, EntriesEqualWhatExiftoolReads) {
    if (!HaveTools()) GTEST_SKIP() << "exiftool, libtiff tools or cjpeg missing";
    for (const std::string kind : {"II", "MM", "jpg"}) {
        SCOPED_TRACE(kind);
        const std::string path = MakeSource(kind);
        Exif exif;
        ASSERT_EQ(exif.ReadFromFile(path), 0);
        EXPECT_TRUE(exif.IsOpen());
        ASSERT_EQ(exif.CollectEntries(0x7F), 0);
        const bool bigEndian = kind == "MM" || RunCommand("exiftool -n -s3 -ExifByteOrder " + path).rfind("MM", 0) == 0;
        CompareWithExiftool(exif, path, bigEndian, kind != "jpg");
        if (kind != "jpg") {
            // APEX values of t = 1/125, N = 5.6, EI = 200.
            ExifEntry e;
            ASSERT_EQ(exif.GetEntry(37377, &e), 0);
            EXPECT_EQ(e.type, TiffTypeSRational);
            EXPECT_EQ(int32_t(Host32(e.data)), 7132);
            EXPECT_EQ(Host32(e.data + 4), 1024u);
            ASSERT_EQ(exif.GetEntry(37378, &e), 0);
            EXPECT_EQ(Host32(e.data), 5090u);
            ASSERT_EQ(exif.GetEntry(37379, &e), 0);
            EXPECT_EQ(int32_t(Host32(e.data)), 6079);
        }
        EXPECT_TRUE(exif.IsGPSValid());
        exif.Close();
        EXPECT_FALSE(exif.IsOpen());
        std::remove(path.c_str());
    }
}

TEST(ExifSourcesTest, TiffEpNumbersArriveUnderTheirExifNumbers) {
    if (!HaveTools()) GTEST_SKIP() << "exiftool, libtiff tools or cjpeg missing";
    const std::string path = MakeSource("II");
    std::vector<uint8_t> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Renumber ExposureIndex (41493) as 37397 and CFAPattern (41730) as 33422
    // in the Exif directory, as a TIFF/EP writer numbers them.
    auto renumber = [&](const std::vector<uint8_t>& entryStart, uint16_t to) {
        const auto at = std::search(bytes.begin(), bytes.end(), entryStart.begin(), entryStart.end());
        ASSERT_NE(at, bytes.end());
        at[0] = uint8_t(to);
        at[1] = uint8_t(to >> 8);
    };
    renumber({0x15, 0xA2, 5, 0, 1, 0, 0, 0}, 37397);
    renumber({0x02, 0xA3, 7, 0, 8, 0, 0, 0}, 33422);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    Exif exif;
    ASSERT_EQ(exif.ReadFromFile(path), 0);
    ASSERT_EQ(exif.CollectEntries(0x7F), 0);
    EXPECT_FALSE(exif.HasTag(37397));
    EXPECT_FALSE(exif.HasTag(33422));
    ExifEntry e;
    ASSERT_EQ(exif.GetEntry(41493, &e), 0);
    EXPECT_EQ(Host32(e.data), 200u);
    ASSERT_EQ(exif.GetEntry(41730, &e), 0);
    EXPECT_EQ(e.count, 8u);
    CompareWithExiftool(exif, path, false, true);
    std::remove(path.c_str());
}

TEST(ExifSourcesTest, FilesThatCannotBeUsed) {
    const std::string stem = TempStem("bad");
    std::ofstream(stem + ".empty", std::ios::binary).flush();
    std::filesystem::create_directories(stem + ".dir");
    struct Case {
        std::string path;
        int status;
    } cases[] = {
        {stem + ".missing", Exif::SourceUnreadable},
        {stem + ".dir", Exif::SourceUnreadable},
        {stem + ".empty", Exif::NotTiffOrExif},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Exif exif;
        EXPECT_EQ(exif.ReadFromFile(c.path), c.status);
        EXPECT_EQ(exif.CollectEntries(0x7F), 0);   // nothing to collect from
        EXPECT_TRUE(exif.Entries().empty());
    }
    std::remove((stem + ".empty").c_str());
    std::filesystem::remove_all(stem + ".dir");
}

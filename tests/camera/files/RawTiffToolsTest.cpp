// The reader's view of our fixtures against tiffdump and exiftool on the same
// files: every entry's tag, type, count, value word and data offset.
#include "RawTiffReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ShellCommand.h"
#include "TempFolder.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

using lumora::ByteOrder;
using lumora::ByteView;
using lumora::test::HaveTool;
using lumora::test::RunCommand;

namespace {

struct Seen {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;      // value word (count-1 SHORT/LONG only compared against tiffdump)
    uint64_t dataOffset; // where the data lies (inline: the entry's value field)
    bool operator<(const Seen& o) const {
        return std::tie(tag, type, count, dataOffset) < std::tie(o.tag, o.type, o.count, o.dataOffset);
    }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::vector<uint8_t> fixture(ByteOrder order) {
    ZyrSampleOptions o;
    o.order = order;
    o.markerVersion = 3;
    ZyrWriter w(order);
    auto d = ZyrSample::Fill(w, o);
    // One entry of every type, inline and out of line.
    w.Bytes(d.privateIfd, 40001, 1, {1, 2, 3, 4, 5});
    w.Bytes(d.privateIfd, 40002, 6, {0xFF, 0x80});
    w.Bytes(d.privateIfd, 40003, 7, {9, 8, 7, 6, 5, 4});
    w.Shorts(d.privateIfd, 40004, {0xFFFF, 2, 3}, 8);
    w.Longs(d.privateIfd, 40005, {0x80000000u}, 9);
    w.Rationals(d.privateIfd, 40006, {{uint32_t(-3), 4}}, 10);
    w.Floats(d.privateIfd, 40007, {1.5f});
    w.Doubles(d.privateIfd, 40008, {2.25, -1.0});
    w.Shorts(d.privateIfd, 40009, {7, 8});
    return w.Build();
}

// Every directory the reader reaches from IFD0: SubIFDs and the private one.
std::map<uint32_t, std::vector<Seen>> readerView(const std::vector<uint8_t>& bytes) {
    std::map<uint32_t, std::vector<Seen>> dirs;
    RawTiffReader r;
    const ByteView v(bytes.data(), bytes.size());
    uint32_t first = 0;
    if (r.ReadHeader(v, first)) return dirs;
    RawIfdRecord main;
    if (r.ReadIfd(v, first, main, nullptr, nullptr, true)) return dirs;
    std::vector<uint32_t> offsets = {first};
    for (uint32_t i = 0; i < main.subIfdCount; ++i) offsets.push_back(main.subIfds[i]);
    offsets.push_back(main.privateIfd);
    for (uint32_t off : offsets) {
        RawIfdRecord rec;
        EXPECT_EQ(r.ReadIfd(v, off, rec, nullptr, nullptr, true), VQ_OK) << "directory at " << off;
        for (uint32_t i = 0; i < rec.entryCount; ++i) {
            const uint64_t pos = uint64_t(off) + 2 + 12ull * i;
            EXPECT_EQ(r.ReadEntry(pos), VQ_OK);
            const auto& e = r.current();
            const uint64_t bytesOfData = uint64_t(RawTiffReader::TypeSize(e.type)) * e.count;
            dirs[off].push_back({e.tag, e.type, e.count, e.value, bytesOfData <= 4 ? pos + 8 : e.value});
        }
    }
    return dirs;
}

class ToolsAgree : public ::testing::TestWithParam<ByteOrder> {
protected:
    void SetUp() override {
        if (!HaveTool("tiffdump") || !HaveTool("exiftool")) GTEST_SKIP() << "tiffdump or exiftool not installed";
        path_ = dir_ + (GetParam() == ByteOrder::Big ? "/MM.ZYR" : "/II.ZYR");
        bytes_ = fixture(GetParam());
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes_.data()),
                                                     std::streamsize(bytes_.size()));
    }
    lumora::test::TempFolder folder_;
    std::string dir_ = folder_.path().string(), path_;
    std::vector<uint8_t> bytes_;
};

} // namespace

TEST_P(ToolsAgree, Tiffdump) {
    const auto dirs = readerView(bytes_);
    ASSERT_EQ(dirs.size(), 4u);
    for (const auto& [offset, ours] : dirs) {
        SCOPED_TRACE("directory at " + std::to_string(offset));
        const std::string out = RunCommand("tiffdump -o " + std::to_string(offset) + " '" + path_ + "' 2>/dev/null");
        std::vector<Seen> theirs;
        for (const std::string& l : lines(out)) {
            // "Name (tag) TYPE (type) count<values>", unknown tags as "tag (0xhex) ..."
            char name[64] = {}, tagText[32] = {}, typeName[32] = {};
            unsigned type = 0, count = 0;
            if (std::sscanf(l.c_str(), "%63s (%31[0-9a-fx]) %31s (%u) %u<", name, tagText, typeName, &type, &count) != 5)
                continue;
            const bool unknown = std::string(tagText).rfind("0x", 0) == 0;
            Seen seen{uint16_t(std::strtoul(unknown ? name : tagText, nullptr, 10)), uint16_t(type), count, 0, 0};
            const size_t lt = l.find('<');
            if (count == 1 && (type == 3 || type == 4)) seen.value = uint32_t(std::strtoul(l.c_str() + lt + 1, nullptr, 10));
            theirs.push_back(seen);
        }
        ASSERT_EQ(theirs.size(), ours.size());
        for (size_t i = 0; i < ours.size(); ++i) {
            SCOPED_TRACE("tag " + std::to_string(ours[i].tag));
            EXPECT_EQ(theirs[i].tag, ours[i].tag);
            EXPECT_EQ(theirs[i].type, ours[i].type);
            EXPECT_EQ(theirs[i].count, ours[i].count);
            if (ours[i].count == 1 && (ours[i].type == 3 || ours[i].type == 4)) {
                EXPECT_EQ(theirs[i].value, ours[i].value);
            }
        }
    }
}

TEST_P(ToolsAgree, ExiftoolVerbose) {
    const auto dirs = readerView(bytes_);
    std::vector<Seen> ours;
    for (const auto& [offset, entries] : dirs) ours.insert(ours.end(), entries.begin(), entries.end());

    static const std::map<std::string, uint16_t> formats = {
        {"int8u", 1}, {"string", 2}, {"int16u", 3}, {"int32u", 4}, {"rational64u", 5}, {"int8s", 6},
        {"undef", 7}, {"int16s", 8}, {"int32s", 9}, {"rational64s", 10}, {"float", 11}, {"double", 12}};
    const std::string out = RunCommand("exiftool -v3 '" + path_ + "' 2>/dev/null");
    const std::vector<std::string> all = lines(out);
    std::vector<Seen> theirs;
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        // "- Tag 0x0100 (4 bytes, int32u[1]):" and the data's file offset on the next line.
        const size_t at = all[i].find("- Tag 0x");
        if (at == std::string::npos) continue;
        unsigned tag = 0, count = 0;
        unsigned long long size = 0;
        char format[32] = {};
        ASSERT_EQ(std::sscanf(all[i].c_str() + at, "- Tag 0x%x (%llu bytes, %31[a-z0-9][%u]):", &tag, &size, format, &count), 4)
            << all[i];
        const std::string& hex = all[i + 1];
        const size_t digits = hex.find_first_not_of(" |");
        unsigned long long dataOffset = 0;
        ASSERT_TRUE(digits != std::string::npos && std::sscanf(hex.c_str() + digits, "%llx:", &dataOffset) == 1) << hex;
        auto f = formats.find(format);
        ASSERT_NE(f, formats.end()) << format;
        Seen seen{uint16_t(tag), f->second, count, 0, dataOffset};
        EXPECT_EQ(size, uint64_t(RawTiffReader::TypeSize(seen.type)) * count);
        theirs.push_back(seen);
    }
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        SCOPED_TRACE("tag " + std::to_string(ours[i].tag));
        EXPECT_EQ(theirs[i].tag, ours[i].tag);
        EXPECT_EQ(theirs[i].type, ours[i].type);
        EXPECT_EQ(theirs[i].count, ours[i].count);
        EXPECT_EQ(theirs[i].dataOffset, ours[i].dataOffset);
    }
}

INSTANTIATE_TEST_SUITE_P(RawTiffReader, ToolsAgree, ::testing::Values(ByteOrder::Big, ByteOrder::Little),
                         [](const auto& info) { return info.param == ByteOrder::Big ? "MM" : "II"; });

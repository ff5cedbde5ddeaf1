#pragma once
// Helpers of the exporters' tests: a private folder, outside tools, and a
// small reader of the big-endian TIFFs the exporter writes.
#include "ExportSizeOptions.h"
#include "ShellCommand.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <algorithm>
#include <string>
#include <unistd.h>
#include <vector>

namespace exporttest {

namespace fs = std::filesystem;

using lumora::test::RunCommand;

using lumora::test::HaveTool;

// The size options of a resized export.
inline NimbalCore::ExportSizeOptions ResizeOptions(int mode, int percent, int width, int height) {
    NimbalCore::ExportSizeOptions o;
    o.resizeEnabled = true;
    o.resizeMode = mode;
    o.percent = percent;
    o.pixelWidth = width;
    o.pixelHeight = height;
    return o;
}

// exiftool with its warnings in the output.
inline std::string Exiftool(const std::string& args) { return RunCommand("exiftool " + args + " 2>&1"); }

// The value of a tag in exiftool's "-s -s" listing, "<missing>" where it has
// no line of its own.
inline std::string ExiftoolField(const std::string& out, const std::string& tag) {
    const std::string key = tag + ": ";
    for (size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + 1))
        if (at == 0 || out[at - 1] == '\n') {
            const size_t end = out.find('\n', at);
            return out.substr(at + key.size(), end - at - key.size());
        }
    return "<missing>";
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A big-endian TIFF whose main directory holds only the private directory,
// and that one only tag 1026 (the camera's further settings data) of the
// given type and count with the value bytes as stored: inline when they fit
// the value word, else after the directories.
inline std::vector<uint8_t> TiffWithFurtherSettings(uint16_t type, uint32_t count, const std::vector<uint8_t>& value) {
    std::vector<uint8_t> t;
    auto be16 = [&](uint32_t x) { t.push_back(uint8_t(x >> 8)); t.push_back(uint8_t(x)); };
    auto be32 = [&](uint32_t x) { be16(x >> 16); be16(x & 0xFFFF); };
    t = {'M', 'M', 0, 42, 0, 0, 0, 8};
    be16(1); // main directory at 8
    be16(33424);
    be16(4);
    be32(1);
    be32(26);
    be32(0);
    be16(1); // private directory at 26
    be16(1026);
    be16(type);
    be32(count);
    if (value.size() <= 4) {
        std::vector<uint8_t> word = value;
        word.resize(4, 0);
        t.insert(t.end(), word.begin(), word.end());
    } else {
        be32(44);
    }
    be32(0);
    if (value.size() > 4) t.insert(t.end(), value.begin(), value.end());
    return t;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// exiftool's warnings on the file, less those the file's own layout gives.
inline std::vector<std::string> UnexpectedWarnings(const std::string& path) {
    const std::string out = RunCommand("exiftool -validate -warning -a -s '" + path + "' 2>&1");
    std::vector<std::string> bad;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line.find("Validate") != std::string::npos) continue;
        if (line.find("Non-standard IFD0 tag 0x8290") != std::string::npos) continue;
        if (line.find("is not allowed in TIFF") != std::string::npos &&
            (line.find("ComponentsConfiguration") != std::string::npos ||
             line.find("ExifImageWidth") != std::string::npos || line.find("ExifImageHeight") != std::string::npos))
            continue;
        bad.push_back(line);
    }
    return bad;
}

class TempFolder {
public:
    TempFolder() {
        static int counter = 0;
        path_ = fs::temp_directory_path() / ("lumora-export-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }
    std::vector<std::string> List() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path path_;
};

// One directory entry as the file holds it.
struct TiffField {
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t word = 0;      // the raw value word (an offset for long values)
    uint64_t at = 0;        // file offset of the value word
};

struct TiffDirectory {
    uint32_t offset = 0;
    std::vector<uint16_t> order;
    std::map<uint16_t, TiffField> fields;
    uint32_t next = 0;
};

class BigEndianTiff {
public:
    explicit BigEndianTiff(std::vector<uint8_t> bytes) : b_(std::move(bytes)) {}
    bool Valid() const { return b_.size() >= 8 && b_[0] == 'M' && b_[1] == 'M' && U16(2) == 42; }
    uint16_t U16(uint64_t at) const { return at + 2 <= b_.size() ? uint16_t(b_[at] << 8 | b_[at + 1]) : 0; }
    uint32_t U32(uint64_t at) const {
        return at + 4 <= b_.size() ? uint32_t(b_[at]) << 24 | uint32_t(b_[at + 1]) << 16 | uint32_t(b_[at + 2]) << 8 | b_[at + 3]
                                   : 0;
    }
    TiffDirectory Directory(uint32_t offset) const {
        TiffDirectory d;
        d.offset = offset;
        const uint16_t n = U16(offset);
        for (uint16_t i = 0; i < n; ++i) {
            const uint64_t e = uint64_t(offset) + 2 + 12 * uint64_t(i);
            TiffField f{U16(e + 2), U32(e + 4), U32(e + 8), e + 8};
            d.order.push_back(U16(e));
            d.fields[U16(e)] = f;
        }
        d.next = U32(uint64_t(offset) + 2 + 12 * uint64_t(n));
        return d;
    }
    // An inline SHORT or LONG, or the first value of a longer one.
    uint32_t Value(const TiffField& f) const {
        const uint64_t size = (f.type == 3 ? 2 : 4) * uint64_t(f.count);
        const uint64_t at = size <= 4 ? f.at : f.word;
        return f.type == 3 ? U16(at) : U32(at);
    }
    const std::vector<uint8_t>& Bytes() const { return b_; }

private:
    std::vector<uint8_t> b_;
};

} // namespace exporttest

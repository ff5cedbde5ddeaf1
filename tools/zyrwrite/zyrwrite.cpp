// zyrwrite: writes a synthetic raw file of the camera line.
//
//   zyrwrite --sample PATH [--order II|MM] [--model NAME] [--version MAJOR.MINOR]
//            [--marker N] [--sensor WxH] [--thumb WxH] [--mono]
//            [--header-length exact|zero|N] [--jpeg] [--main-table on|off]
//            [--ljpeg] [--offsets] [--gain-map TILE] [--tone-curve1] [--settings-data] [--iptc] [--sensing-method]
//            [--tag-word N]
//            [--colour-curves 3601|3602] [--camera-preset N] [--generation N] [--tables N]
//            [--measured-balance] [--bad-columns C,C,...] [--chroma SENSITIVITY,LAYOUT]
//   zyrwrite --sample PATH --oldest [--model NAME] [--sensor WxH] [--mono] [--code N]
//            [--block none|records|1021] [--no-records] [--unpack-offset N] [--iptc] [--resolution]
//            [--classic-head]
//   zyrwrite --sample PATH --camera-jpeg|--rgb-tiff [--order II|MM] [--model NAME] [--sensor WxH]
//            [--thumb WxH] [--mono] [--iptc] [--resolution] [--settings-data] [--tag-word N]
//
// The switches of the last two lines add the optional processing tags of the
// raw families (1 and 3) or code the sensor data as lossless JPEG; --tables sets
// the length of the four 16-bit tables (4096 by default; the sensor table of a
// family-2 file, whose samples are 8-bit codes, has 256). With --version 3.x the
// file is of version 3; the switches of the third line add its optional parts.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>

#include "ZyrCameraFile.h"
#include "ZyrOldestSample.h"
#include "ZyrSample.h"

namespace {

int usage() {
    std::cerr << "usage: zyrwrite --sample PATH [--order II|MM] [--model NAME] [--version MAJOR.MINOR]\n"
                 "                [--marker N] [--sensor WxH] [--thumb WxH] [--mono]\n"
                 "                [--header-length exact|zero|N] [--jpeg] [--main-table on|off]\n"
                 "                [--ljpeg] [--offsets] [--gain-map TILE] [--tone-curve1] [--settings-data] [--iptc]\n"
                 "                [--sensing-method] [--tag-word N]\n"
                 "                [--colour-curves 3601|3602] [--camera-preset N] [--generation N] [--tables N]\n"
                 "                [--measured-balance] [--bad-columns C,C,...] [--chroma SENSITIVITY,LAYOUT]\n"
                 "       zyrwrite --sample PATH --oldest [--model NAME] [--sensor WxH] [--mono] [--code N]\n"
                 "                [--block none|records|1021] [--no-records] [--unpack-offset N] [--iptc]\n"
                 "                [--resolution] [--classic-head]\n"
                 "       zyrwrite --sample PATH --camera-jpeg|--rgb-tiff [--order II|MM] [--model NAME]\n"
                 "                [--sensor WxH] [--thumb WxH] [--mono] [--iptc] [--resolution] [--settings-data]\n"
                 "                [--tag-word N]\n";
    return 2;
}

bool parseSize(const std::string& s, uint32_t& w, uint32_t& h) {
    unsigned a = 0, b = 0;
    char x = 0;
    if (std::sscanf(s.c_str(), "%u%c%u", &a, &x, &b) != 3 || (x != 'x' && x != 'X') || !a || !b) return false;
    w = a;
    h = b;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    ZyrSampleOptions o;
    // Files of the oldest models (family 0) have a layout of their own.
    ZyrOldestOptions old;
    bool oldest = false;
    // Camera JPEG and RGB TIFF files: the order, model, sensor, thumbnail and
    // grey switches apply.
    ZyrCameraFileOptions cam;
    bool camera = false;
    bool sensorGiven = false, thumbGiven = false;
    std::string path;
    // The switches that take no value.
    struct Switch {
        const char* name;
        std::function<void()> set;
    };
    const Switch switches[] = {
        {"--mono", [&] { o.colour = old.colour = false; }},
        {"--oldest", [&] { oldest = true; }},
        {"--no-records", [&] { old.records = false; }},
        {"--iptc", [&] { o.iptc = old.iptc = true; }},
        {"--classic-head", [&] { old.classicHead = true; }},
        {"--sensing-method", [&] { o.sensingMethod = true; }},
        {"--resolution", [&] { old.resolution = true; }},
        {"--jpeg", [&] { o.jpeg = true; }},
        {"--camera-jpeg", [&] { camera = true; cam.rgbTiff = false; }},
        {"--rgb-tiff", [&] { camera = true; cam.rgbTiff = true; }},
        {"--ljpeg", [&] { o.ljpegSensor = true; }},
        {"--offsets", [&] { o.rowOffsets = o.columnOffsets = true; }},
        {"--tone-curve1", [&] { o.toneCurve1 = true; }},
        {"--settings-data", [&] { o.settingsData = true; }},
        {"--measured-balance", [&] { o.measuredBalance = true; }},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        const auto given = std::find_if(std::begin(switches), std::end(switches),
                                        [&](const Switch& sw) { return arg == sw.name; });
        if (given != std::end(switches)) {
            given->set();
            continue;
        }
        if (!(v = next())) return usage();
        const std::string value = v;
        if (arg == "--sample") {
            path = value;
        } else if (arg == "--order") {
            if (value == "II") o.order = lumora::ByteOrder::Little;
            else if (value == "MM") o.order = lumora::ByteOrder::Big;
            else return usage();
        } else if (arg == "--model") {
            o.model = old.model = value;
        } else if (arg == "--code") {
            old.sensorCode = old.thumbnailCode = uint8_t(std::strtoul(value.c_str(), nullptr, 0));
        } else if (arg == "--unpack-offset") {
            old.unpackOffset = uint16_t(std::strtoul(value.c_str(), nullptr, 0));
        } else if (arg == "--block") {
            if (value == "none") old.block = ZyrOldestOptions::Block::None;
            else if (value == "records") old.block = ZyrOldestOptions::Block::InSettingsRecords;
            else if (value == "1021") old.block = ZyrOldestOptions::Block::Tag1021;
            else return usage();
        } else if (arg == "--version") {
            unsigned major = 0, minor = 0;
            if (std::sscanf(value.c_str(), "%u.%u", &major, &minor) < 1 || major > 255 || minor > 255) return usage();
            o.version = major << 24 | minor << 16;
        } else if (arg == "--main-table") {
            if (value == "on") o.mainTable = 1;
            else if (value == "off") o.mainTable = 0;
            else return usage();
        } else if (arg == "--gain-map") {
            o.gainMap = true;
            o.gainTile = uint32_t(std::strtoul(value.c_str(), nullptr, 10));
            if (o.gainTile == 0) return usage();
        } else if (arg == "--colour-curves") {
            o.colourCurves = std::atoi(value.c_str());
            if (o.colourCurves != 3601 && o.colourCurves != 3602) return usage();
        } else if (arg == "--bad-columns") {
            std::string list = value;
            for (size_t at = 0; at <= list.size();) {
                const size_t end = std::min(list.find(',', at), list.size());
                char* stop = nullptr;
                const unsigned long c = std::strtoul(list.substr(at, end - at).c_str(), &stop, 10);
                if (end == at || c > 0xFFFF) return usage();
                o.badColumns.push_back(uint16_t(c));
                at = end + 1;
            }
        } else if (arg == "--chroma") {
            unsigned sensitivity = 0;
            int layout = 0;
            if (std::sscanf(value.c_str(), "%u,%d", &sensitivity, &layout) != 2 || layout < 0) return usage();
            o.chromaSensitivity = sensitivity;
            o.chromaLayout = layout;
        } else if (arg == "--tag-word") {
            o.tagWord = int64_t(std::strtoul(value.c_str(), nullptr, 10));
        } else if (arg == "--camera-preset") {
            o.cameraPreset = uint16_t(std::strtoul(value.c_str(), nullptr, 10));
        } else if (arg == "--tables") {
            o.tableLength = uint32_t(std::strtoul(value.c_str(), nullptr, 10));
            if (o.tableLength == 0) return usage();
        } else if (arg == "--generation") {
            o.fileGeneration = uint32_t(std::strtoul(value.c_str(), nullptr, 10));
        } else if (arg == "--marker") {
            o.markerVersion = std::atoi(value.c_str());
        } else if (arg == "--sensor") {
            if (!parseSize(value, o.sensorWidth, o.sensorHeight)) return usage();
            sensorGiven = true;
            old.sensorWidth = o.sensorWidth;
            old.sensorHeight = o.sensorHeight;
        } else if (arg == "--thumb") {
            if (!parseSize(value, o.thumbWidth, o.thumbHeight)) return usage();
            thumbGiven = true;
        } else if (arg == "--header-length") {
            if (value == "exact") {
                o.headerWord = ZyrWriter::HeaderLengthWord::Exact;
            } else if (value == "zero") {
                o.headerWord = ZyrWriter::HeaderLengthWord::Zero;
            } else {
                o.headerWord = ZyrWriter::HeaderLengthWord::Given;
                o.headerWordValue = uint32_t(std::strtoul(value.c_str(), nullptr, 0));
            }
        } else {
            return usage();
        }
    }
    if (path.empty()) return usage();
    cam.order = o.order;
    cam.model = o.model;
    cam.colour = o.colour;
    cam.settingsData = o.settingsData;
    cam.tagWord = o.tagWord;
    // --iptc and --resolution give a camera JPEG its APP13 and APP8 segments.
    if (old.iptc) cam.iptc = {0x1C, 0x02, 0x78, 0x00, 0x05, 'H', 'e', 'l', 'l', 'o'};
    cam.app8 = old.resolution;
    if (sensorGiven) cam.width = o.sensorWidth, cam.height = o.sensorHeight;
    else if (cam.rgbTiff) cam.width = 520, cam.height = 8;
    if (thumbGiven) cam.thumbWidth = o.thumbWidth, cam.thumbHeight = o.thumbHeight;
    const std::vector<uint8_t> bytes = camera   ? ZyrCameraFile::Make(cam)
                                       : oldest ? ZyrOldestSample::Make(old)
                                                : ZyrSample::Make(o);
    if (bytes.empty()) {
        std::cerr << "zyrwrite: the file does not fit in one JPEG segment\n";
        return 1;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "zyrwrite: cannot write " << path << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    return 0;
}

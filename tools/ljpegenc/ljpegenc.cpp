// ljpegenc: encodes raw 16-bit little-endian samples as a lossless-JPEG stream,
// optionally wrapped as a one-tile CFA DNG.
//   ljpegenc -w COLUMNS -h ROWS [-c COMPONENTS] [-p PRECISION] [-s PREDICTOR]
//            [-r RESTART_MCUS] [-t POINT_TRANSFORM] [-d] IN.u16 OUT
#include "LjpegDngWriter.h"
#include "LosslessJpegEncoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    ljpegenc::EncodeOptions o;
    bool dng = false;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        std::string a = argv[i];
        if (a == "-d") { dng = true; continue; }
        if (i + 1 >= argc) break;
        uint32_t v = uint32_t(std::strtoul(argv[++i], nullptr, 0));
        if (a == "-w") o.columns = v;
        else if (a == "-h") o.rows = v;
        else if (a == "-c") o.components = v;
        else if (a == "-p") o.precision = v;
        else if (a == "-s") o.predictor = v;
        else if (a == "-r") o.restartInterval = v;
        else if (a == "-t") o.pointTransform = v;
        else { std::fprintf(stderr, "ljpegenc: unknown option %s\n", a.c_str()); return 2; }
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: ljpegenc -w COLUMNS -h ROWS [-c N] [-p P] [-s PRED] [-r RI] [-t PT] [-d] IN.u16 OUT\n");
        return 2;
    }
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const uint64_t count = uint64_t(o.columns) * o.rows * o.components;
    if (!in.good() && !in.eof()) { std::fprintf(stderr, "ljpegenc: cannot read %s\n", argv[i]); return 1; }
    if (raw.size() != count * 2) {
        std::fprintf(stderr, "ljpegenc: %s holds %zu bytes, expected %llu\n", argv[i], raw.size(),
                     (unsigned long long)(count * 2));
        return 1;
    }
    std::vector<uint16_t> samples(count);
    for (uint64_t k = 0; k < count; ++k) samples[k] = uint16_t(raw[2 * k] | raw[2 * k + 1] << 8);
    std::vector<uint8_t> stream;
    std::string error;
    if (!ljpegenc::encodeLosslessJpeg(samples.data(), o, stream, &error)) {
        std::fprintf(stderr, "ljpegenc: %s\n", error.c_str());
        return 1;
    }
    if (dng) stream = ljpegenc::wrapLjpegAsDng(stream, o.columns * o.components, o.rows, o.precision);
    std::ofstream out(argv[i + 1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    if (!out) { std::fprintf(stderr, "ljpegenc: cannot write %s\n", argv[i + 1]); return 1; }
    return 0;
}

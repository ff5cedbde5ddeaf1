// filtertool: looks at filter files and buffers by hand.
//   filtertool print FILE             the stored fields of a filter file
//   filtertool store --little|--big IN OUT
//                                     loads IN through Kestra and stores it
//                                     again (big-endian: the header swapped)
//   filtertool sample OUT [--big]     writes a small sharpening filter
#include "FilterBufferWriter.h"
#include "FilterPrinter.h"

#include "Kestra.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage: filtertool print FILE\n"
                 "       filtertool store --little|--big IN OUT\n"
                 "       filtertool sample OUT [--big]\n";
    return 2;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    bytes.assign(std::istreambuf_iterator<char>(f), {});
    return !f.bad();
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

std::string statusText(PSFStatus s) {
    char text[256];
    PSFGetErrorText(s, sizeof text, text);
    return text;
}

int store(bool big, const std::string& in, const std::string& out) {
    std::vector<uint8_t> bytes;
    if (!readFile(in, bytes)) {
        std::cerr << in << ": cannot read\n";
        return 1;
    }
    PSFCaller caller = 0;
    PSFStatus s = PSFInitialize(&caller);
    if (s != PSFSuccess) {
        std::cerr << statusText(s) << "\n";
        return 1;
    }
    PSFFilter filter = 0;
    s = PSFLoadFilterFromBuffer(caller, bytes.data(), uint32_t(bytes.size()), &filter);
    std::vector<uint8_t> stored;
    if (s == PSFSuccess) {
        uint32_t size = 0;
        s = PSFGetBufferSize(filter, &size);
        stored.resize(size);
        uint32_t count = 0;
        if (s == PSFSuccess) s = PSFStoreFilterToBuffer(filter, stored.data(), size, &count);
        stored.resize(count);
        PSFFreeFilter(filter);
    }
    PSFTerminate(caller);
    if (s != PSFSuccess) {
        std::cerr << in << ": " << statusText(s) << "\n";
        return 1;
    }
    if (big)
        for (size_t w = 0; w < 9; ++w) std::swap(stored[w * 4], stored[w * 4 + 3]), std::swap(stored[w * 4 + 1], stored[w * 4 + 2]);
    if (!writeFile(out, stored)) {
        std::cerr << out << ": cannot write\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    if (command == "print" && argc == 3) {
        std::vector<uint8_t> bytes;
        if (!readFile(argv[2], bytes)) {
            std::cerr << argv[2] << ": cannot read\n";
            return 1;
        }
        return filtertool::FilterPrinter::print(bytes, std::cout) ? 0 : 1;
    }
    if (command == "store" && argc == 5) {
        const std::string order = argv[2];
        if (order != "--little" && order != "--big") return usage();
        return store(order == "--big", argv[3], argv[4]);
    }
    if (command == "sample" && (argc == 3 || (argc == 4 && std::strcmp(argv[3], "--big") == 0))) {
        filtertool::FilterSpec spec;
        spec.bigEndian = argc == 4;
        spec.text = filtertool::SharpeningText(spec.levels, spec.variants, spec.taps);
        return writeFile(argv[2], filtertool::WriteFilterBuffer(spec)) ? 0 : 1;
    }
    return usage();
}

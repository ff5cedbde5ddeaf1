#include "ProTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <thread>
#include <vector>

namespace protest {

using namespace NimbalCore;

ImagePool* Pool() {
    static const bool installed = [] {
#ifdef ZYN_TEST_DRIVER_DIR
        // The drivers built for this test program's sanitizer.
        ::setenv("LUMORA_PROGRAM_DIR", ZYN_TEST_DRIVER_DIR, 1);
#endif
        ProImage::InstallPoolSteps();
        return true;
    }();
    (void)installed;
    return ImagePool::Instance();
}

std::string FaultFolder() {
#ifdef ZYN_TEST_DRIVER_DIR
    return ZYN_TEST_DRIVER_DIR;
#endif
    const char* build = std::getenv("LUMORA_BUILD_DIR");
    return std::string(build ? build : ".") + "/standins/zyndriver";
}

YlmRefPtr<BBPlugIn> PlugInFromFile(const std::string& file) {
    YlmRefPtr<BBPlugIn> plugIn(new BBPlugIn(LoadableModule::CreateFromPath(file.c_str())));
    if (!plugIn->Bind() || plugIn->InitializeContext() != 0) return YlmRefPtr<BBPlugIn>();
    return plugIn;
}

ZproSpec Spec(int32_t model, uint32_t width, uint32_t height, bool mono) {
    ZproSpec spec;
    spec.modelCode = model;
    spec.width = width;
    spec.height = height;
    spec.mono = mono;
    spec.SetDefaults();
    return spec;
}

std::string WriteFile(const lumora::test::TempFolder& folder, const std::string& name, ZproSpec spec) {
    const std::string path = folder.file(name);
    if (!WriteZproFile(path, spec)) throw std::runtime_error("cannot write " + path);
    return path;
}

int CountEntries(const char* folder) {
    int n = 0;
    if (DIR* d = ::opendir(folder)) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}

int ThreadsSettleTo(int expected) {
    int n = CountEntries("/proc/self/task");
    for (int i = 0; i < 100 && n > expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        n = CountEntries("/proc/self/task");
    }
    return n;
}

uint64_t Hash(const void* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

uint64_t HashFileRange(const std::string& path, uint64_t offset, uint64_t size) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(offset));
    std::vector<char> bytes(size);
    in.read(bytes.data(), std::streamsize(size));
    if (uint64_t(in.gcount()) != size) return 0;
    return Hash(bytes.data(), bytes.size());
}

} // namespace protest

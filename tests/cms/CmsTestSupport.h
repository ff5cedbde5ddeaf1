#pragma once
// Shared by the colour-management tests: where the generated profiles are,
// loading them, and running outside tools on them.
#include "ORVEXCMS.h"
#include "ShellCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <iterator>
#include <string>
#include <vector>

namespace cmstest {

// LUMORA_BUILD_DIR, else the folder above the test program (build/tests).
inline std::string buildDir() {
    if (const char* d = std::getenv("LUMORA_BUILD_DIR"); d && d[0]) return d;
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return ".";
    std::string path(exe, size_t(n));
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/'));
}
inline std::string programDir() {
    const char* d = std::getenv("LUMORA_PROGRAM_DIR");
    return d ? d : buildDir() + "/bin";
}
inline std::string colorFolder() { return buildDir() + "/share/lumora/system/spool/drivers/color"; }
inline std::string testProfiles() { return buildDir() + "/testdata/cms/profiles"; }
inline std::string staticProfile(const std::string& name) { return colorFolder() + "/" + name; }
inline std::string testProfile(const std::string& name) { return testProfiles() + "/" + name; }

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

using lumora::test::HaveTool;
using lumora::test::RunCommand;

// One library instance for a test.
class Instance {
public:
    Instance() { EXPECT_EQ(SpInitialize(&handle_, nullptr, nullptr), SpStatSuccess); }
    ~Instance() { SpTerminate(&handle_); }
    SpInstance get() const { return handle_; }

private:
    SpInstance handle_ = 0;
};

inline SpProfile load(SpInstance instance, const std::string& path) {
    SpProfile p = 0;
    EXPECT_EQ(SpProfileLoadProfile(instance, path.c_str(), nullptr, &p), SpStatSuccess) << path;
    return p;
}

constexpr uint32_t sig(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}

inline uint32_t sigOf(const char* s) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint32_t(uint8_t(s[3]));
}

} // namespace cmstest

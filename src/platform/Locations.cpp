#include "Locations.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace lumora {
namespace {

// An unset and an empty variable mean the same: use the default.
const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

fs::path selfExeDir() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return exe.parent_path();
}

} // namespace

fs::path Locations::ProgramDir() {
    if (const char* v = env("LUMORA_PROGRAM_DIR")) return fs::path(v);
    return selfExeDir();
}

fs::path Locations::SystemDir() {
    if (const char* v = env("LUMORA_SYSTEM_DIR")) return fs::path(v);
    fs::path program = ProgramDir();
    if (program.empty()) return {};
    return (program / ".." / "share" / "lumora" / "system").lexically_normal();
}

fs::path Locations::ColorDir() {
    fs::path system = SystemDir();
    if (system.empty()) return {};
    return system / "spool" / "drivers" / "color";
}

fs::path Locations::ConfigHome() {
    if (const char* v = env("XDG_CONFIG_HOME")) return fs::path(v);
    if (const char* home = env("HOME")) return fs::path(home) / ".config";
    return {};
}

fs::path Locations::ConfigFile() {
    if (const char* v = env("LUMORA_CONFIG_FILE")) return fs::path(v);
    fs::path base = ConfigHome();
    if (base.empty()) return {};
    return base / "Orvex" / "Lumora.conf";
}

fs::path Locations::PrefDir() {
    if (const char* v = env("LUMORA_PREF_DIR")) return fs::path(v);
    fs::path base = ConfigHome();
    if (base.empty()) return {};
    return base / "orvex";
}

fs::path Locations::TempDir() {
    if (const char* v = env("TMPDIR")) return fs::path(v);
    return fs::path("/tmp");
}

fs::path Locations::RuntimeDir() {
    if (const char* v = env("XDG_RUNTIME_DIR")) return fs::path(v) / "lumora";
    return TempDir() / ("lumora-" + std::to_string(static_cast<unsigned long>(::getuid())));
}

int Locations::CreateTempFile(const std::string& prefix, fs::path& path) {
    path.clear();
    if (prefix.find('/') != std::string::npos) {
        errno = EINVAL;
        return -1;
    }
    std::string pattern = (TempDir() / (prefix + "XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = ::mkstemp(buffer.data());
    if (fd >= 0) path = fs::path(buffer.data());
    return fd;
}

} // namespace lumora

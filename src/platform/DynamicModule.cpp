#include "DynamicModule.h"

#include "Locations.h"

#include "Win32Error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace lumora {
namespace {

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char a = s[s.size() - suffix.size() + i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (a != suffix[i]) return false;
    }
    return true;
}

bool isRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string libraryFolder(const void* anchor) {
    Dl_info info{};
    if (!anchor || !dladdr(anchor, &info) || !info.dli_fname || !info.dli_fname[0]) return {};
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved)) return {};
    return folderOf(resolved);
}

std::mutex& dlerrorMutex() {
    static std::mutex m;
    return m;
}

} // namespace

DynamicModule::~DynamicModule() {
    if (handle_) dlclose(handle_);
}

std::string DynamicModule::fileNameFor(std::string_view name) {
    std::string_view base = name;
    if (endsWithNoCase(base, ".dll")) base.remove_suffix(4);
    else if (endsWithNoCase(base, ".so")) base.remove_suffix(3);
    return std::string(base) + ".so";
}

std::string DynamicModule::programFolder() {
    std::string dir = Locations::ProgramDir().string();
    if (dir.empty()) return ".";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::unique_ptr<DynamicModule> DynamicModule::load(std::string_view name, uint32_t& error,
                                                   const void* anchor, std::string* detail) {
    error = win32::ERROR_SUCCESS;
    if (detail) detail->clear();
    if (name.empty()) {
        error = win32::ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    const std::string file = fileNameFor(name);

    std::string candidates[3];
    int count = 0;
    if (file.find('/') != std::string::npos) {
        candidates[count++] = file;
    } else {
        candidates[count++] = programFolder() + "/" + file;
        if (std::string lib = libraryFolder(anchor); !lib.empty()) candidates[count++] = lib + "/" + file;
    }

    std::lock_guard lock(dlerrorMutex());
    for (int i = 0; i < count; ++i) {
        if (!isRegularFile(candidates[i])) continue;
        // A file that is there but does not load is the answer: looking further
        // would hide why the module the program ships with is broken.
        void* h = dlopen(candidates[i].c_str(), RTLD_NOW | RTLD_LOCAL);
        if (h) return std::unique_ptr<DynamicModule>(new DynamicModule(h, candidates[i]));
        if (detail) {
            const char* msg = dlerror();
            *detail = msg ? msg : "";
        }
        error = win32::ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    if (file.find('/') == std::string::npos) {
        // The normal search (LD_LIBRARY_PATH, the run paths, the system folders).
        if (void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            return std::unique_ptr<DynamicModule>(new DynamicModule(h, file));
        }
        if (detail) {
            const char* msg = dlerror();
            *detail = msg ? msg : "";
        }
    } else if (detail) {
        *detail = file + ": no such file";
    }
    error = win32::ERROR_MOD_NOT_FOUND;
    return nullptr;
}

void* DynamicModule::symbol(const char* name, uint32_t& error) const {
    error = win32::ERROR_SUCCESS;
    if (!name || !handle_) {
        error = win32::ERROR_PROC_NOT_FOUND;
        return nullptr;
    }
    std::lock_guard lock(dlerrorMutex());
    dlerror();
    void* p = dlsym(handle_, name);
    if (!p) error = win32::ERROR_PROC_NOT_FOUND;
    return p;
}

} // namespace lumora

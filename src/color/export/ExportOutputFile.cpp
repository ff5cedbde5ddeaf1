#include "ExportOutputFile.h"

#include "NbErrorCodes.h"
#include "YlmErrp.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace NimbalCore {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The process's file-creation mask, read without changing it.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) return mode_t(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    return 022;
}

} // namespace

ExportOutputFile::~ExportOutputFile() { Discard(); }

void ExportOutputFile::CheckWritable(const char* operation) const {
    const std::string path = target_.GetPath();
    if (path.empty() || path.back() == '/') YLM_THROW(operation, NbErrFileOpenFailed);
    const std::string folder = FolderOf(path);
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(folder.c_str(), W_OK | X_OK) != 0)
        YLM_THROW(operation, NbErrFileOpenFailed);
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || ::access(path.c_str(), W_OK) != 0) YLM_THROW(operation, NbErrFileOpenFailed);
    }
}

FilePathSpec ExportOutputFile::Create(const char* operation) {
    Discard();
    const std::string path = target_.GetPath();
    const std::string folder = FolderOf(path);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    std::string pattern = (folder == "/" ? std::string() : folder) + "/." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) YLM_THROW(operation, NbErrFileOpenFailed);
    temporary_ = buffer.data();
    const bool modeSet = ::fchmod(fd, 0666 & ~CurrentUmask()) == 0;
    ::close(fd);
    if (!modeSet) {
        Discard();
        YLM_THROW(operation, NbErrFileOpenFailed);
    }
    return FilePathSpec(temporary_);
}

void ExportOutputFile::Commit(const char* operation) {
    if (temporary_.empty()) YLM_THROW(operation, NbErrFileWriteFailed);
    if (std::rename(temporary_.c_str(), target_.GetPath().c_str()) != 0) {
        Discard();
        YLM_THROW(operation, NbErrFileWriteFailed);
    }
    temporary_.clear();
}

void ExportOutputFile::Discard() {
    if (temporary_.empty()) return;
    ::unlink(temporary_.c_str());
    temporary_.clear();
}

} // namespace NimbalCore

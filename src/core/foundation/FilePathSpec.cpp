#include "FilePathSpec.h"

#include "FileTimes.h"
#include "Locations.h"
#include "UnicodeText.h"
#include "YlmErrp.h"
#include "NbErrorCodes.h"

#include <cstdio>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace NimbalCore {
namespace {

time_t creationTimeOf(const std::string& path) {
    if (path.empty()) return 0;
    lumora::FileTimes::Times times;
    uint32_t error = 0;
    if (!lumora::FileTimes::get(path, times, error)) return 0;
    return times.creation.tv_sec;
}

size_t nameStart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The path itself when it exists, else its nearest existing folder, so that
// questions about the file system have an answer for files not yet written.
std::string nearestExisting(const std::string& path) {
    std::string p = path.empty() ? std::string(".") : path;
    struct stat st;
    while (::stat(p.c_str(), &st) != 0) {
        const size_t slash = p.find_last_of('/');
        if (slash == std::string::npos) return ".";
        if (slash == 0) return "/";
        p.erase(slash);
    }
    return p;
}

} // namespace

FilePathSpec::FilePathSpec(const std::string& path) : path_(path) {
    if (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    creationTime_ = creationTimeOf(path_);
}

bool FilePathSpec::operator<(const FilePathSpec& other) const {
    return strcasecmp(path_.c_str(), other.path_.c_str()) < 0;
}

bool FilePathSpec::IsSameFile(const FilePathSpec& other) const {
    return strcasecmp(path_.c_str(), other.path_.c_str()) == 0;
}

std::string FilePathSpec::GetFileName() const {
    return path_.substr(nameStart(path_));
}

std::u16string FilePathSpec::GetFileNameW() const {
    std::u16string wide;
    if (!UnicodeText::ToUtf16(GetFileName(), wide)) wide.clear();
    return wide;
}

std::string FilePathSpec::GetExtension() const {
    const std::string name = GetFileName();
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

FilePathSpec FilePathSpec::GetFolder() const {
    return FilePathSpec(path_.substr(0, nameStart(path_)));
}

bool FilePathSpec::IsFolder() const {
    struct stat st;
    if (::stat(path_.c_str(), &st) != 0) YLM_THROW("FilePathSpec::IsFolder", NbErrPathStatFailed);
    return S_ISDIR(st.st_mode);
}

bool FilePathSpec::IsSameVolume(const FilePathSpec& other) const {
    return strcasecmp(GetVolumeName().c_str(), other.GetVolumeName().c_str()) == 0;
}

void FilePathSpec::UpdateTime() {
    if (creationTime_ == 0) creationTime_ = creationTimeOf(path_);
}

bool FilePathSpec::IsReadOnly() const {
    // A read-only mount (a disc, a write-protected card) answers without
    // looking at the file, as a CD-ROM drive does.
    struct statvfs vfs;
    if (::statvfs(nearestExisting(path_).c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY)) return true;
    struct stat st;
    if (::stat(path_.c_str(), &st) != 0) YLM_THROW("FilePathSpec::IsReadOnly", NbErrPathStatFailed);
    return (st.st_mode & S_IWUSR) == 0;
}

bool FilePathSpec::Exists() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0;
}

void FilePathSpec::AppendW(const std::u16string& name) {
    std::string narrow;
    if (!UnicodeText::ToUtf8(name, narrow)) narrow.clear();
    Append(narrow);
}

void FilePathSpec::Append(std::string name) {
    if (path_.size() + name.size() > kMaxPath) YLM_THROW("FilePathSpec::Append", NbErrPathTooLong);
    if (!IsFolder()) YLM_THROW("FilePathSpec::Append", NbErrNotAFolder);
    // The root already ends in its separator.
    if (path_.empty() || path_.back() != '/') path_ += '/';
    path_ += name;
}

std::string FilePathSpec::GetVolumeName() const {
    struct stat st;
    if (::stat(nearestExisting(path_).c_str(), &st) != 0) return std::string();
    char text[48];
    std::snprintf(text, sizeof text, "dev:%u:%u", major(st.st_dev), minor(st.st_dev));
    return text;
}

std::string GetTempFolderPath() {
    std::string folder = lumora::Locations::TempDir().string();
    if (folder.empty()) folder = "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

} // namespace NimbalCore

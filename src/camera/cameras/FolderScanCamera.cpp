#include "FolderScanCamera.h"

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "FileNameMatch.h"
#include "FileTimes.h"
#include "LocalTime.h"
#include "RecordArray.h"
#include "SdkUtilities.h"
#include "Win32Error.h"

namespace lumora::vq {

namespace {

// Local DOS date and time of a file time; 0, 0 when it has no DOS form.
void DosStamp(const timespec& t, uint16_t& date, uint16_t& time) {
    date = time = 0;
    std::tm tm{};
    if (!LocalTime::fromTime(t.tv_sec, tm) || tm.tm_year < 80 || tm.tm_year > 80 + 127) return;
    date = uint16_t((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    time = uint16_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
}

} // namespace

bool FolderScanCamera::IsOpen() const { return folderPath_[0] != 0; }

VqStatus FolderScanCamera::ReadFileFacts(const char* path, DirectoryEntry& entry) {
    struct stat st {};
    if (::stat(path, &st) != 0) {
        const uint32_t error = win32::fromErrnoForPath(errno, path);
        return error ? error : win32::ERROR_FILE_NOT_FOUND;
    }
    FileTimes::Times times;
    uint32_t error = 0;
    if (!FileTimes::get(std::string(path), times, error)) return error ? error : win32::ERROR_FILE_NOT_FOUND;
    entry.present = 1;
    DosStamp(times.creation, entry.createdDate, entry.createdTime);
    DosStamp(times.lastWrite, entry.writtenDate, entry.writtenTime);
    SdkUnifyDosStamps(&entry.createdDate, &entry.createdTime, &entry.writtenDate, &entry.writtenTime);
    entry.size = uint32_t(uint64_t(st.st_size));
    // The Win32 attribute word: read-only 0x1, folder 0x10, otherwise archive 0x20.
    uint32_t attributes = S_ISDIR(st.st_mode) ? 0x10u : 0x20u;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= 0x1u;
    entry.attributes = attributes;
    return 0;
}

VqStatus FolderScanCamera::ScanFolder(const char* extension, uint32_t kind, RecordArray* list) {
    std::string folder(folderPath_);
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '/') pattern += '/';
    pattern += "*.";
    pattern += extension;
    if (pattern.size() > VQ_PATH_BYTES) return VQ_ERR_ENTRY_OP_NOT_SUPPORTED;

    uint32_t error = 0;
    const auto found = FileNameMatch::list(folder.empty() ? std::string(".") : folder,
                                           std::string("*.") + extension, error);
    if (error) return error;
    if (found.empty()) return win32::ERROR_FILE_NOT_FOUND;
    const std::string prefix = pattern.substr(0, pattern.size() - 2 - std::strlen(extension));
    for (const auto& match : found) {
        DirectoryEntry entry;
        std::memset(&entry, 0, sizeof entry);
        std::strncpy(entry.name, match.name.c_str(), sizeof entry.name - 1);
        const VqStatus status = ReadFileFacts((prefix + match.name).c_str(), entry);
        entry.present = 0;
        if (status) continue;  // vanished between the listing and the look
        entry.kind = kind;
        Append(list, entry);
    }
    return 0;
}

} // namespace lumora::vq

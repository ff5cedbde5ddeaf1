// Copying one image of a camera over a real folder, with its sounds: through
// the file system, streamed only when progress is reported.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "CopyProgress.h"
#include "FolderEnumerator.h"
#include "FolderScanCamera.h"
#include "SdkFile.h"
#include "SdkUtilities.h"

namespace lumora::vq {

namespace {

constexpr uint32_t kStreamChunk = 0xA0000;

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// The total size of the listed sounds.
uint64_t SoundBytes(FolderEnumerator& sounds) {
    int16_t count = 0;
    sounds.GetSoundCount(&count);
    uint64_t total = 0;
    for (int16_t i = 0; i < count; ++i) {
        SoundInfoRecord info{};
        if (sounds.GetSoundInfo(i, &info) == 0) total += info.size;
    }
    return total;
}

} // namespace

VqStatus FolderScanCamera::CopySourceAndTarget(int32_t* index, const VqPathRecord* destination, const char* name,
                                               DirectoryEntry* e, std::string* source, std::string* target) {
    if (!destination || !imageList_) return VQ_ERR_NO_ENTRY_LIST;
    if (*index == -1) {
        if (!name) return VQ_ERR_NULL_NAME;
        if (!name[0]) return VQ_ERR_NAME_REQUIRED;
        uint32_t i = 1;
        for (; i <= Count(imageList_); ++i)
            if (GetAt(imageList_, i, *e) && SdkCompareNoCase(e->name, name) == 0) break;
        if (i > Count(imageList_)) return VQ_ERR_ENTRY_NOT_FOUND;
        *index = int32_t(i) - 1;
    } else if (*index < 0 || !GetAt(imageList_, uint32_t(*index) + 1, *e)) {
        return VQ_ERR_ENTRY_NOT_FOUND;
    }
    e->name[sizeof e->name - 1] = '\0';
    const char* extension = e->kind == 0 ? "tif" : e->kind == 1 ? "jpg" : nullptr;
    if (!extension) return VQ_ERR_BAD_ENTRY_KIND;
    *source = WithSlash(folderPath_) + e->name;
    const std::string dest(destination->path, strnlen(destination->path, sizeof destination->path));
    const size_t dot = dest.rfind('.');
    const bool file = dot != std::string::npos && dest.find('/', dot) == std::string::npos &&
                      strcasecmp(dest.c_str() + dot + 1, extension) == 0;
    *target = file ? dest : WithSlash(dest) + e->name;
    if (source->size() >= VQ_PATH_BYTES || target->size() >= VQ_PATH_BYTES) return VQ_ERR_FILE_NAME_TOO_LONG;
    return 0;
}

VqStatus FolderScanCamera::CopySounds(FolderEnumerator& sounds, const char* destination, CopyProgress* report,
                                      uint64_t done) {
    char folder[VQ_PATH_BYTES] = {};
    std::strncpy(folder, destination, sizeof folder - 1);
    if (std::strchr(folder, '.')) SdkStripFileName(folder);
    int16_t count = 0;
    sounds.GetSoundCount(&count);
    for (int16_t i = 0; i < count; ++i) {
        SoundInfoRecord info{};
        if (VqStatus s = sounds.GetSoundInfo(i, &info)) return s;
        info.name[sizeof info.name - 1] = '\0';
        const std::string source = WithSlash(folderPath_) + info.name;
        const std::string target = WithSlash(folder) + info.name;
        if (VqStatus s = SdkFile::CopyFileWithRetry(source.c_str(), target.c_str())) return s;
        done += info.size;
        // The answer is not looked at: the image is already copied.
        if (report) report->Step(done);
    }
    return 0;
}

VqStatus FolderScanCamera::CopyImageToFolder(int32_t index, const VqPathRecord* destination, const char* name,
                                             uint8_t flags, void* progress) {
    DirectoryEntry e;
    std::string source, target;
    if (VqStatus s = CopySourceAndTarget(&index, destination, name, &e, &source, &target)) return s;
    std::unique_ptr<FolderEnumerator> sounds;
    uint64_t soundBytes = 0;
    if (flags) {
        sounds.reset(new (std::nothrow) FolderEnumerator(this, index, "wav"));
        if (!sounds) return VQ_ERR_NO_ENTRY_LIST;
        soundBytes = SoundBytes(*sounds);
    }
    CopyProgress report(progress, 0);
    VqStatus status = 0;
    uint64_t imageBytes = 0;
    if (!report.active()) {
        status = SdkFile::CopyFileWithRetry(source.c_str(), target.c_str());
    } else {
        SdkFile in, out;
        uint32_t size = 0;
        status = in.Open(source.c_str(), SdkFile::kRead);
        if (!status) status = in.GetSize(&size);
        bool created = false;
        if (!status) {
            status = out.Open(target.c_str(), SdkFile::kCreateNew);
            created = status == 0;
        }
        imageBytes = size;
        std::unique_ptr<uint8_t[]> buffer;
        if (!status) {
            buffer.reset(new (std::nothrow) uint8_t[std::max<uint32_t>(1, std::min(size, kStreamChunk))]);
            if (!buffer) status = VQ_ERR_NO_ENTRY_LIST;
        }
        report = CopyProgress(progress, uint64_t(size) + soundBytes);
        if (!status) report.Start();
        for (uint32_t done = 0; !status && done < size;) {
            const uint32_t length = std::min(size - done, kStreamChunk);
            status = in.Read(buffer.get(), length);
            if (!status) status = out.Write(buffer.get(), length);
            if (status) break;
            done += length;
            if (!report.Step(done)) status = VQ_ERR_CANCELLED;
        }
        in.Close();
        if (created) {
            out.Close();
            if (!status) status = SdkFile::CopyFileTimes(source.c_str(), target.c_str());
            // Only the file this copy made is removed, never the source.
            if (status) std::remove(target.c_str());
        }
    }
    if (!status && flags && sounds)
        status = CopySounds(*sounds, destination->path, report.active() ? &report : nullptr, imageBytes);
    report.Finish();
    return status;
}

VqStatus FolderScanCamera::CopyImageFileToFolder(int32_t index, const VqPathRecord* destination, const char* name,
                                                 uint8_t flags) {
    DirectoryEntry e;
    std::string source, target;
    if (VqStatus s = CopySourceAndTarget(&index, destination, name, &e, &source, &target)) return s;
    if (VqStatus s = SdkFile::CopyFileWithRetry(source.c_str(), target.c_str())) return s;
    if (!flags) return 0;
    FolderEnumerator sounds(this, index, "wav");
    return CopySounds(sounds, destination->path, nullptr, 0);
}

} // namespace lumora::vq

// Copying one image of a folder camera through its own byte reading, with its
// sounds, progress and a dry run.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "CopyProgress.h"
#include "FolderCamera.h"
#include "FolderEnumerator.h"
#include "SdkFile.h"
#include "SdkUtilities.h"

namespace lumora::vq {

namespace {

constexpr uint32_t kLargeChunk = 0x39000;
constexpr uint32_t kSmallChunk = 0x19000;
constexpr uint32_t kLargeChunkCameraType = 3;
constexpr uint8_t kCopySounds = 1;

} // namespace

VqStatus FolderCamera::CopyImageToFolder(int32_t index, const VqPathRecord* destination, const char* name,
                                         uint8_t flags, void* progress) {
    if (!destination) return VQ_ERR_NO_ENTRY_LIST;
    const std::string dest(destination->path, strnlen(destination->path, sizeof destination->path));
    // "NULL" reads the image and writes nothing.
    const bool dry = strcasecmp(dest.c_str(), "NULL") == 0;
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;

    DirectoryEntry e;
    if (index == -1 && name) {
        uint32_t i = 1;
        for (; i <= Count(imageList_); ++i)
            if (GetAt(imageList_, i, e) && SdkCompareNoCase(e.name, name) == 0) break;
        if (i > Count(imageList_)) return VQ_ERR_ENTRY_NOT_FOUND;
        index = int32_t(i) - 1;
    } else if (index < 0 || !GetAt(imageList_, uint32_t(index) + 1, e)) {
        return VQ_ERR_ENTRY_NOT_FOUND;
    }
    e.name[sizeof e.name - 1] = '\0';

    std::string folder, target = name ? name : "";
    uint32_t isFolder = 0;
    if (!dry && SdkIsDirectory(dest.c_str(), &isFolder) == 0 && isFolder) {
        if (e.name[0] == '\0') return VQ_ERR_EMPTY_ENTRY_NAME;
        folder = dest;
        if (target.empty()) target = e.name;
    } else {
        const size_t slash = dest.rfind('/');
        folder = slash == std::string::npos ? std::string() : dest.substr(0, slash);
        target = slash == std::string::npos ? dest : dest.substr(slash + 1);
    }

    uint32_t size = 0;
    uint16_t date = 0, time = 0;
    if (VqStatus s = GetEntryFacts(index, &size, &date, &time)) return s;
    std::unique_ptr<FolderEnumerator> sounds;
    uint64_t soundBytes = 0;
    if (flags) {
        sounds.reset(new (std::nothrow) FolderEnumerator(this, index, "wav"));
        if (!sounds) return VQ_ERR_NO_ENTRY_LIST;
        int16_t count = 0;
        sounds->GetSoundCount(&count);
        for (int16_t i = 0; i < count; ++i) {
            SoundInfoRecord info{};
            if (sounds->GetSoundInfo(i, &info) == 0) soundBytes += info.size;
        }
    }
    CopyProgress report(progress, uint64_t(size) + soundBytes);
    const uint32_t chunk = std::max<uint32_t>(
        1, std::min(size, report.active() ? (record_.cameraType == kLargeChunkCameraType ? kLargeChunk : kSmallChunk)
                                          : size));
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[chunk]);
    if (!buffer) return VQ_ERR_NO_ENTRY_LIST;

    // A file read only for the copy is not kept open.
    closeFilesAfterRead_ = e.image ? 0 : 1;
    char path[VQ_PATH_BYTES] = {};
    VqStatus status = SdkFile(folder.c_str()).JoinPath(path, target.c_str());
    SdkFile out;
    bool created = false;
    if (!status && !dry) {
        status = out.Open(path, SdkFile::kCreateNew);
        created = status == 0;
    }
    if (!status) report.Start();
    for (uint32_t done = 0; !status && done < size;) {
        const uint32_t length = std::min(chunk, size - done);
        status = ReadImageBytes(index, length, buffer.get(), 0, int32_t(done), 0);
        if (!status && !dry) status = out.Write(buffer.get(), length);
        if (status) break;
        done += length;
        if (!report.Step(done)) status = VQ_ERR_CANCELLED;
    }
    if (!status && date != 0 && created) status = out.SetTimes(date, time);
    if (created) {
        out.Close();
        // Nothing half-copied stays behind; the file was ours.
        if (status) std::remove(path);
    }
    if (!status && flags == kCopySounds && sounds) status = sounds->CopyAllToFolder(folder.c_str());
    closeFilesAfterRead_ = 0;
    report.Finish();
    return status;
}

} // namespace lumora::vq

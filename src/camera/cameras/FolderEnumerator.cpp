#include "FolderEnumerator.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "RecordArray.h"
#include "SdkCamera.h"
#include "SdkFile.h"

namespace lumora::vq {

namespace {

constexpr size_t kMatchedNameLength = 12;
constexpr uint32_t kNoNextImage = 0xFFFFFFFFu;
constexpr uint32_t kSoundEntryKind = 2;

uint32_t Stamp(uint16_t date, uint16_t time) { return uint32_t(date) << 16 | time; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// A name the camera handed out, freed when it goes.
struct Name {
    char* text = nullptr;
    ~Name() { delete[] text; }
};

} // namespace

FolderEnumerator::FolderEnumerator(SdkCamera* camera, int32_t imageIndex, const char* extension)
    : camera_(camera), imageIndex_(int16_t(imageIndex)), extension_(extension) {
    soundList_ = new (std::nothrow) RecordArray(sizeof(SoundRecord), nullptr, 0);
    // A failed scan keeps what it found; nobody asks why.
    if (soundList_) scanStatus_ = Scan();
}

FolderEnumerator::~FolderEnumerator() {
    if (soundList_ && soundList_->count()) soundList_->Delete(int32_t(soundList_->count()), 1);
    delete soundList_;
}

int32_t FolderEnumerator::IsValid() { return camera_ && soundList_ ? 1 : 0; }

bool FolderEnumerator::GetRecord(int32_t index, SoundRecord& out) const {
    if (!soundList_ || index < 0 || uint32_t(index) >= soundList_->count()) return false;
    return soundList_->Get(index + 1, &out) != 0;
}

VqStatus FolderEnumerator::ReadSound(SoundInfoRecord* info, void* buffer) {
    if (!buffer || !info) return VQ_ERR_BAD_HANDLE;
    SoundRecord r;
    if (!GetRecord(info->index, r)) return VQ_ERR_NO_SUCH_SOUND;
    return camera_->ReadFolderFile(r.name, r.size, buffer, 0, 0, 0);
}

VqStatus FolderEnumerator::GetSoundInfo(int32_t index, SoundInfoRecord* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    SoundRecord r;
    const int16_t i = int16_t(index);
    if (!GetRecord(i, r)) return VQ_ERR_NO_SUCH_SOUND;
    std::memset(out, 0, sizeof *out);
    out->index = i;
    out->size = r.size;
    std::memcpy(out->name, r.name, sizeof out->name);
    out->name[sizeof out->name - 1] = '\0';
    return 0;
}

VqStatus FolderEnumerator::GetSoundCount(int16_t* out) {
    if (!out) return VQ_ERR_BAD_HANDLE;
    *out = int16_t(soundList_ ? soundList_->count() : 0);
    return 0;
}

VqStatus FolderEnumerator::Reserved(uint32_t) { return VQ_ERR_ENTRY_OP_NOT_SUPPORTED; }

bool FolderEnumerator::NamesMatch(const char* a, const char* b) {
    if (!a || !b || std::strlen(a) != kMatchedNameLength || std::strlen(b) != kMatchedNameLength) return false;
    for (size_t i = 4; i < 8; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

void FolderEnumerator::AddEntry(const DirectoryEntry& entry, uint32_t* position) {
    SoundRecord r;
    std::memset(&r, 0, sizeof r);
    std::memcpy(r.name, entry.name, strnlen(entry.name, sizeof r.name - 1));
    r.createdDate = entry.createdDate;
    r.createdTime = entry.createdTime;
    r.size = entry.size;
    soundList_->Insert(1, int32_t(*position), &r, sizeof r);
    *position += 1;
}

VqStatus FolderEnumerator::BelongsEarlier(const char* sound, bool* earlier) {
    *earlier = false;
    for (int k = 1; k <= kEarlierImages; ++k) {
        Name other;
        if (camera_->GetImageName(int32_t(int16_t(imageIndex_ - k)), &other.text) || !other.text) return 0;
        if (NamesMatch(sound, other.text)) {
            *earlier = true;
            return 0;
        }
    }
    return 0;
}

VqStatus FolderEnumerator::Scan() {
    if (!camera_) return VQ_ERR_BAD_HANDLE;
    std::unique_ptr<RecordArray> found(new (std::nothrow) RecordArray(sizeof(DirectoryEntry), nullptr, 0));
    if (!found) return VQ_ERR_NO_ENTRY_LIST;

    uint16_t date = 0, time = 0;
    if (VqStatus s = camera_->GetEntryFacts(imageIndex_, nullptr, &date, &time)) return s;
    const uint32_t t0 = Stamp(date, time);
    uint32_t t1 = kNoNextImage, tp = 0;
    if (VqStatus s = camera_->GetEntryFacts(int16_t(imageIndex_ + 1), nullptr, &date, &time)) {
        if (s != VQ_ERR_ENTRY_NOT_FOUND) return s;
    } else {
        t1 = Stamp(date, time);
    }
    if (VqStatus s = camera_->GetEntryFacts(int16_t(imageIndex_ - 1), nullptr, &date, &time)) {
        if (s != VQ_ERR_ENTRY_NOT_FOUND) return s;
    } else {
        tp = Stamp(date, time);
    }
    if (VqStatus s = camera_->ScanFolder("WAV", kSoundEntryKind, found.get())) return s;

    Name image;
    bool haveName = false;
    auto imageName = [&](const char** out) -> VqStatus {
        if (!haveName) {
            if (VqStatus s = camera_->GetImageName(imageIndex_, &image.text)) return s;
            haveName = true;
        }
        *out = image.text;
        return 0;
    };
    uint32_t position = 1;
    for (uint32_t i = 1; i <= found->count(); ++i) {
        DirectoryEntry s;
        if (!found->Get(int32_t(i), &s)) continue;
        s.name[sizeof s.name - 1] = '\0';
        const uint32_t ts = Stamp(s.createdDate, s.createdTime);
        bool belongs = false;
        if (t0 < ts && ts < t1) {
            belongs = true;
        } else if (t0 == t1) {
            const char* name = nullptr;
            if (VqStatus st = imageName(&name)) return st;
            belongs = NamesMatch(s.name, name);
        } else if (ts == t0 && t0 != tp) {
            belongs = true;
        } else if (ts == t0 && t0 == tp) {
            const char* name = nullptr;
            if (VqStatus st = imageName(&name)) return st;
            bool earlier = false;
            if (!NamesMatch(s.name, name)) BelongsEarlier(s.name, &earlier);
            belongs = !earlier;
        } else if (ts > t0 && t1 == kNoNextImage) {
            belongs = true;
        } else if (ts < t0 && tp == 0) {
            belongs = true;
        }
        if (belongs) AddEntry(s, &position);
    }
    return 0;
}

VqStatus FolderEnumerator::CopyAllToFolder(const char* folder) {
    if (!folder || !soundList_) return VQ_ERR_BAD_HANDLE;
    SdkFile target(folder);
    for (uint32_t i = 1; i <= soundList_->count(); ++i) {
        SoundRecord r;
        if (!soundList_->Get(int32_t(i), &r)) continue;
        r.name[sizeof r.name - 1] = '\0';
        char path[SdkFile::kPathSize];
        if (VqStatus s = target.JoinPath(path, r.name)) return s;
        SdkFile out;
        if (VqStatus s = out.Open(path, SdkFile::kCreateNew)) return s;
        std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[r.size ? r.size : 1]);
        if (!bytes) {
            out.Close();
            return VQ_ERR_NULL_LIST;
        }
        VqStatus s = camera_->ReadFolderFile(r.name, r.size, bytes.get(), 0, 0, 0);
        if (!s) s = out.Write(bytes.get(), r.size);
        if (!s) s = out.Flush();
        if (!s) s = out.SetTimes(r.createdDate, r.createdTime);
        out.Close();
        if (s) {
            // The file was made by this copy: nothing half-written is left.
            std::remove(path);
            return s;
        }
    }
    return 0;
}

} // namespace lumora::vq

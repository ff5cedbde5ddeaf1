#pragma once
// The sound files ("WAV") of a folder camera that belong to one image: chosen
// once, when the list is made, by their time stamps between the image's and
// its neighbours', and by the image number in their names where stamps tie.
#include <cstdint>

#include "DirectoryEntry.h"
#include "SdkSoundList.h"
#include "VqImage.h"
#include "VqStatus.h"

class RecordArray;

namespace lumora::vq {

class SdkCamera;

class FolderEnumerator : public SdkSoundList {
public:
    // One sound file of the list.
    struct SoundRecord {
        char name[256];
        uint16_t createdDate;
        uint16_t createdTime;
        uint32_t reserved;
        uint32_t size;
    };
    // Earlier images a sound sharing its stamp with them is checked against.
    static constexpr int kEarlierImages = 19;

    FolderEnumerator(SdkCamera* camera, int32_t imageIndex, const char* extension);
    ~FolderEnumerator() override;
    FolderEnumerator(const FolderEnumerator&) = delete;
    FolderEnumerator& operator=(const FolderEnumerator&) = delete;

    int32_t IsValid() override;
    VqStatus ReadSound(SoundInfoRecord* info, void* buffer) override;
    VqStatus GetSoundInfo(int32_t index, SoundInfoRecord* out) override;
    VqStatus GetSoundCount(int16_t* out) override;
    VqStatus Reserved(uint32_t word) override;

    // Copies every sound file into folder, keeping its name and stamp; a file
    // of the same name there is never replaced.
    VqStatus CopyAllToFolder(const char* folder);

    // Both names 12 characters long, with the same four characters after the
    // first four (the image number of an 8.3 name), letters in any case.
    static bool NamesMatch(const char* a, const char* b);

    VqStatus scanStatus() const { return scanStatus_; }

private:
    VqStatus Scan();
    void AddEntry(const DirectoryEntry& entry, uint32_t* position);
    bool GetRecord(int32_t index, SoundRecord& out) const;
    // Whether the sound belongs to an earlier image sharing the stamp.
    VqStatus BelongsEarlier(const char* sound, bool* earlier);

    SdkCamera* camera_ = nullptr;
    int16_t imageIndex_ = 0;
    const char* extension_ = nullptr;
    RecordArray* soundList_ = nullptr;
    VqStatus scanStatus_ = 0;
};

} // namespace lumora::vq

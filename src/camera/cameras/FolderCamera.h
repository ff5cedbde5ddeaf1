#pragma once
// A folder of image files presented as a camera: its images are the TIFF and
// JPEG files of the folder, listed by their written stamp, then by name.
#include <cstdint>

#include "DirectoryEntry.h"
#include "SdkCamera.h"

namespace lumora::vq {

class FolderCamera : public SdkCamera {
public:
    // Bytes of a camera object and of one list entry in the memory usage.
    static constexpr int32_t kObjectSize = 1068;
    static constexpr int32_t kEntrySize = 328;

    FolderCamera();
    ~FolderCamera() override;
    FolderCamera(const FolderCamera&) = delete;
    FolderCamera& operator=(const FolderCamera&) = delete;

    bool IsOpen() const override;
    int32_t GetMemoryUsage() override;
    VqStatus Open(CameraRecord* record) override;
    VqStatus Close() override;
    VqStatus OpenImage(int32_t index, const char* name, DriverSettings* settings, SdkImage** out,
                       CameraRecord* record, ImageInfoRecord* info) override;
    VqStatus CloseImage(SdkImage* image) override;
    VqStatus PollImages(VqPollRecord* poll) override;
    VqStatus DeleteImage(int32_t index, const char* name) override;
    // Streams the image through ReadImageBytes into a new file (a destination
    // of "NULL" reads it and writes nothing); flags 1 copies its sounds too.
    VqStatus CopyImageToFolder(int32_t index, const VqPathRecord* destination, const char* name, uint8_t flags,
                               void* progress) override;
    VqStatus GetEntryFactsByName(const char* name, uint32_t* size, uint16_t* date, uint16_t* time) override;
    VqStatus GetEntryFacts(int32_t index, uint32_t* size, uint16_t* date, uint16_t* time) override;
    SdkSoundList* CreateAttachmentListByName(const char* extension, const char* name) override;
    SdkSoundList* CreateAttachmentList(const char* extension, int32_t index) override;
    VqStatus ReadFolderFile(const char* name, uint32_t length, void* buffer, uint32_t reserved, int32_t offset,
                            uint32_t origin) override;
    VqStatus ReadImageBytes(int32_t index, uint32_t length, void* buffer, uint32_t reserved, int32_t offset,
                            uint32_t origin) override;
    VqStatus WriteImageBytes(int32_t index, uint32_t length, const void* buffer, int32_t offset,
                             uint32_t origin) override;
    VqStatus WriteFolderFile(const char* name, uint32_t length, const void* buffer, int32_t offset,
                             uint32_t origin) override;
    VqStatus GetImageName(int32_t index, char** out) override;
    VqStatus SetEntrySize(int32_t index, uint32_t size) override;
    VqStatus SetEntryKind(int32_t index, uint32_t kind) override;
    VqStatus FindEntry(CameraRecord* record, int32_t* index, const char* name, DirectoryEntry* out) override;

    // The image file of entry index replaced by length bytes as a whole (the
    // file may grow): the file holds either its old bytes or all the new ones.
    // The entry's kept file is closed and its size follows.
    VqStatus ReplaceImageFile(int32_t index, const uint8_t* bytes, uint64_t length);
    virtual VqStatus DeleteFolderFile(const char* folder, const char* name);
    virtual VqStatus SortEntriesByTime(RecordArray* list);
    virtual VqStatus CombineScanStatus(VqStatus a, VqStatus b);
    virtual VqStatus DeleteAttachments(const char* extension, int32_t index);
    virtual void ReleaseEntry(DirectoryEntry* entry);
    virtual VqStatus CarryOverOpenEntries(RecordArray* newList);

    void setCloseFilesAfterRead(uint32_t flag) { closeFilesAfterRead_ = flag; }
    const char* folderPath() const { return folderPath_; }
    RecordArray* imageList() const { return imageList_; }
    RecordArray* orphanList() const { return orphanList_; }

    // The list's entries, 1-based as the list counts them.
    static RecordArray* NewList();
    static uint32_t Count(const RecordArray* list);
    static bool GetAt(RecordArray* list, uint32_t position, DirectoryEntry& out);
    static void PutAt(RecordArray* list, uint32_t position, const DirectoryEntry& entry);
    static void Append(RecordArray* list, const DirectoryEntry& entry);
    static void RemoveAll(RecordArray* list);

protected:
    uint32_t closeFilesAfterRead_ = 0;
    RecordArray* imageList_ = nullptr;
    RecordArray* orphanList_ = nullptr;
    char folderPath_[VQ_PATH_BYTES];
    VqPollRecord pollRecord_;

private:
    // Closes the handle the entry at `position` kept open and stores the entry
    // without it; a handle that fails to close stays, and its status is
    // answered.
    VqStatus CloseKeptFile(uint32_t position, DirectoryEntry& entry);
    // One field of the image list's entry at index := value.
    VqStatus SetEntryField(int32_t index, uint32_t DirectoryEntry::*field, uint32_t value);
};

} // namespace lumora::vq

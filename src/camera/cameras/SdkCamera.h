#pragma once
// The abstract camera behind a CameraRecord. Its operation table is fixed: a
// class provides some operations, and every other one gives the default answer
// below (mostly VQ_ERR_NOT_SUPPORTED), so callers can ask any camera anything.
#include <cstdint>

#include "VqCamera.h"
#include "VqStatus.h"

class RecordArray;

namespace lumora::vq {

class DriverSettings;
class SdkImage;
class SdkSoundList;
struct DirectoryEntry;

class SdkCamera {
public:
    SdkCamera();
    virtual ~SdkCamera();

    virtual bool IsOpen() const;
    virtual int32_t GetMemoryUsage();
    virtual VqStatus Reserved4(uint32_t);
    virtual VqStatus Open(CameraRecord* record);
    virtual VqStatus Close();
    virtual VqStatus OpenImage(int32_t index, const char* name, DriverSettings* settings, SdkImage** out,
                               CameraRecord* record, ImageInfoRecord* info);
    virtual VqStatus CloseImage(SdkImage* image);
    virtual VqStatus Reserved9(uint32_t);
    virtual VqStatus Reserved10(uint32_t);
    virtual VqStatus Reserved11(uint32_t);
    virtual VqStatus GetPropertyList(void* a, void* b);
    virtual VqStatus GetProperty(uint32_t property, void* a, void* b);
    virtual VqStatus SetProperty(uint32_t property, void* a, void* b);
    virtual VqStatus FindFirstProperty(void* out);
    virtual VqStatus FindNextProperty(void* out);
    virtual VqStatus GetPropertyByName(void* record);
    virtual VqStatus GetFolderList(void* a, void* b, void* c);
    virtual VqStatus FindFirstFolder(void* a, void* b);
    virtual VqStatus FindNextFolder(void* a);
    virtual VqStatus ModifyFolder(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5, uint32_t w6);
    virtual VqStatus Reserved22(uint32_t);
    virtual VqStatus Reserved23();
    virtual VqStatus PollImages(VqPollRecord* poll);
    virtual void NoOperation();
    virtual VqStatus FormatDisk(void* progress);
    virtual VqStatus RecoverDisk();
    virtual VqStatus CaptureImage();
    virtual VqStatus DeleteImage(int32_t index, const char* name);
    virtual VqStatus CopyImageToFolder(int32_t index, const VqPathRecord* destination, const char* name,
                                       uint8_t flags, void* progress);
    virtual VqStatus CopyImageFileToFolder(int32_t index, const VqPathRecord* destination, const char* name,
                                           uint8_t flags);
    virtual VqStatus BackUpFileToFolder(VqPathRecord path, CameraRecord* record, uint32_t word);
    virtual VqStatus ScanFolder(const char* extension, uint32_t kind, RecordArray* list);
    virtual VqStatus GetEntryFactsByName(const char* name, uint32_t* size, uint16_t* date, uint16_t* time);
    virtual VqStatus GetEntryFacts(int32_t index, uint32_t* size, uint16_t* date, uint16_t* time);
    virtual SdkSoundList* CreateAttachmentListByName(const char* extension, const char* name);
    virtual SdkSoundList* CreateAttachmentList(const char* extension, int32_t index);
    virtual VqStatus ReadFolderFile(const char* name, uint32_t length, void* buffer, uint32_t reserved,
                                    int32_t offset, uint32_t origin);
    virtual VqStatus ReadImageBytes(int32_t index, uint32_t length, void* buffer, uint32_t reserved,
                                    int32_t offset, uint32_t origin);
    virtual VqStatus WriteImageBytes(int32_t index, uint32_t length, const void* buffer, int32_t offset,
                                     uint32_t origin);
    virtual VqStatus WriteFolderFile(const char* name, uint32_t length, const void* buffer, int32_t offset,
                                     uint32_t origin);
    virtual VqStatus GetImageName(int32_t index, char** out);
    virtual VqStatus LoadFirmware(VqPathRecord path, CameraRecord* record, uint32_t word);
    virtual VqStatus LoadImageFile(VqPathRecord path, CameraRecord* record, uint32_t word);
    virtual VqStatus Reserved45(uint32_t, uint32_t);
    virtual VqStatus Reserved46(VqPathRecord, uint32_t);
    virtual VqStatus Reserved47(uint32_t, uint32_t);
    virtual VqStatus GetDeviceHandle(uint32_t* out);
    virtual void OnDeviceEvent(uint32_t event);
    virtual VqStatus SetEntrySize(int32_t index, uint32_t size);
    virtual VqStatus SetEntryKind(int32_t index, uint32_t kind);
    virtual VqStatus RenameImage(int32_t index, const char* oldName, const char* newName, uint32_t flag);
    virtual VqStatus FindEntry(CameraRecord* record, int32_t* index, const char* name, DirectoryEntry* out);

    // The camera's own copy of its record: kind at 164, folder at 168, id at 476.
    CameraRecord& record() { return record_; }
    const CameraRecord& record() const { return record_; }

protected:
    CameraRecord record_;
};

// Handed to the FireWire manager as its event callback: the four event bytes,
// first byte most significant, go to every camera whose device handle matches.
void SdkDispatchCameraEvent(uint32_t deviceHandle, const uint8_t* eventBytes);

} // namespace lumora::vq

#include "SdkCamera.h"

#include <cstring>

namespace lumora::vq {

SdkCamera::SdkCamera() { std::memset(&record_, 0, sizeof record_); }
SdkCamera::~SdkCamera() = default;

bool SdkCamera::IsOpen() const { return false; }
int32_t SdkCamera::GetMemoryUsage() { return int32_t(VQ_ERR_NOT_SUPPORTED); }
VqStatus SdkCamera::Reserved4(uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Open(CameraRecord*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Close() { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::OpenImage(int32_t, const char*, DriverSettings*, SdkImage**, CameraRecord*, ImageInfoRecord*) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::CloseImage(SdkImage*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Reserved9(uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Reserved10(uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Reserved11(uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::GetPropertyList(void*, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::GetProperty(uint32_t, void*, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::SetProperty(uint32_t, void*, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::FindFirstProperty(void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::FindNextProperty(void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::GetPropertyByName(void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::GetFolderList(void*, void*, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::FindFirstFolder(void*, void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::FindNextFolder(void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::ModifyFolder(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::Reserved22(uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Reserved23() { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::PollImages(VqPollRecord*) { return VQ_ERR_NOT_SUPPORTED; }
void SdkCamera::NoOperation() {}
VqStatus SdkCamera::FormatDisk(void*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::RecoverDisk() { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::CaptureImage() { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::DeleteImage(int32_t, const char*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::CopyImageToFolder(int32_t, const VqPathRecord*, const char*, uint8_t, void*) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::CopyImageFileToFolder(int32_t, const VqPathRecord*, const char*, uint8_t) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::BackUpFileToFolder(VqPathRecord, CameraRecord*, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::ScanFolder(const char*, uint32_t, RecordArray*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::GetEntryFactsByName(const char*, uint32_t*, uint16_t*, uint16_t*) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::GetEntryFacts(int32_t, uint32_t*, uint16_t*, uint16_t*) { return VQ_ERR_NOT_SUPPORTED; }
SdkSoundList* SdkCamera::CreateAttachmentListByName(const char*, const char*) { return nullptr; }
SdkSoundList* SdkCamera::CreateAttachmentList(const char*, int32_t) { return nullptr; }
VqStatus SdkCamera::ReadFolderFile(const char*, uint32_t, void*, uint32_t, int32_t, uint32_t) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::ReadImageBytes(int32_t, uint32_t, void*, uint32_t, int32_t, uint32_t) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::WriteImageBytes(int32_t, uint32_t, const void*, int32_t, uint32_t) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::WriteFolderFile(const char*, uint32_t, const void*, int32_t, uint32_t) {
    return VQ_ERR_NOT_SUPPORTED;
}
VqStatus SdkCamera::GetImageName(int32_t, char**) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::LoadFirmware(VqPathRecord, CameraRecord*, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::LoadImageFile(VqPathRecord, CameraRecord*, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Reserved45(uint32_t, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Reserved46(VqPathRecord, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::Reserved47(uint32_t, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::GetDeviceHandle(uint32_t* out) {
    if (out) *out = 0;
    return VQ_ERR_NOT_SUPPORTED;
}
void SdkCamera::OnDeviceEvent(uint32_t) {}
VqStatus SdkCamera::SetEntrySize(int32_t, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::SetEntryKind(int32_t, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::RenameImage(int32_t, const char*, const char*, uint32_t) { return VQ_ERR_NOT_SUPPORTED; }
VqStatus SdkCamera::FindEntry(CameraRecord*, int32_t*, const char*, DirectoryEntry*) { return VQ_ERR_NOT_SUPPORTED; }

} // namespace lumora::vq

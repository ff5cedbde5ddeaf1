#include "FolderCamera.h"

#include <cstring>
#include <new>
#include <vector>

#include "FileReplacement.h"
#include "RecordArray.h"
#include "FolderEnumerator.h"
#include "RecordComparator.h"
#include "SdkFile.h"
#include "SdkImageBase.h"
#include "SdkSoundList.h"
#include "SdkUtilities.h"
#include "Win32Error.h"

namespace lumora::vq {

namespace {

DirectoryEntry EmptyEntry(uint32_t kind) {
    DirectoryEntry e;
    std::memset(&e, 0, sizeof e);
    e.kind = kind;
    return e;
}

uint32_t StampKey(const DirectoryEntry& e) { return uint32_t(e.writtenDate) << 16 | e.writtenTime; }

// Not an open mode of the file object: an existing file opened for writing.
constexpr uint32_t kWriteInPlace = 0xFFFFFFFFu;

// A new file object over folder, opened on name in mode; null and the status
// when any step fails.
SdkFile* OpenFolderFile(const char* folder, const char* name, uint32_t mode, VqStatus& status) {
    SdkFile* file = new (std::nothrow) SdkFile(folder);
    if (!file) {
        status = VQ_ERR_NO_ENTRY_LIST;
        return nullptr;
    }
    char path[VQ_PATH_BYTES];
    file->JoinPath(path, name);
    status = mode == kWriteInPlace ? file->OpenExisting(path) : file->Open(path, mode);
    if (status) {
        delete file;
        return nullptr;
    }
    return file;
}

} // namespace

RecordArray* FolderCamera::NewList() {
    RecordComparator* comparator = new (std::nothrow) RecordComparator;
    if (!comparator) return nullptr;
    RecordArray* list = new (std::nothrow) RecordArray(sizeof(DirectoryEntry), comparator, 0);
    if (!list) delete comparator;
    return list;
}
uint32_t FolderCamera::Count(const RecordArray* list) { return list ? list->count() : 0; }
bool FolderCamera::GetAt(RecordArray* list, uint32_t position, DirectoryEntry& out) {
    return list && position >= 1 && list->Get(int32_t(position), &out) != 0;
}
void FolderCamera::PutAt(RecordArray* list, uint32_t position, const DirectoryEntry& entry) {
    list->Replace(1, int32_t(position), &entry, sizeof entry);
}
void FolderCamera::Append(RecordArray* list, const DirectoryEntry& entry) {
    list->Insert(1, RecordArray::kLast, &entry, sizeof entry);
}
void FolderCamera::RemoveAll(RecordArray* list) {
    if (list && list->count()) list->Delete(int32_t(list->count()), 1);
}

FolderCamera::FolderCamera() {
    std::memset(folderPath_, 0, sizeof folderPath_);
    std::memset(&pollRecord_, 0, sizeof pollRecord_);
}

// Entries still holding images or files are released by Close, not here.
FolderCamera::~FolderCamera() {
    delete imageList_;
    delete orphanList_;
}

bool FolderCamera::IsOpen() const { return true; }

int32_t FolderCamera::GetMemoryUsage() {
    return kObjectSize + kEntrySize * int32_t(Count(imageList_) + Count(orphanList_));
}

VqStatus FolderCamera::Open(CameraRecord* record) {
    std::memcpy(folderPath_, record->folder, sizeof folderPath_);
    folderPath_[sizeof folderPath_ - 1] = 0;
    reinterpret_cast<uint8_t*>(record)[62] = 0;
    record_ = *record;
    imageList_ = NewList();
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    const VqStatus a = ScanFolder("tif", kFileRawTiff, imageList_);
    const VqStatus b = ScanFolder("jpg", kFileCameraJpeg, imageList_);
    const VqStatus s = CombineScanStatus(a, b);
    if (s) return s;
    return SortEntriesByTime(imageList_);
}

VqStatus FolderCamera::Close() {
    for (RecordArray** list : {&imageList_, &orphanList_}) {
        if (!*list) continue;
        for (uint32_t i = Count(*list); i >= 1; --i) {
            DirectoryEntry e;
            if (GetAt(*list, i, e)) ReleaseEntry(&e);
            (*list)->Delete(1, int32_t(i));
        }
        delete *list;
        *list = nullptr;
    }
    return 0;
}

VqStatus FolderCamera::OpenImage(int32_t index, const char* name, DriverSettings* settings, SdkImage** out,
                                 CameraRecord* record, ImageInfoRecord* info) {
    if (out) *out = nullptr;
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    SdkImageBase probe(record, settings);
    DirectoryEntry entry = EmptyEntry(kFileUnknown);
    int32_t at = index;
    VqStatus status = FindEntry(record, &at, name, &entry);
    if (status) return status;
    // An entry holds one image: a second one would leave the first with no
    // entry to release it, and closing either would pull the other's file away.
    if (entry.image) return VQ_ERR_IMAGE_IS_OPEN;

    SdkImage* image = nullptr;
    const ModelRow* row = nullptr;
    status = probe.CreateFromFile(at, int32_t(entry.kind), info, 0, settings, record, &image, &row, &entry);

    // The factory's reads may have left an open file in the stored entry.
    const uint32_t position = uint32_t(at) + 1;
    DirectoryEntry stored;
    if (!GetAt(imageList_, position, stored)) stored = entry;
    if (status == 0) {
        stored.image = image;
    } else {
        delete image;
        image = nullptr;
        if (stored.file) {
            stored.file->Close();
            delete stored.file;
            stored.file = nullptr;
        }
    }
    PutAt(imageList_, position, stored);
    if (out) *out = image;
    return status;
}

VqStatus FolderCamera::CloseImage(SdkImage* image) {
    if (!image) return VQ_ERR_ENTRY_NOT_FOUND;
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    const int32_t index = static_cast<SdkImageBase*>(image)->GetImageIndex();
    DirectoryEntry e;
    const bool found = index >= 0 && GetAt(imageList_, uint32_t(index) + 1, e);
    if (found && e.image == image) {
        ReleaseEntry(&e);
        PutAt(imageList_, uint32_t(index) + 1, e);
        return 0;
    }
    if (!orphanList_) return found ? 0 : VQ_ERR_ENTRY_NOT_FOUND;
    for (uint32_t i = 1; i <= Count(orphanList_); ++i) {
        if (GetAt(orphanList_, i, e) && e.image == image) {
            ReleaseEntry(&e);
            PutAt(orphanList_, i, e);
            break;
        }
    }
    return 0;
}

VqStatus FolderCamera::PollImages(VqPollRecord* poll) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    std::memset(&pollRecord_, 0, sizeof pollRecord_);
    pollRecord_.imageCount = int32_t(Count(imageList_));
    for (int32_t& w : pollRecord_.unused1) w = -1;
    if (poll) *poll = pollRecord_;

    RecordArray* fresh = NewList();
    if (!fresh) return VQ_ERR_NO_ENTRY_LIST;
    const VqStatus a = ScanFolder("tif", kFileRawTiff, fresh);
    const VqStatus b = ScanFolder("jpg", kFileCameraJpeg, fresh);
    VqStatus s = CombineScanStatus(a, b);
    if (s) {
        // The current list is emptied; what its entries still hold goes to the
        // orphans, where Close or CloseImage can still release it.
        if (!orphanList_) orphanList_ = NewList();
        for (uint32_t i = 1; i <= Count(imageList_); ++i) {
            DirectoryEntry e;
            if (GetAt(imageList_, i, e) && (e.image || e.file)) {
                if (e.image) static_cast<SdkImageBase*>(e.image)->SetImageIndex(-1);
                if (orphanList_) {
                    Append(orphanList_, e);
                } else {
                    ReleaseEntry(&e);
                }
            }
        }
        RemoveAll(imageList_);
        delete fresh;
        return s;
    }
    s = SortEntriesByTime(fresh);
    if (!s) s = CarryOverOpenEntries(fresh);
    if (s) {
        delete fresh;
        return s;
    }
    const uint32_t oldCount = Count(imageList_), newCount = Count(fresh);
    int32_t changed = oldCount != newCount ? 1 : 0;
    for (uint32_t i = 1; i <= oldCount && !changed; ++i) {
        DirectoryEntry o, n;
        if (!GetAt(imageList_, i, o) || !GetAt(fresh, i, n)) {
            changed = 1;
            break;
        }
        if (SdkCompareNoCase(o.name, n.name) != 0 || o.writtenDate != n.writtenDate || o.writtenTime != n.writtenTime)
            changed = 1;
    }
    RemoveAll(imageList_);
    delete imageList_;
    imageList_ = fresh;
    pollRecord_.imageCount = int32_t(newCount);
    pollRecord_.changed = changed;
    if (poll) *poll = pollRecord_;
    return 0;
}

VqStatus FolderCamera::CarryOverOpenEntries(RecordArray* fresh) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    if (!fresh) return VQ_ERR_NULL_LIST;
    const uint32_t oldCount = Count(imageList_);
    std::vector<uint8_t> matched;
    try {
        matched.assign(oldCount + 1, 0);
    } catch (const std::bad_alloc&) {
        return VQ_ERR_NO_ENTRY_LIST;
    }
    uint32_t cursor = 1;
    for (uint32_t j = 1; j <= Count(fresh); ++j) {
        DirectoryEntry n;
        if (!GetAt(fresh, j, n)) continue;
        for (uint32_t i = cursor; i <= oldCount; ++i) {
            DirectoryEntry o;
            if (!GetAt(imageList_, i, o) || SdkCompareNoCase(o.name, n.name) != 0) continue;
            n.image = o.image;
            n.file = o.file;
            if (n.image) static_cast<SdkImageBase*>(n.image)->SetImageIndex(int32_t(j) - 1);
            PutAt(fresh, j, n);
            matched[i] = 1;
            cursor = i + 1;
            break;
        }
    }
    for (uint32_t i = 1; i <= oldCount; ++i) {
        DirectoryEntry o;
        if (matched[i] || !GetAt(imageList_, i, o)) continue;
        // Its place in the list now belongs to another file: an index the
        // list never reaches keeps its reads and writes away from that file.
        if (o.image) static_cast<SdkImageBase*>(o.image)->SetImageIndex(-1);
        if (!orphanList_) {
            orphanList_ = NewList();
            if (!orphanList_) return VQ_ERR_NO_ENTRY_LIST;
        }
        Append(orphanList_, o);
    }
    return 0;
}

VqStatus FolderCamera::DeleteImage(int32_t index, const char* name) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    const uint32_t count = Count(imageList_);
    DirectoryEntry e;
    if (index >= 0) {
        if (uint32_t(index) >= count || !GetAt(imageList_, uint32_t(index) + 1, e)) return VQ_ERR_ENTRY_NOT_FOUND;
        if (e.image) return VQ_ERR_IMAGE_IS_OPEN;
        VqStatus s = DeleteAttachments("wav", index);
        if (!s) s = DeleteFolderFile(folderPath_, e.name);
        return s;
    }
    if (index != -1) return VQ_ERR_ENTRY_NOT_FOUND;
    if (!name) {
        for (uint32_t i = count; i >= 1; --i) {
            if (!GetAt(imageList_, i, e)) continue;
            if (e.image) return VQ_ERR_IMAGE_IS_OPEN;
            VqStatus s = DeleteAttachments("wav", int32_t(i) - 1);
            if (!s) s = DeleteFolderFile(folderPath_, e.name);
            if (s) return s;
        }
        return 0;
    }
    uint32_t i = 1;
    for (; i <= count; ++i) {
        if (GetAt(imageList_, i, e) && SdkCompareNoCase(e.name, name) == 0) break;
    }
    if (i <= count && e.image) return VQ_ERR_IMAGE_IS_OPEN;
    VqStatus s = DeleteFolderFile(folderPath_, name);
    if (!s) s = DeleteAttachments("wav", int32_t(i) - 1);
    return s;
}

VqStatus FolderCamera::DeleteAttachments(const char* extension, int32_t index) {
    SdkSoundList* list = CreateAttachmentList(extension, index);
    if (!list) return 0;
    int16_t count = 0;
    VqStatus s = list->GetSoundCount(&count);
    for (int16_t i = 0; !s && i < count; ++i) {
        SoundInfoRecord info;
        std::memset(&info, 0, sizeof info);
        s = list->GetSoundInfo(i, &info);
        info.name[sizeof info.name - 1] = 0;
        if (!s) s = DeleteFolderFile(folderPath_, info.name);
    }
    delete list;
    return s;
}

VqStatus FolderCamera::GetEntryFacts(int32_t index, uint32_t* size, uint16_t* date, uint16_t* time) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    DirectoryEntry e;
    if (!GetAt(imageList_, uint32_t(uint16_t(index)) + 1, e)) return VQ_ERR_ENTRY_NOT_FOUND;
    if (size) *size = e.size;
    if (date) *date = e.createdDate;
    if (time) *time = e.createdTime;
    return 0;
}

VqStatus FolderCamera::GetEntryFactsByName(const char* name, uint32_t* size, uint16_t* date, uint16_t* time) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    if (!name) return VQ_ERR_NULL_NAME;
    for (uint32_t i = 1; i <= Count(imageList_); ++i) {
        DirectoryEntry e;
        if (GetAt(imageList_, i, e) && SdkCompareNoCase(e.name, name) == 0) {
            if (size) *size = e.size;
            if (date) *date = e.createdDate;
            if (time) *time = e.createdTime;
            return 0;
        }
    }
    return VQ_ERR_ENTRY_NOT_FOUND;
}

// The sound files of an image. Without a folder enumerator an image has an
// empty list: it simply has no sounds.
SdkSoundList* FolderCamera::CreateAttachmentList(const char* extension, int32_t index) {
    return new (std::nothrow) FolderEnumerator(this, index, extension);
}

SdkSoundList* FolderCamera::CreateAttachmentListByName(const char* extension, const char* name) {
    if (!imageList_) return nullptr;
    uint16_t position = 1;
    for (; position <= Count(imageList_); ++position) {
        DirectoryEntry e;
        if (GetAt(imageList_, position, e) && name && SdkCompareNoCase(e.name, name) == 0) break;
    }
    return CreateAttachmentList(extension, int32_t(position) - 1);
}

VqStatus FolderCamera::ReadFolderFile(const char* name, uint32_t length, void* buffer, uint32_t, int32_t offset,
                                      uint32_t origin) {
    VqStatus status = 0;
    SdkFile* file = OpenFolderFile(folderPath_, name, 0, status);
    if (!file) return status;
    if (offset != 0) status = file->Seek(offset, origin);
    if (!status) status = file->Read(buffer, length);
    file->Close();
    delete file;
    return status;
}

VqStatus FolderCamera::ReadImageBytes(int32_t index, uint32_t length, void* buffer, uint32_t, int32_t offset,
                                      uint32_t origin) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    const uint32_t position = uint32_t(uint16_t(index)) + 1;
    DirectoryEntry e;
    if (!GetAt(imageList_, position, e)) return VQ_ERR_ENTRY_NOT_FOUND;
    VqStatus status = 0;
    if (!e.file) e.file = OpenFolderFile(folderPath_, e.name, 0, status);
    if (e.file) {
        status = e.file->Seek(offset, origin);
        // A file shorter than asked for answers end of file, with zeros in the
        // rest of the buffer.
        if (!status) status = e.file->Read(buffer, length);
        if (!status && !closeFilesAfterRead_) {
            PutAt(imageList_, position, e);
            return 0;
        }
        e.file->Close();
        delete e.file;
        e.file = nullptr;
    }
    PutAt(imageList_, position, e);
    return status;
}

VqStatus FolderCamera::CloseKeptFile(uint32_t position, DirectoryEntry& e) {
    if (!e.file) return 0;
    if (VqStatus closed = e.file->Close()) return closed;
    delete e.file;
    e.file = nullptr;
    PutAt(imageList_, position, e);
    return 0;
}

VqStatus FolderCamera::WriteImageBytes(int32_t index, uint32_t length, const void* buffer, int32_t offset,
                                       uint32_t origin) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    const uint32_t position = uint32_t(uint16_t(index)) + 1;
    DirectoryEntry e;
    if (!GetAt(imageList_, position, e)) return VQ_ERR_ENTRY_NOT_FOUND;
    if (VqStatus closed = CloseKeptFile(position, e)) return closed;
    // The image's file is changed in place: it must still be there (a removed
    // file is not made again), and the bytes must land inside it (a file cut
    // short is not grown with zeros).
    VqStatus status = 0;
    SdkFile* file = OpenFolderFile(folderPath_, e.name, kWriteInPlace, status);
    if (file) {
        if (offset != 0) status = file->Seek(offset, origin);
        uint32_t size = 0;
        if (!status) status = file->GetSize(&size);
        if (!status && uint64_t(file->position()) + length > size) status = win32::ERROR_HANDLE_EOF;
        if (!status) status = file->Write(buffer, length);
        // The file keeps the stamp the list recorded for it.
        if (!status) status = file->SetTimes(e.createdDate, e.createdTime);
        file->Close();
        delete file;
    }
    PutAt(imageList_, position, e);
    return status;
}

VqStatus FolderCamera::ReplaceImageFile(int32_t index, const uint8_t* bytes, uint64_t length) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    if (length > UINT32_MAX) return win32::ERROR_FILE_TOO_LARGE;
    const uint32_t position = uint32_t(uint16_t(index)) + 1;
    DirectoryEntry e;
    if (!GetAt(imageList_, position, e)) return VQ_ERR_ENTRY_NOT_FOUND;
    // A kept handle would go on reading the replaced file.
    if (VqStatus closed = CloseKeptFile(position, e)) return closed;
    SdkFile folder(folderPath_);
    char path[VQ_PATH_BYTES];
    if (VqStatus status = folder.JoinPath(path, e.name)) return status;
    if (VqStatus status = FileReplacement::Replace(path, bytes, length)) return status;
    e.size = uint32_t(length);
    PutAt(imageList_, position, e);
    // The file keeps the stamp the list recorded for it.
    VqStatus status = 0;
    SdkFile* file = OpenFolderFile(folderPath_, e.name, kWriteInPlace, status);
    if (file) {
        status = file->SetTimes(e.createdDate, e.createdTime);
        file->Close();
        delete file;
    }
    return status;
}

VqStatus FolderCamera::WriteFolderFile(const char* name, uint32_t length, const void* buffer, int32_t offset,
                                       uint32_t origin) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    DirectoryEntry first;
    const bool haveStamp = GetAt(imageList_, 1, first);
    VqStatus status = 0;
    SdkFile* file = OpenFolderFile(folderPath_, name, 2, status);
    if (!file) return status;
    if (offset != 0) status = file->Seek(offset, origin);
    if (!status) status = file->Write(buffer, length);
    // With no image in the list there is no stamp to copy; the file keeps the
    // time it was written.
    if (!status && haveStamp) status = file->SetTimes(first.createdDate, first.createdTime);
    file->Close();
    delete file;
    return status;
}

VqStatus FolderCamera::GetImageName(int32_t index, char** out) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    DirectoryEntry e;
    if (index < 0 || !GetAt(imageList_, uint32_t(index) + 1, e)) return VQ_ERR_ENTRY_NOT_FOUND;
    if (e.name[0] == 0) return 0;
    const size_t n = strnlen(e.name, sizeof e.name - 1);
    char* copy = new (std::nothrow) char[n + 1];
    if (!copy) return VQ_ERR_NO_ENTRY_LIST;
    std::memcpy(copy, e.name, n);
    copy[n] = 0;
    *out = copy;
    return 0;
}

VqStatus FolderCamera::SetEntryField(int32_t index, uint32_t DirectoryEntry::*field, uint32_t value) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    const uint32_t position = uint32_t(uint16_t(index)) + 1;
    DirectoryEntry e;
    if (!GetAt(imageList_, position, e)) return VQ_ERR_ENTRY_NOT_FOUND;
    e.*field = value;
    PutAt(imageList_, position, e);
    return 0;
}

// A new size follows a file written anew: a handle kept open from before
// would still read the old one.
VqStatus FolderCamera::SetEntrySize(int32_t index, uint32_t size) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    const uint32_t position = uint32_t(uint16_t(index)) + 1;
    DirectoryEntry e;
    if (GetAt(imageList_, position, e) && e.file) {
        e.file->Close();
        delete e.file;
        e.file = nullptr;
        PutAt(imageList_, position, e);
    }
    return SetEntryField(index, &DirectoryEntry::size, size);
}

VqStatus FolderCamera::SetEntryKind(int32_t index, uint32_t kind) {
    return SetEntryField(index, &DirectoryEntry::kind, kind);
}

VqStatus FolderCamera::FindEntry(CameraRecord*, int32_t* index, const char* name, DirectoryEntry* out) {
    if (!imageList_) return VQ_ERR_NO_ENTRY_LIST;
    if (*index == -1 && !name) return VQ_ERR_NAME_REQUIRED;
    if (*index != -1 && name) return VQ_ERR_NAME_AND_INDEX;
    if (!out) return VQ_ERR_BAD_HANDLE;
    const uint32_t count = Count(imageList_);
    if (*index == -1) {
        for (uint32_t i = 1; i <= count; ++i) {
            if (GetAt(imageList_, i, *out) && SdkCompareNoCase(out->name, name) == 0) {
                *index = int32_t(i) - 1;
                return 0;
            }
        }
    } else if (*index >= 0 && uint32_t(*index) < count && GetAt(imageList_, uint32_t(*index) + 1, *out)) {
        return 0;
    }
    *out = EmptyEntry(kFileUnknown);
    return VQ_ERR_ENTRY_NOT_FOUND;
}

VqStatus FolderCamera::DeleteFolderFile(const char* folder, const char* name) { return SdkFile::DeleteFile(folder, name); }

VqStatus FolderCamera::SortEntriesByTime(RecordArray* list) {
    if (!list) return VQ_ERR_NO_ENTRY_LIST;
    const uint32_t count = Count(list);
    for (uint32_t i = 1; i <= count; ++i) {
        DirectoryEntry a;
        if (!GetAt(list, i, a)) continue;
        for (uint32_t j = i + 1; j <= count; ++j) {
            DirectoryEntry b;
            if (!GetAt(list, j, b)) continue;
            const uint32_t ka = StampKey(a), kb = StampKey(b);
            if (kb < ka || (kb == ka && SdkCompareNoCase(b.name, a.name) < 0)) {
                PutAt(list, i, b);
                PutAt(list, j, a);
                a = b;
            }
        }
    }
    return 0;
}

VqStatus FolderCamera::CombineScanStatus(VqStatus a, VqStatus b) {
    if (a == 0) return b == 2 ? 0 : b;
    if (a == 2) return b;
    return a;
}

void FolderCamera::ReleaseEntry(DirectoryEntry* entry) {
    if (!entry) return;
    delete entry->image;
    entry->image = nullptr;
    if (entry->file) {
        entry->file->Close();
        delete entry->file;
        entry->file = nullptr;
    }
}

} // namespace lumora::vq

#pragma once
// One file of a folder camera's list. Kept in RecordArray blocks in memory only;
// never written to a file.
#include <cstdint>

class SdkFile;

namespace lumora::vq {

class SdkImage;

struct DirectoryEntry {
    SdkImage* image;      // opened from this file; owned by the entry
    SdkFile* file;        // kept open for reading; owned by the entry
    uint16_t present;
    char name[264];
    uint16_t createdDate;
    uint16_t createdTime;
    uint16_t writtenDate;
    uint16_t writtenTime;
    uint32_t size;
    uint32_t kind;        // FileKind; 4 means "no such entry"
    uint8_t reserved[32];
    uint32_t attributes;
};

} // namespace lumora::vq

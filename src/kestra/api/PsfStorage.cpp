// Loading and storing filters: buffers, files and the filter data base.
#include "PsfStorage.h"

#include "FpFilterReader.h"
#include "FpFilterRecord.h"
#include "FpFilterWriter.h"
#include "Kestra.h"
#include "PsfFilterRecord.h"
#include "PsfStatus.h"

#include <cstring>
#include <string>

using namespace kestra;

namespace {

SpFileProps propsOf(const PSFFileProps* props) {
    SpFileProps p{};
    if (props) {
        p.fileType = props->fileType;
        p.creator = props->creator;
        std::memcpy(p.reserved, props->reserved, sizeof p.reserved);
    }
    return p;
}

} // namespace

namespace kestra {

bool PsfFilterDbPath(const char* name, char* path, uint32_t size) {
    if (!name || !path || size == 0) return false;
    char folder[kDbPathSize];
    uint32_t room = sizeof folder;
    if (VxReadStringPreference("vxfilter.ini", nullptr, nullptr, nullptr, "FilterFile", "psf_path", "", folder,
                               &room) < 0)
        folder[0] = 0;
    std::string full;
    if (folder[0]) {
        full = std::string(folder) + "/" + name;
    } else {
        char system[kDbPathSize];
        const uint32_t n = VxGetSystemDirectory(system, sizeof system);
        if (n == 0 || n >= sizeof system) full = name; // no folder to put it in: the name alone
        else full = std::string(system) + "/orvex/vxfms/" + name;
    }
    if (full.size() + 1 > size) return false;
    std::memcpy(path, full.c_str(), full.size() + 1);
    return true;
}

} // namespace kestra

extern "C" {

PSFStatus PSFLoadFilterFromBuffer(PSFCaller caller, const void* buffer, uint32_t size, PSFFilter* filter) {
    if (!filter) return PSFErrArgumentOutOfRange;
    *filter = 0;
    Handle handle;
    PsfFilterRecord* record;
    const int32_t made = PsfNewFilterRecord(caller, handle, record);
    if (made != PSFSuccess) return made;
    Handle fp;
    FpStatus st = FpNewFilterFromBuffer(fp, buffer, size);
    if (st == FpOk) {
        st = FpLoadKernelFromBuffer(fp, size, buffer);
        if (st != FpOk) FpFreeFilter(fp);
    }
    if (st != FpOk) {
        PsfUnlockFilterRecord(handle);
        freeBuffer(handle);
        return PSFErrFilterUnusable;
    }
    record->filter = fp;
    PsfSetFilterKind(record);
    PsfUnlockFilterRecord(handle);
    *filter = handle;
    return PSFSuccess;
}

PSFStatus PSFGetBufferSize(PSFFilter filter, uint32_t* size) {
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    uint32_t needed = 0;
    const FpStatus st = FpBufferSize(record->filter, needed);
    PsfUnlockFilterRecord(filter);
    if (!size) return PSFErrArgumentOutOfRange;
    *size = needed;
    return PsfMapStatus(st);
}

PSFStatus PSFStoreFilterToBuffer(PSFFilter filter, void* buffer, uint32_t size, uint32_t* count) {
    if (!count) return PSFErrArgumentOutOfRange;
    *count = 0;
    PsfFilterRecord* record;
    const int32_t open = PsfOpenFilter(filter, record);
    if (open != PSFSuccess) return open;
    const Handle fp = record->filter;
    uint32_t needed = 0;
    FpStatus st = FpBufferSize(fp, needed);
    if (st != FpOk) {
        PsfUnlockFilterRecord(filter);
        return PsfMapStatus(st);
    }
    if (needed > size) {
        PsfUnlockFilterRecord(filter);
        *count = needed;
        return PSFErrBufferSize;
    }
    if (!buffer) {
        PsfUnlockFilterRecord(filter);
        return PSFErrArgumentOutOfRange;
    }
    uint32_t written = needed;
    st = FpStoreFilter(fp, written, buffer);
    *count = written;
    PsfUnlockFilterRecord(filter);
    return PsfMapStatus(st);
}

PSFStatus PSFLoadFilter(PSFCaller caller, const char* fileName, const PSFFileProps* fileProps, PSFFilter* filter) {
    if (!filter) return PSFErrArgumentOutOfRange;
    *filter = 0;
    if (!fileName) return PSFErrFilterFile;
    const SpFileProps props = propsOf(fileProps);
    uint32_t size = 0;
    if (!VxFileSize(fileName, &props, &size)) return PSFErrFilterFile;
    void* bytes = allocBufferPtr(size);
    if (!bytes) return PSFErrNoMemory;
    VxFileId file;
    if (!VxFileOpen(fileName, "r", &props, &file)) {
        freeBufferPtr(bytes);
        return PSFErrFilterFile;
    }
    uint32_t got = size;
    const bool read = VxFileRead(file, bytes, &got) && got == size;
    VxFileClose(file);
    if (!read) {
        freeBufferPtr(bytes);
        return PSFErrFilterFile;
    }
    const PSFStatus st = PSFLoadFilterFromBuffer(caller, bytes, size, filter);
    freeBufferPtr(bytes);
    return st;
}

PSFStatus PSFStoreFilter(PSFFilter filter, const char* fileName, const PSFFileProps* fileProps) {
    uint32_t size = 0;
    PSFStatus st = PSFGetBufferSize(filter, &size);
    if (st != PSFSuccess) return st;
    if (!fileName) return PSFErrFilterFile;
    void* bytes = allocBufferPtr(size);
    if (!bytes) return PSFErrNoMemory;
    uint32_t count = 0;
    st = PSFStoreFilterToBuffer(filter, bytes, size, &count);
    if (st != PSFSuccess) {
        freeBufferPtr(bytes);
        return st;
    }
    const SpFileProps props = propsOf(fileProps);
    VxFileId file;
    if (!VxFileOpen(fileName, "w", &props, &file)) {
        freeBufferPtr(bytes);
        return PSFErrFilterFile;
    }
    const bool written = VxFileWrite(file, bytes, count) != 0;
    freeBufferPtr(bytes);
    const bool closed = VxFileClose(file) != 0;
    return written && closed ? PSFSuccess : PSFErrFilterFile;
}

PSFStatus PSFLoadFilterFromDB(PSFCaller caller, const char* filterName, PSFFilter* filter) {
    if (!filter) return PSFErrArgumentOutOfRange;
    *filter = 0;
    char path[kDbPathSize];
    if (!PsfFilterDbPath(filterName, path, sizeof path)) return PSFErrFilterFile;
    const PSFFileProps props{};
    return PSFLoadFilter(caller, path, &props, filter);
}

PSFStatus PSFStoreFilterToDB(PSFFilter filter, const char* filterName) {
    char path[kDbPathSize];
    if (!PsfFilterDbPath(filterName, path, sizeof path)) return PSFErrFilterFile;
    const PSFFileProps props{};
    return PSFStoreFilter(filter, path, &props);
}

} // extern "C"

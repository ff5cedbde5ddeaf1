// The exported Vx services and movable-buffer calls of the library.
#include "BufferRegistry.h"
#include "LoadedModules.h"
#include "MemoryStream.h"
#include "ModuleResources.h"
#include "ModuleStrings.h"
#include "ORVEXCMS.h"
#include "PortableFiles.h"
#include "PreferenceFile.h"
#include "ThreadMemory.h"

#include <LocalTime.h>
#include <Locations.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <sys/syscall.h>
#include <unistd.h>

using namespace orvexcms;

namespace {

// What a VxCriticalSection area holds: a tag and the lock it stands for.
struct LockArea {
    uint64_t tag;
    std::recursive_mutex* mutex;
};
static_assert(sizeof(LockArea) <= sizeof(VxCriticalSection), "lock area must fit the caller's 24 bytes");
constexpr uint64_t kLockTag = 0x4F56584C4F434B31ull; // "OVXLOCK1"

} // namespace

extern "C" {

VxBufferHandle allocBufferHandle(uint32_t size) { return BufferRegistry::instance().alloc(size); }
void* lockBuffer(VxBufferHandle handle) { return BufferRegistry::instance().lock(handle); }
void unlockBuffer(VxBufferHandle handle) { BufferRegistry::instance().unlock(handle); }
void freeBuffer(VxBufferHandle handle) { BufferRegistry::instance().free(handle); }
void* allocBufferPtr(uint32_t size) { return BufferRegistry::instance().allocLocked(size); }
void freeBufferPtr(void* pointer) { BufferRegistry::instance().freeByPointer(pointer); }
VxBufferHandle unlockBufferPtr(void* pointer) { return BufferRegistry::instance().unlockByPointer(pointer); }
VxBufferHandle getHandleFromPtr(void* pointer) { return BufferRegistry::instance().handleOf(pointer); }
void* allocSysBufferPtr(uint32_t size) { return std::malloc(size ? size : 1); }
void freeSysBufferPtr(void* pointer) { std::free(pointer); }

void* VxThreadMemCreate(const void* key, int32_t scope, uint32_t size) {
    return ThreadMemory::instance().create(key, scope, size);
}
void* VxThreadMemFind(const void* key, int32_t scope) { return ThreadMemory::instance().find(key, scope); }
void VxThreadMemUnlock(const void* key, int32_t scope) { ThreadMemory::instance().unlock(key, scope); }
void VxThreadMemDestroy(const void* key, int32_t scope) { ThreadMemory::instance().destroy(key, scope); }

void VxInitializeCriticalSection(VxCriticalSection* area) {
    if (!area) return;
    LockArea a{kLockTag, new (std::nothrow) std::recursive_mutex};
    std::memset(area, 0, sizeof *area);
    if (a.mutex) std::memcpy(area, &a, sizeof a);
}

void VxDeleteCriticalSection(VxCriticalSection* area) {
    if (!area) return;
    LockArea a;
    std::memcpy(&a, area, sizeof a);
    if (a.tag != kLockTag) return;
    delete a.mutex;
    std::memset(area, 0, sizeof *area);
}

int32_t VxFileSize(const char* name, const SpFileProps*, uint32_t* size) {
    if (!size) return 0;
    return PortableFiles::instance().size(name, *size) ? 1 : 0;
}
int32_t VxFileOpen(const char* name, const char* mode, const SpFileProps*, VxFileId* file) {
    if (!file) return 0;
    return PortableFiles::instance().open(name, mode, *file) ? 1 : 0;
}
int32_t VxFileRead(VxFileId file, void* buffer, uint32_t* size) {
    if (!size) return 0;
    return PortableFiles::instance().read(file, buffer, *size) ? 1 : 0;
}
int32_t VxFileWrite(VxFileId file, const void* buffer, uint32_t size) {
    return PortableFiles::instance().write(file, buffer, size) ? 1 : 0;
}
int32_t VxFileClose(VxFileId file) { return PortableFiles::instance().close(file) ? 1 : 0; }

int32_t VxOpen(void*, const char* mode, VxStream* stream, void*, void* buffer, uint32_t size) {
    return MemoryStream::open(mode, stream, buffer, size) ? 1 : 0;
}
int32_t Vx_read(VxStream* stream, void* destination, uint32_t count) {
    return MemoryStream::read(stream, destination, count) ? 1 : 0;
}
int32_t Vx_write(VxStream* stream, const void* source, uint32_t count) {
    return MemoryStream::write(stream, source, count) ? 1 : 0;
}
int32_t Vx_skip(VxStream* stream, uint32_t count) { return MemoryStream::skip(stream, count) ? 1 : 0; }
int32_t Vx_close(VxStream* stream) { return MemoryStream::close(stream) ? 1 : 0; }

int32_t VxGetCString(void* module, int32_t baseId, int32_t index, char* buffer, int32_t size) {
    const int64_t id = int64_t(baseId) + index;
    if (id < INT32_MIN || id > INT32_MAX) return VxStrNotFound;
    return ModuleStrings::text(module, int32_t(id), buffer, size);
}
int32_t VxGetProductVersion(void* module, char* buffer, int32_t size) {
    return ModuleStrings::productVersion(module, buffer, size);
}

int32_t VxReadStringPreference(const char* file, void*, void*, void*, const char* section, const char* key,
                               const char* defaultValue, char* buffer, uint32_t* size) {
    if (!buffer || !size || *size == 0) return -1;
    std::string value;
    const bool found = file && section && key &&
                       PreferenceFile::read(PreferenceFile::pathOf(file), section, key, value);
    if (!found) value = defaultValue ? defaultValue : "";
    if (value.size() + 1 > *size) {
        buffer[0] = 0;
        *size = uint32_t(value.size() + 1);
        return -1;
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    *size = uint32_t(value.size());
    return found ? 1 : 0;
}

const VxResourceEntry* VxFindResource(void* module, const char* type, int32_t id) {
    return ModuleResources::find(module, type, id);
}
uint32_t VxSizeofResource(void* module, const VxResourceEntry* resource) {
    return ModuleResources::size(module, resource);
}
VxBufferHandle VxLoadResource(void* module, const VxResourceEntry* resource) {
    return ModuleResources::load(module, resource);
}
void VxFreeResource(VxBufferHandle handle) { BufferRegistry::instance().free(handle); }

void* VxGetModuleHandle(const char* name) { return LoadedModules::handleOf(name); }

uint32_t VxGetSystemDirectory(char* buffer, uint32_t size) {
    std::string dir = lumora::Locations::SystemDir().string();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) return 0;
    if (!buffer || dir.size() + 1 > size) return uint32_t(dir.size() + 1);
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return uint32_t(dir.size());
}

uint32_t VxGetCurrentProcessId(void) { return uint32_t(getpid()); }
uint32_t VxGetCurrentThreadId(void) { return uint32_t(syscall(SYS_gettid)); }

void VxGetLocalTime(VxLocalTime* out) {
    if (!out) return;
    std::tm tm{};
    lumora::LocalTime::fromTime(std::time(nullptr), tm);
    *out = VxLocalTime{tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon, tm.tm_year};
}

char* VxItoa(int32_t value, char* buffer) {
    if (!buffer) return nullptr;
    char digits[12];
    int n = 0;
    uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    char* p = buffer;
    if (value < 0) *p++ = '-';
    while (n) *p++ = digits[--n];
    *p = 0;
    return buffer;
}

int32_t VxAtoi(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > int64_t(INT32_MAX) + 1) v = int64_t(INT32_MAX) + 1;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) v = INT32_MAX;
    return int32_t(v);
}

void* VxMemCpy(void* destination, const void* source, uint32_t count) {
    if (count) std::memmove(destination, source, count);
    return destination;
}
void* VxMemSet(void* destination, int32_t byte, uint32_t count) {
    if (count) std::memset(destination, byte, count);
    return destination;
}

void Vx_swab16(void* pointer, uint32_t count) {
    auto* p = static_cast<uint8_t*>(pointer);
    for (uint32_t i = 0; i < count; ++i, p += 2) std::swap(p[0], p[1]);
}
void Vx_swab32(void* pointer, uint32_t count) {
    auto* p = static_cast<uint8_t*>(pointer);
    for (uint32_t i = 0; i < count; ++i, p += 4) {
        std::swap(p[0], p[3]);
        std::swap(p[1], p[2]);
    }
}

} // extern "C"

#pragma once
// The process-wide owner of the colour-management library "OrvexCMSC": loads it
// by name, binds its entry points, and caches loaded profiles and prepared
// transforms with per-kind limits and least-recently-used eviction. Not guarded:
// like the whole camera interface it is used by one thread at a time.
#include "OcmsImageRecord.h"
#include "OrvexCMSC.h"
#include "VqApi.h"
#include "VqStatus.h"

#include <cstdint>
#include <map>
#include <memory>

namespace lumora {
class DynamicModule;
}

// The library's pixel layout, handed to its evaluation once for the source and
// once for the destination; both describe the same planes (the transform is in
// place).
using OcmsLayout = SpPixelLayout;

// Entry points of the colour-management library, in the order they are bound.
struct OcmsEntryPoints {
    OcmsSpInitialize SpInitialize;
    OcmsSpXformFree SpXformFree;
    OcmsSpEvaluate SpEvaluate;
    OcmsSpProfileLoadHeader SpProfileLoadHeader;
    OcmsSpProfileLoadProfile SpProfileLoadProfile;
    OcmsSpXformGet SpXformGet;
    OcmsSpProfileFree SpProfileFree;
    OcmsSpXformGetChannels SpXformGetChannels;
    OcmsSpCombineXforms SpCombineXforms;
    OcmsSpTerminate SpTerminate;
    OcmsSpGetErrorText SpGetErrorText;
};

// Profile info: [0] last library status, [1] 1, [2] kind, [3] input colour space,
// [4] output colour space, [5] output channels, [6] profile mode.
struct OcmsProfileInfo {
    int32_t values[7];
};

constexpr size_t kOcmsNameBytes = VQ_PATH_BYTES;
constexpr size_t kOcmsBlockBytes = sizeof(SpFileProps);
constexpr size_t kOcmsHeaderBytes = sizeof(SpHeader);
constexpr size_t kOcmsHeaderBlockBytes = 124; // loaded flag + header

class OcmsSession;

struct OcmsCacheEntry {
    uint32_t headerLoaded = 0;
    alignas(8) uint8_t header[kOcmsHeaderBytes] = {};
    uint32_t handle = 0;
    uint32_t stamp = 0;
    uint32_t useCount = 0;
    int32_t kind = 0;
    uint32_t transform = 0;
    uint32_t inChannels = 0;
    uint32_t outChannels = 0;
    uint32_t inSpace = 0;  // transforms only
    uint32_t outSpace = 0; // transforms only
    uint32_t sourceEntry = 0;
    uint32_t middleEntry = 0;
    uint32_t outputEntry = 0;
    uint32_t library = 0;
    OcmsSession* owner = nullptr;
    char name[kOcmsNameBytes] = {};
    alignas(8) uint8_t block[kOcmsBlockBytes] = {};
    int32_t profileMode = 0;

    uint32_t HeaderWord(int index) const;
};

class OcmsSession {
public:
    static OcmsSession* Instance();
    static OcmsSession* Existing();
    static void Destroy();
    static bool IsOpen();
    static uint32_t LibraryHandle();

    VqStatus Open(uint32_t* libraryOut, uint32_t* statusOut);
    VqStatus Close(uint32_t library, uint32_t* statusOut);
    VqStatus LoadProfile(const char* name, int32_t slot, int32_t profileMode, OcmsProfileInfo* info,
                         void* headerBlock, uint32_t* entryOut);
    VqStatus GetProfileInfo(const OcmsImageRecord* record, int32_t slot, char* nameOut, OcmsProfileInfo* info,
                            void* headerBlock);
    VqStatus PrepareTransform(OcmsImageRecord* record);
    VqStatus EvaluateTransform(OcmsImageRecord* record, int16_t* p, int16_t* q, int16_t* r, int16_t* fourth,
                               int32_t width, int32_t height, int32_t leftSkip, int32_t rightSkip);
    VqStatus ReleaseTransform(OcmsImageRecord* record);
    VqStatus SetCacheControl(const int16_t* control);
    VqStatus GetCacheControl(int16_t* control) const;
    VqStatus SenseCache(int16_t* counts);
    VqStatus GetErrorText(uint32_t code, char* text, uint32_t length);

    const OcmsCacheEntry* Entry(uint32_t handle) const;
    size_t EntryCount() const { return entries_.size(); }

    ~OcmsSession();

private:
    OcmsSession();

    OcmsCacheEntry* Find(uint32_t handle);
    void Stamp(OcmsCacheEntry& entry) { entry.stamp = ++clock_; }
    uint32_t AddEntry(std::unique_ptr<OcmsCacheEntry> entry);
    VqStatus LoadEntryTransform(OcmsCacheEntry& entry, uint32_t* status);
    VqStatus ReloadIfEvicted(OcmsCacheEntry& entry, uint32_t* status);
    void FreeTransform(OcmsCacheEntry& entry);
    void FillInfo(const OcmsCacheEntry& entry, OcmsProfileInfo* info, uint32_t status) const;
    void Recount();
    void Sweep();
    void EmptyCache();
    bool Bound() const { return api_.SpInitialize != nullptr; }
    static VqStatus SlotForMode(uint32_t mode, int32_t* slot, int32_t* outputSlot);

    OcmsEntryPoints api_{};
    std::unique_ptr<lumora::DynamicModule> module_;
    uint32_t clock_ = 1;
    std::map<uint32_t, std::unique_ptr<OcmsCacheEntry>> entries_;
    int16_t control_[8] = {12, 3, 3, 3, 3, 3, 0, 0};
    int16_t counts_[6] = {};                  // total, kinds 1..5
    OcmsCacheEntry* leastUsedOfKind_[8] = {}; // kinds 1..7
    OcmsCacheEntry* leastUsed_ = nullptr;
};

#include "OcmsSession.h"

#include "DynamicModule.h"
#include "Win32Error.h"

#include <cstring>
#include <new>

namespace {

OcmsSession* g_session = nullptr;
// The library handle lives beside the session: colour management counts as open
// while it is not 0.
uint32_t g_library = 0;

constexpr int kMaxPasses = 100;

// Entry handles are issued once per process, not per session: images keep
// their slots across a close and a new open, and a stale slot must never come
// to name an entry of the new session.
uint32_t g_nextHandle = 0;

} // namespace

uint32_t OcmsCacheEntry::HeaderWord(int index) const {
    uint32_t w = 0;
    std::memcpy(&w, header + 4 * index, sizeof w);
    return w;
}

OcmsSession::OcmsSession() = default;

OcmsSession::~OcmsSession() = default;

OcmsSession* OcmsSession::Instance() {
    if (!g_session) g_session = new (std::nothrow) OcmsSession();
    return g_session;
}

OcmsSession* OcmsSession::Existing() { return g_session; }

void OcmsSession::Destroy() {
    delete g_session;
    g_session = nullptr;
}

bool OcmsSession::IsOpen() { return g_library != 0; }

uint32_t OcmsSession::LibraryHandle() { return g_library; }

VqStatus OcmsSession::Open(uint32_t* libraryOut, uint32_t* statusOut) {
    uint32_t error = 0;
    module_ = lumora::DynamicModule::load("OrvexCMSC", error);
    if (!module_) return error ? error : lumora::win32::ERROR_MOD_NOT_FOUND;

    OcmsEntryPoints api{};
    struct Binding {
        const char* name;
        void** slot;
    };
    const Binding bindings[] = {
        {"SpInitialize", reinterpret_cast<void**>(&api.SpInitialize)},
        {"SpXformFree", reinterpret_cast<void**>(&api.SpXformFree)},
        {"SpEvaluate", reinterpret_cast<void**>(&api.SpEvaluate)},
        {"SpProfileLoadHeader", reinterpret_cast<void**>(&api.SpProfileLoadHeader)},
        {"SpProfileLoadProfile", reinterpret_cast<void**>(&api.SpProfileLoadProfile)},
        {"SpXformGet", reinterpret_cast<void**>(&api.SpXformGet)},
        {"SpProfileFree", reinterpret_cast<void**>(&api.SpProfileFree)},
        {"SpXformGetChannels", reinterpret_cast<void**>(&api.SpXformGetChannels)},
        {"SpCombineXforms", reinterpret_cast<void**>(&api.SpCombineXforms)},
        {"SpTerminate", reinterpret_cast<void**>(&api.SpTerminate)},
        {"SpGetErrorText", reinterpret_cast<void**>(&api.SpGetErrorText)},
    };
    for (const Binding& b : bindings) {
        *b.slot = module_->symbol(b.name, error);
        if (!*b.slot) {
            module_.reset();
            return error ? error : lumora::win32::ERROR_PROC_NOT_FOUND;
        }
    }
    api_ = api;

    uint32_t library = 0;
    const uint32_t status = uint32_t(api_.SpInitialize(&library, nullptr, nullptr));
    if (statusOut) *statusOut = status;
    if (status != 0) return VQ_ERR_OCMS_OPEN_FAILED;
    g_library = library;
    if (libraryOut) *libraryOut = library;
    return 0;
}

VqStatus OcmsSession::Close(uint32_t library, uint32_t* statusOut) {
    if (library != g_library) return VQ_ERR_OCMS_WRONG_HANDLE;
    if (!Bound()) {
        // Already unloaded: nothing of the library may be called any more.
        entries_.clear();
        g_library = 0;
        return 0;
    }
    for (auto& [handle, entry] : entries_) FreeTransform(*entry);
    entries_.clear();
    uint32_t lib = g_library;
    const uint32_t status = uint32_t(api_.SpTerminate(&lib));
    if (statusOut) *statusOut = status;
    g_library = 0;
    api_ = {};
    module_.reset();
    return 0;
}

OcmsCacheEntry* OcmsSession::Find(uint32_t handle) {
    auto it = entries_.find(handle);
    return it == entries_.end() ? nullptr : it->second.get();
}

const OcmsCacheEntry* OcmsSession::Entry(uint32_t handle) const {
    auto it = entries_.find(handle);
    return it == entries_.end() ? nullptr : it->second.get();
}

uint32_t OcmsSession::AddEntry(std::unique_ptr<OcmsCacheEntry> entry) {
    uint32_t handle = ++g_nextHandle;
    if (handle == 0) handle = ++g_nextHandle;  // 0 is the empty slot
    entry->handle = handle;
    entries_[handle] = std::move(entry);
    return handle;
}

void OcmsSession::FreeTransform(OcmsCacheEntry& entry) {
    if (entry.transform != 0 && Bound()) api_.SpXformFree(&entry.transform);
    entry.transform = 0;
}

VqStatus OcmsSession::LoadEntryTransform(OcmsCacheEntry& entry, uint32_t* statusOut) {
    if (entry.transform != 0) return VQ_ERR_OCMS_ALREADY_LOADED;
    if (!Bound()) return VQ_ERR_OCMS_NOT_OPEN;
    VqStatus answer = 0;
    uint32_t profile = 0;
    uint32_t status = uint32_t(
        api_.SpProfileLoadProfile(entry.library, entry.name, reinterpret_cast<const SpFileProps*>(entry.block), &profile));
    if (status != 0 || profile == 0) answer = VQ_ERR_OCMS_PROFILE_LOAD_FAILED;
    if (answer == 0) {
        status = uint32_t(api_.SpXformGet(profile, entry.profileMode, entry.kind == 3 ? SpXformFromDevice : SpXformToDevice,
                                           &entry.transform));
        if (status != 0) answer = VQ_ERR_OCMS_XFORM_GET_FAILED;
    }
    // The caller's status word holds the status of the last library call made,
    // so a good free after a failed step leaves 0 there; the answer still names
    // the step that failed.
    if (profile != 0) {
        status = uint32_t(api_.SpProfileFree(&profile));
        if (status != 0 && answer != 0) answer = VQ_ERR_OCMS_PROFILE_FREE_FAILED;
    }
    if (answer == 0) {
        entry.inChannels = 0;
        entry.outChannels = 0;
        int32_t in = 0, out = 0;
        status = uint32_t(api_.SpXformGetChannels(entry.transform, &in, &out));
        entry.inChannels = uint32_t(in);
        entry.outChannels = uint32_t(out);
        if (status != 0) answer = VQ_ERR_OCMS_CHANNELS_FAILED;
    }
    if (statusOut) *statusOut = status;
    return answer;
}

VqStatus OcmsSession::ReloadIfEvicted(OcmsCacheEntry& entry, uint32_t* status) {
    if (entry.transform != 0) return 0;
    return LoadEntryTransform(entry, status);
}

void OcmsSession::FillInfo(const OcmsCacheEntry& entry, OcmsProfileInfo* info, uint32_t status) const {
    if (!info) return;
    const bool source = entry.kind == 3;
    info->values[0] = int32_t(status);
    info->values[1] = 1;
    info->values[2] = entry.kind;
    info->values[3] = int32_t(source ? entry.HeaderWord(3) : entry.HeaderWord(4));
    info->values[4] = int32_t(source ? entry.HeaderWord(4) : entry.HeaderWord(3));
    info->values[5] = int32_t(entry.outChannels);
    info->values[6] = entry.profileMode;
}

VqStatus OcmsSession::LoadProfile(const char* name, int32_t slot, int32_t profileMode, OcmsProfileInfo* info,
                                  void* headerBlock, uint32_t* entryOut) {
    if (slot < 3 || slot > 7) return VQ_ERR_NULL_IMAGE_RECORD;
    if (entryOut) *entryOut = 0;

    if (name) {
        for (auto& [handle, entry] : entries_) {
            if (entry->kind == slot && entry->profileMode == profileMode &&
                std::memcmp(entry->name, name, kOcmsNameBytes) == 0) {
                Stamp(*entry);
                if (entryOut) *entryOut = handle;
                return 0;
            }
        }
    }

    std::unique_ptr<OcmsCacheEntry> entry(new (std::nothrow) OcmsCacheEntry());
    if (!entry) return VQ_ERR_OCMS_NO_MEMORY;
    entry->library = g_library;
    entry->owner = this;
    entry->kind = slot;

    uint32_t status = 0;
    VqStatus answer = 0;
    if (profileMode < 0 || profileMode > 4) {
        answer = VQ_ERR_OCMS_BAD_PROFILE_MODE;
    } else {
        if (info) std::memset(info, 0, sizeof *info);
        if (headerBlock) std::memset(headerBlock, 0, kOcmsHeaderBlockBytes);
        entry->profileMode = profileMode;
        if (name) std::memcpy(entry->name, name, kOcmsNameBytes);
        if (!Bound()) {
            answer = VQ_ERR_OCMS_NOT_OPEN;
        } else {
            status = uint32_t(api_.SpProfileLoadHeader(entry->name, reinterpret_cast<const SpFileProps*>(entry->block),
                                                        reinterpret_cast<SpHeader*>(entry->header)));
            if (status != 0) answer = VQ_ERR_OCMS_HEADER_LOAD_FAILED;
        }
        if (answer == 0) {
            entry->headerLoaded = 1;
            answer = LoadEntryTransform(*entry, &status);
        }
        if (answer == 0) {
            FillInfo(*entry, info, status);
            if (headerBlock) {
                std::memcpy(headerBlock, &entry->headerLoaded, 4);
                std::memcpy(static_cast<uint8_t*>(headerBlock) + 4, entry->header, kOcmsHeaderBytes);
            }
        }
    }
    if (info) info->values[0] = int32_t(status);

    if (answer != 0) {
        FreeTransform(*entry);
        // A reload made while preparing a transform may have left the cache
        // above its limits; a failed load sweeps as a good one does.
        Sweep();
        return answer;
    }
    OcmsCacheEntry& kept = *entry;
    const uint32_t handle = AddEntry(std::move(entry));
    Stamp(kept);
    if (entryOut) *entryOut = handle;
    Sweep();
    return 0;
}

VqStatus OcmsSession::GetProfileInfo(const OcmsImageRecord* record, int32_t slot, char* nameOut,
                                     OcmsProfileInfo* info, void* headerBlock) {
    if (slot < 3 || slot > 7 || !record) return VQ_ERR_NULL_IMAGE_RECORD;
    const OcmsCacheEntry* entry = Entry(record->slots[slot]);
    if (entry) {
        if (nameOut) std::memcpy(nameOut, entry->name, kOcmsNameBytes);
        FillInfo(*entry, info, 0);
        if (headerBlock) {
            std::memcpy(headerBlock, &entry->headerLoaded, 4);
            std::memcpy(static_cast<uint8_t*>(headerBlock) + 4, entry->header, kOcmsHeaderBytes);
        }
    } else {
        if (nameOut) std::memset(nameOut, 0, kOcmsNameBytes);
        if (info) std::memset(info, 0, sizeof *info);
        if (headerBlock) std::memset(headerBlock, 0, kOcmsHeaderBlockBytes);
    }
    return 0;
}

VqStatus OcmsSession::SlotForMode(uint32_t mode, int32_t* slot, int32_t* outputSlot) {
    switch (mode) {
    case 2: *slot = 1; *outputSlot = 4; return 0;
    case 3: *slot = 2; *outputSlot = 5; return 0;
    case 4: *slot = 3; *outputSlot = 3; return 0;
    default: return VQ_ERR_OCMS_BAD_MODE;
    }
}

VqStatus OcmsSession::PrepareTransform(OcmsImageRecord* record) {
    if (!record) return VQ_ERR_OCMS_NULL_RECORD;
    record->lastStatus = 0;
    int32_t slot = 0, outputSlot = 0;
    if (VqStatus st = SlotForMode(record->mode, &slot, &outputSlot)) return st;

    if (OcmsCacheEntry* existing = Find(record->slots[slot]); existing && existing->transform != 0) {
        Stamp(*existing);
        return 0;
    }

    VqStatus answer = 0;
    if (record->mode == 4) {
        OcmsCacheEntry* source = Find(record->slots[3]);
        if (!source) answer = VQ_ERR_OCMS_NO_SOURCE_PROFILE;
        else answer = ReloadIfEvicted(*source, &record->lastStatus);
    } else {
        std::unique_ptr<OcmsCacheEntry> entry(new (std::nothrow) OcmsCacheEntry());
        if (!entry) return VQ_ERR_OCMS_NO_MEMORY;
        entry->library = g_library;
        entry->owner = this;
        entry->kind = slot;

        OcmsCacheEntry* source = Find(record->slots[3]);
        OcmsCacheEntry* middle = Find(record->slots[6]);
        OcmsCacheEntry* output = Find(record->slots[outputSlot]);
        if (!source) {
            answer = VQ_ERR_OCMS_NO_SOURCE_PROFILE;
        } else {
            ReloadIfEvicted(*source, &record->lastStatus);
            if (source->transform == 0) answer = VQ_ERR_OCMS_NO_SOURCE_PROFILE;
        }
        if (answer == 0 && middle) answer = ReloadIfEvicted(*middle, &record->lastStatus);
        if (answer == 0) {
            if (!output) {
                answer = VQ_ERR_OCMS_NO_TRANSFORM;
            } else {
                ReloadIfEvicted(*output, &record->lastStatus);
                if (output->transform == 0)
                    answer = record->mode == 2 ? VQ_ERR_OCMS_NO_OUTPUT_PROFILE : VQ_ERR_OCMS_NO_OUTPUT_PROFILE2;
            }
        }
        if (answer == 0 && !Bound()) answer = VQ_ERR_OCMS_NOT_OPEN;
        if (answer == 0) {
            uint32_t chain[3];
            uint32_t count = 0;
            chain[count++] = source->transform;
            if (middle) chain[count++] = middle->transform;
            chain[count++] = output->transform;
            int32_t failed = 0;
            record->lastStatus =
                uint32_t(api_.SpCombineXforms(int32_t(count), chain, &entry->transform, &failed, nullptr, nullptr));
            if (record->lastStatus != 0) {
                entry->transform = 0;
                answer = failed == 0   ? VQ_ERR_OCMS_COMBINE_FAILED_0
                         : failed == 1 ? VQ_ERR_OCMS_COMBINE_FAILED_1
                         : failed == 2 ? VQ_ERR_OCMS_COMBINE_FAILED_2
                                       : VQ_ERR_OCMS_COMBINE_FAILED_3;
            } else {
                entry->inSpace = source->HeaderWord(3);
                entry->outSpace = output->HeaderWord(3);
                entry->inChannels = source->inChannels;
                entry->outChannels = output->outChannels;
                entry->sourceEntry = source->handle;
                entry->middleEntry = middle ? middle->handle : 0;
                entry->outputEntry = output->handle;
                Stamp(*source);
                if (middle) Stamp(*middle);
                Stamp(*output);
            }
        }
        if (answer != 0) {
            FreeTransform(*entry);
        } else {
            OcmsCacheEntry& kept = *entry;
            record->slots[slot] = AddEntry(std::move(entry));
            Stamp(kept);
        }
    }
    if (record->lastStatus != 0) return VQ_ERR_OCMS_TRANSFORM_FAILED;
    return answer;
}

VqStatus OcmsSession::EvaluateTransform(OcmsImageRecord* record, int16_t* p, int16_t* q, int16_t* r, int16_t* fourth,
                                        int32_t width, int32_t height, int32_t leftSkip, int32_t rightSkip) {
    if (!record) return VQ_ERR_OCMS_NULL_RECORD;
    record->lastStatus = 0;
    int32_t slot = 0, outputSlot = 0;
    if (VqStatus st = SlotForMode(record->mode, &slot, &outputSlot)) return st;
    OcmsCacheEntry* entry = Find(record->slots[slot]);
    if (!entry || entry->transform == 0) return VQ_ERR_OCMS_NO_TRANSFORM;
    if (entry->outChannels == 4 && !fourth) return VQ_ERR_NULL_PLANES;
    int32_t sourceType = 0;
    switch (record->sampleLayout) {
    case 0: sourceType = 5; break;
    case 1:
    case 3: sourceType = 4; break;
    default: return VQ_ERR_OCMS_BAD_LAYOUT;
    }
    if (!Bound()) return VQ_ERR_OCMS_NOT_OPEN;
    const int32_t perLine = leftSkip + width + rightSkip;
    OcmsLayout source{sourceType, perLine, height, 2, 2 * perLine, 3, {p, q, r, fourth}};
    OcmsLayout destination{5, perLine, height, 2, 2 * perLine, int32_t(entry->outChannels), {p, q, r, fourth}};
    record->lastStatus = uint32_t(api_.SpEvaluate(entry->transform, &source, &destination, nullptr, nullptr));
    return record->lastStatus != 0 ? VQ_ERR_OCMS_EVALUATE_FAILED : 0;
}

VqStatus OcmsSession::ReleaseTransform(OcmsImageRecord* record) {
    if (!record) return VQ_ERR_OCMS_NULL_RECORD;
    int32_t slot = 0, outputSlot = 0;
    if (VqStatus st = SlotForMode(record->mode, &slot, &outputSlot)) return st;
    Sweep();
    return 0;
}

void OcmsSession::Recount() {
    std::memset(counts_, 0, sizeof counts_);
    for (auto& e : leastUsedOfKind_) e = nullptr;
    leastUsed_ = nullptr;
    for (auto& [handle, entry] : entries_) {
        if (entry->transform == 0) continue;
        const int32_t kind = entry->kind;
        if (kind >= 1 && kind <= 5) {
            ++counts_[0];
            ++counts_[kind];
        }
        if (kind >= 1 && kind <= 7) {
            OcmsCacheEntry*& lru = leastUsedOfKind_[kind];
            if (!lru || entry->stamp < lru->stamp) lru = entry.get();
        }
        if (!leastUsed_ || entry->stamp < leastUsed_->stamp) leastUsed_ = entry.get();
    }
}

void OcmsSession::Sweep() {
    Recount();
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        bool freed = false;
        for (int kind = 1; kind <= 5; ++kind) {
            if (counts_[kind] > control_[kind] && leastUsedOfKind_[kind]) {
                FreeTransform(*leastUsedOfKind_[kind]);
                freed = true;
            }
        }
        Recount();
        if (!freed) break;
    }
    for (int i = 0; i < kMaxPasses; ++i) {
        Recount();
        if (control_[0] >= counts_[0] || !leastUsed_) break;
        FreeTransform(*leastUsed_);
    }
}

void OcmsSession::EmptyCache() {
    for (auto& [handle, entry] : entries_) FreeTransform(*entry);
    entries_.clear();
    Recount();
}

VqStatus OcmsSession::SetCacheControl(const int16_t* control) {
    if (!control) return VQ_ERR_BAD_HANDLE;
    std::memcpy(control_, control, sizeof control_);
    bool any = false;
    for (int i = 0; i < 6; ++i) any = any || control_[i] != 0;
    if (any) Sweep();
    else EmptyCache();
    return 0;
}

VqStatus OcmsSession::GetCacheControl(int16_t* control) const {
    if (!control) return VQ_ERR_BAD_HANDLE;
    std::memcpy(control, control_, sizeof control_);
    return 0;
}

VqStatus OcmsSession::SenseCache(int16_t* counts) {
    if (!counts) return VQ_ERR_BAD_HANDLE;
    Recount();
    std::memcpy(counts, counts_, sizeof counts_);
    return 0;
}

VqStatus OcmsSession::GetErrorText(uint32_t code, char* text, uint32_t length) {
    if (!Bound()) return VQ_ERR_OCMS_NOT_OPEN;
    return api_.SpGetErrorText(SpStatus(code), text, int32_t(length)) != 0 ? VQ_ERR_OCMS_ERROR_TEXT_FAILED : 0;
}

// Stand-in colour-management library for the session tests. A profile name
// chooses what the profile is: "cmyk..." gives four output channels, anything
// else three; the header's colour-space words are 'RGB ' and 'XYZ '. Evaluation
// swaps the first and third plane, so its effect is visible.
// Only the types: this module offers the entry points under the same names.
#define ORVEXCMS_TYPES_ONLY
#include "OcmsSession.h"

#include <cstring>
#include <map>
#include <string>

namespace {

struct Transform {
    int32_t in = 3, out = 3;
};

std::string g_log;
std::map<std::string, std::pair<uint32_t, int>> g_failures; // entry -> (status, calls to let through)
std::map<uint32_t, Transform> g_transforms;
std::map<uint32_t, std::string> g_profiles;
uint32_t g_next = 100;
uint32_t g_combineFailIndex = 0;
OcmsLayout g_lastSource{}, g_lastDestination{};

SpStatus Enter(const char* name) {
    g_log += name;
    g_log += ';';
    auto it = g_failures.find(name);
    if (it == g_failures.end()) return 0;
    if (it->second.second > 0) {
        --it->second.second;
        return 0;
    }
    return SpStatus(it->second.first);
}

} // namespace

extern "C" {

void FakeCms_Reset() {
    g_log.clear();
    g_failures.clear();
    g_transforms.clear();
    g_profiles.clear();
    g_combineFailIndex = 0;
}
void FakeCms_Fail(const char* entry, uint32_t status, int after) { g_failures[entry] = {status, after}; }
void FakeCms_SetCombineFailIndex(uint32_t index) { g_combineFailIndex = index; }
const char* FakeCms_Log() { return g_log.c_str(); }
void FakeCms_ClearLog() { g_log.clear(); }
int FakeCms_LiveTransforms() { return int(g_transforms.size()); }
int FakeCms_LiveProfiles() { return int(g_profiles.size()); }
void FakeCms_LastLayouts(OcmsLayout* source, OcmsLayout* destination) {
    *source = g_lastSource;
    *destination = g_lastDestination;
}

SpStatus SpInitialize(SpInstance* library, void*, void*) {
    if (SpStatus st = Enter("SpInitialize")) return st;
    *library = 0x5EED;
    return 0;
}

SpStatus SpTerminate(SpInstance* library) {
    if (SpStatus st = Enter("SpTerminate")) return st;
    *library = 0;
    return 0;
}

SpStatus SpProfileLoadHeader(const char* name, const SpFileProps*, SpHeader* header) {
    if (SpStatus st = Enter("SpProfileLoadHeader")) return st;
    uint8_t* h = reinterpret_cast<uint8_t*>(header);
    std::memset(h, 0, kOcmsHeaderBytes);
    const uint32_t rgb = 0x52474220, xyz = 0x58595A20, cmyk = 0x434D594B;
    const bool isCmyk = std::strncmp(name, "cmyk", 4) == 0;
    std::memcpy(h + 12, isCmyk ? &cmyk : &rgb, 4);
    std::memcpy(h + 16, &xyz, 4);
    return 0;
}

SpStatus SpProfileLoadProfile(SpInstance, const char* name, const SpFileProps*, SpProfile* profile) {
    if (SpStatus st = Enter("SpProfileLoadProfile")) return st;
    *profile = ++g_next;
    g_profiles[*profile] = name;
    return 0;
}

SpStatus SpProfileFree(SpProfile* profile) {
    if (SpStatus st = Enter("SpProfileFree")) return st;
    g_profiles.erase(*profile);
    *profile = 0;
    return 0;
}

SpStatus SpXformGet(SpProfile profile, int32_t, int32_t, SpXform* transform) {
    if (SpStatus st = Enter("SpXformGet")) return st;
    Transform t;
    if (g_profiles[profile].rfind("cmyk", 0) == 0) t.out = 4;
    *transform = ++g_next;
    g_transforms[*transform] = t;
    return 0;
}

SpStatus SpXformFree(SpXform* transform) {
    if (SpStatus st = Enter("SpXformFree")) return st;
    g_transforms.erase(*transform);
    *transform = 0;
    return 0;
}

SpStatus SpXformGetChannels(SpXform transform, int32_t* in, int32_t* out) {
    if (SpStatus st = Enter("SpXformGetChannels")) return st;
    auto it = g_transforms.find(transform);
    if (it == g_transforms.end()) return 7;
    *in = it->second.in;
    *out = it->second.out;
    return 0;
}

SpStatus SpCombineXforms(int32_t count, const SpXform* transforms, SpXform* result, int32_t* failed, void*,
                         void*) {
    if (SpStatus st = Enter("SpCombineXforms")) {
        *failed = int32_t(g_combineFailIndex);
        return st;
    }
    Transform t;
    t.in = g_transforms[transforms[0]].in;
    t.out = g_transforms[transforms[count - 1]].out;
    *result = ++g_next;
    g_transforms[*result] = t;
    return 0;
}

SpStatus SpEvaluate(SpXform transform, const SpPixelLayout* source, const SpPixelLayout* destination, void*, void*) {
    if (SpStatus st = Enter("SpEvaluate")) return st;
    if (!g_transforms.count(transform)) return 9;
    g_lastSource = *source;
    g_lastDestination = *destination;
    int16_t* p = static_cast<int16_t*>(source->base[0]);
    int16_t* r = static_cast<int16_t*>(source->base[2]);
    for (int32_t i = 0; i < source->columns * source->rows; ++i) std::swap(p[i], r[i]);
    return 0;
}

SpStatus SpGetErrorText(SpStatus code, char* text, int32_t length) {
    if (SpStatus st = Enter("SpGetErrorText")) return st;
    std::string s = "fake error " + std::to_string(code);
    std::strncpy(text, s.c_str(), size_t(length));
    if (length) text[length - 1] = 0;
    return 0;
}

} // extern "C"

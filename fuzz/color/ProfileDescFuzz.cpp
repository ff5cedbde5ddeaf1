// ICC bytes as a profile: its description, version and header signatures.
#include "ColorEngine.h"
#include "ColorProfile.h"
#include "YlmErrp.h"
#include "YlmRefPtr.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace NimbalCore;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The library instance only; no colour folder, so start-up stays short.
    setenv("LUMORA_SYSTEM_DIR", "/nonexistent/lumora-fuzz", 1);
    ColorEngine::Instance(0, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    try {
        YlmRefPtr<ColorProfile> profile(new ColorProfile(data, uint32_t(size)));
        (void)profile->Name();
        (void)profile->Version();
        (void)profile->GetDeviceColorSpace();
        (void)profile->GetDeviceClass();
    } catch (const YlmErrp&) {
        // Refused bytes are an answer, not a finding.
    }
    return 0;
}

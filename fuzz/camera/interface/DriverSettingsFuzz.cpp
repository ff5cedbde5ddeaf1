// Feeds arbitrary bytes to the VqAPI.prf parser.
#include "DriverSettings.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumora::vq::DriverSettings settings;
    settings.ApplyDefaults();
    if (!settings.Parse(lumora::ByteView(data, size))) settings.ApplyDefaults();
    return 0;
}

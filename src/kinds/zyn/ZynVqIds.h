#pragma once
// The camera interface's extension and hidden-property numbers this kind
// uses, by name: the numbers of the interface's public calls, as an outside
// program knows them.
#include <cstdint>

namespace NimbalCore {

enum ZynExtension : uint32_t {
    ZynExtImageTypeCode = 0,         // int: the camera's image type code
    ZynExtTag = 3,                   // int: the tag flag (settable, written into the file)
    ZynExtSettingsTextLength = 17,   // int: bytes of the camera-settings text
    ZynExtSettingsText = 18,         // the text, into a buffer whose address is the value
    ZynExtWhiteBalance = 20,         // {enabled, preset 0..5, custom flag, R | G << 16, B}
    ZynExtLook = 21,                 // int: look number
    ZynExtSharpeningState = 22,      // word 3 non-zero: sharpening was on in the camera
    ZynExtChromaFilter = 23,         // {level 0 or 100}
    ZynExtExposure = 25,             // {float stops, -2..+2}
    ZynExtIptc = 26,                 // {length, pointer, flags}
    ZynExtLookCount = 27,            // int: looks in the file's look table
    ZynExtResolution = 29,           // {value, unit}
    ZynExtBalanceLighting = 30,      // int: lighting preset 0..3 the balance resolves to
    ZynExtAutoBalanceRatios = 31,    // three 16-bit ratios
    ZynExtSharpeningTriple = 38,     // amount, radius in tenths, threshold
    ZynExtSharpeningPreset0 = 39,    // 39..42: the four stored sharpening presets
    ZynExtSharpeningPreset1 = 40,
    ZynExtSharpeningPreset2 = 41,
    ZynExtSharpeningPreset3 = 42,
    ZynExtCameraSharpening = 43,     // the in-camera sharpening triple
    ZynExtRendererValue = 44,        // this kind always sends 0
};

enum ZynHidden : uint32_t {
    ZynHiddenFindTag = 10,           // in: tag, occurrence, directories; out: the entry's record
    ZynHiddenFileBytes = 11,         // {offset, length} in, the bytes out
    ZynHiddenTagValues = 14,         // {offset, length, field type} in, values in host order out
    ZynHiddenAllowJpeg = 17,         // set to 1 to allow JPEG conversion
    ZynHiddenBalanceKind = 18,       // 0 preset or none, 1 click, 2 automatic, 3 custom
    ZynHiddenJpegTables = 19,        // 0 when the camera's own JPEG tables are used
};

} // namespace NimbalCore

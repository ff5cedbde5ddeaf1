#pragma once
// How stored samples of one colour space map to the floating-point values
// LittleCMS works in, and back. Stored samples are read as fractions of their
// full scale (255, 4095 or 65535) of the 16-bit encoding of the space: Lab in
// the ICC version 4 encoding (L 0..100 over the whole range, a and b with 128
// at 32896), XYZ as 1.15 fixed point, inks as percentages.
#include <lcms2.h>

#include <cmath>
#include <cstdint>

namespace orvexcms {

class SampleCodec {
public:
    enum class Kind { Unit, Ink, Lab, XYZ };

    static Kind kindOf(uint32_t space) {
        switch (space) {
        case cmsSigLabData: return Kind::Lab;
        case cmsSigXYZData: return Kind::XYZ;
        case cmsSigCmyData:
        case cmsSigCmykData:
        case cmsSigMCH5Data:
        case cmsSigMCH6Data:
        case cmsSigMCH7Data:
        case cmsSigMCH8Data:
        case cmsSigMCH9Data:
        case cmsSigMCHAData:
        case cmsSigMCHBData:
        case cmsSigMCHCData:
        case cmsSigMCHDData:
        case cmsSigMCHEData:
        case cmsSigMCHFData: return Kind::Ink;
        default: return Kind::Unit;
        }
    }

    // fraction: stored sample / full scale, 0..1.
    static float decode(Kind kind, int channel, double fraction) {
        switch (kind) {
        case Kind::Unit: return float(fraction);
        case Kind::Ink: return float(fraction * 100.0);
        case Kind::Lab: return float(channel == 0 ? fraction * 100.0 : fraction * (65535.0 / 257.0) - 128.0);
        case Kind::XYZ: return float(fraction * (65535.0 / 32768.0));
        }
        return 0.0f;
    }

    // The stored sample for fullScale, rounded and held inside the range.
    static uint32_t encode(Kind kind, int channel, float value, uint32_t fullScale) {
        double fraction = 0.0;
        switch (kind) {
        case Kind::Unit: fraction = value; break;
        case Kind::Ink: fraction = value / 100.0; break;
        case Kind::Lab:
            fraction = channel == 0 ? value / 100.0 : (double(value) + 128.0) * (257.0 / 65535.0);
            break;
        case Kind::XYZ: fraction = value * (32768.0 / 65535.0); break;
        }
        if (!(fraction > 0.0)) return 0; // also NaN
        if (fraction >= 1.0) return fullScale;
        return uint32_t(std::floor(fraction * fullScale + 0.5));
    }
};

} // namespace orvexcms

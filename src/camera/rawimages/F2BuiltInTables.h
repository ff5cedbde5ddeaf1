#pragma once
// Tables of the family-2 files of the old format, which carry none of their own:
// byte, shifted and third tables, the two transfer curves between linear values
// and the logarithmic curve domain, the output curve and the second tone curves.
// Built once and shared.
#include <cstdint>
#include <vector>

namespace lumora::vq {

class F2BuiltInTables {
public:
    static constexpr uint32_t kByteEntries = 1024;
    static constexpr uint32_t kEntries = 4096;
    static constexpr uint32_t kCurveBEntries = 3613;

    static const std::vector<uint8_t>& ByteTable();       // 0 ... 255
    static const std::vector<uint16_t>& ShiftedTable();   // 0 ... 4095
    static const std::vector<uint16_t>& ThirdTable();     // 4 i, rising to 4081
    static const std::vector<uint16_t>& CurveA();         // round(1000 log10(i + 1)): 0 ... 3612
    static const std::vector<uint16_t>& CurveB();         // round(10^(i / 1000)) - 1: 0 ... 4092
    static const std::vector<uint16_t>& OutputCurve();    // 0 ... 65535
    // Tone curve 0 of model 13 or 18: non-decreasing from 0 to 4095.
    static const std::vector<uint16_t>& ToneCurve0(int32_t modelId);
};

} // namespace lumora::vq

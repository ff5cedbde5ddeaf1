#include "RawUnpackStage.h"

#include <algorithm>
#include <cstring>

namespace lumora {

RawUnpackStage::RawUnpackStage() = default;

VqStatus RawUnpackStage::Configure(uint16_t newOffset, const uint16_t* source, uint16_t length,
                                   uint16_t rowCount) {
    offset = newOffset >= 256 ? 255 : newOffset;
    sourceTable = source;
    rowLength = length;
    rows = rowCount;
    return VQ_OK;
}

VqStatus RawUnpackStage::SetMode(int32_t newMode) {
    mode = newMode;
    return VQ_OK;
}

VqStatus RawUnpackStage::SetRowLength(uint16_t length) {
    rowLength = length;
    return VQ_OK;
}

VqStatus RawUnpackStage::BuildTable(ColourTable& table, int32_t e, int32_t g, const uint16_t* source,
                                    uint16_t maximum, uint16_t rowCount) {
    if (!source) return VQ_ERR_UNPACK_NULL;
    const int64_t f = (int64_t(e) * g) / 256;
    if (f == 0) {
        table.period = table.counter = 0xFFFF;
    } else {
        uint16_t p = uint16_t(int64_t(rowCount) / f);
        table.period = table.counter = p == 0 ? 1 : p;
    }
    for (int i = 0; i < kCodes; ++i) {
        const int64_t s = source[i];
        if (s == 0) {
            table.entries[i] = 0;
            continue;
        }
        const uint16_t v = uint16_t(((s + e) * g) / 256);
        table.entries[i] = std::min(v, maximum);
    }
    if (e == 0) return VQ_OK;
    // Codes the curve leaves at zero below its first used code get a ramp that
    // continues the curve's lowest step down to the offset.
    int n = 253;
    while (n >= 1 && source[n] != 0) --n;
    if (n < 1) return VQ_OK;
    const int64_t d = int64_t(source[n + 2]) - int64_t(source[n + 1]);
    int64_t l = int64_t(source[n + 1]) - d + e;
    for (int k = n; k >= 0 && l > 0; --k) {
        table.entries[k] = uint16_t((l * g) / 256);
        l -= d;
    }
    return VQ_OK;
}

VqStatus RawUnpackStage::SetBalance(int32_t r, int32_t gr, int32_t b) {
    if (!sourceTable) return VQ_ERR_UNPACK_NULL;
    const int64_t m = std::max({r, gr, b});
    auto gain = [m](int32_t v) -> int64_t {
        if (v == 0) return 256;
        const int64_t q = (m * 256) / v;
        return q == 0 ? 256 : q;
    };
    int64_t gains[3] = {gain(r), gain(gr), gain(b)};
    const uint16_t t = sourceTable[255];
    if (t < 4095 && t != 0)
        for (int64_t& g : gains) g = (g * 4095) / t;
    VqStatus status = BuildTable(red, offset, int32_t(gains[0]), sourceTable, kMaximum, rows);
    if (!status) status = BuildTable(blue, offset, int32_t(gains[2]), sourceTable, kMaximum, rows);
    if (!status) status = BuildTable(green, offset, int32_t(gains[1]), sourceTable, kMaximum, rows);
    return status;
}

VqStatus RawUnpackStage::BuildMonochrome() {
    if (!sourceTable) return VQ_ERR_UNPACK_NULL;
    const uint16_t t = sourceTable[255];
    const int32_t gain = (t >= 4095 || t == 0) ? 256 : int32_t(0xFFF00u / t);
    return BuildTable(green, offset, gain, sourceTable, kMaximum, rows);
}

// Lowers the working copy once for every dark-offset step between the row it
// stands for and the given row.
void RawUnpackStage::BringToRow(ColourTable& work, uint32_t row) {
    while (work.counter < row) {
        const uint16_t next = uint16_t(work.counter + work.period);
        // A step that wraps round would never reach the row.
        if (next <= work.counter) break;
        work.counter = next;
        for (uint16_t& v : work.entries)
            if (v != 0) --v;
    }
}

VqStatus RawUnpackStage::UnpackPairs(const uint8_t* in, uint16_t* out, uint32_t first, uint32_t count,
                                     bool colour) {
    ColourTable& even1 = colour ? greenWork : greenWork; // green on even rows
    ColourTable& even2 = colour ? redWork : greenWork;
    ColourTable& odd1 = colour ? blueWork : greenWork;
    ColourTable& odd2 = greenWork;
    greenWork = green;
    if (colour) {
        redWork = red;
        blueWork = blue;
    }
    const uint32_t pairs = uint32_t(rowLength) / 2;
    for (uint32_t i = first; i < first + count; i += 2) {
        BringToRow(greenWork, i);
        if (colour) {
            BringToRow(redWork, i);
            BringToRow(blueWork, i);
        }
        for (uint32_t p = 0; p < pairs; ++p) {
            *out++ = even1.entries[*in++];
            *out++ = even2.entries[*in++];
        }
        if (i + 1 >= first + count) break;
        BringToRow(greenWork, i + 1);
        if (colour) {
            BringToRow(redWork, i + 1);
            BringToRow(blueWork, i + 1);
        }
        for (uint32_t p = 0; p < pairs; ++p) {
            *out++ = odd1.entries[*in++];
            *out++ = odd2.entries[*in++];
        }
    }
    return VQ_OK;
}

VqStatus RawUnpackStage::Unpack(const uint8_t* input, uint16_t* output, uint16_t first, uint16_t count) {
    if (!input || !output) return VQ_ERR_UNPACK_NULL;
    switch (mode) {
    case Colour:
    case Monochrome:
        // Odd lengths or an odd first row would put the pattern out of step
        // and run past the rows asked for.
        if ((rowLength & 1) || (first & 1) || (count & 1)) return VQ_ERR_BAD_ARGUMENT;
        return UnpackPairs(input, output, first, count, mode == Colour);
    case Copy16:
        std::memcpy(output, input, size_t(count) * rowLength * 2);
        return VQ_OK;
    case Widen8:
        for (size_t k = 0, n = size_t(count) * rowLength; k < n; ++k) output[k] = uint16_t(input[k] << 8);
        return VQ_OK;
    default:
        return VQ_ERR_BAD_STAGE_MODE;
    }
}

VqStatus RawUnpackStage::UnpackThumbnail1(const uint8_t* in, uint16_t* out, uint16_t first, uint16_t count,
                                          uint16_t step) {
    if (!in || !out) return VQ_ERR_UNPACK_NULL;
    if (step == 0) return VQ_ERR_BAD_ARGUMENT;
    greenWork = green;
    for (uint32_t r = first; r < uint32_t(first) + count; r += step) {
        BringToRow(greenWork, r);
        for (uint32_t k = 0; k < rowLength; k += step) *out++ = greenWork.entries[*in++];
    }
    return VQ_OK;
}

VqStatus RawUnpackStage::UnpackThumbnail3(const uint8_t* inRed, const uint8_t* inGreen, const uint8_t* inBlue,
                                          uint16_t* outRed, uint16_t* outGreen, uint16_t* outBlue,
                                          uint16_t first, uint16_t count, uint16_t step) {
    if (!inRed || !inGreen || !inBlue || !outRed || !outGreen || !outBlue) return VQ_ERR_UNPACK_NULL;
    if (step == 0) return VQ_ERR_BAD_ARGUMENT;
    redWork = red;
    greenWork = green;
    blueWork = blue;
    for (uint32_t r = first; r < uint32_t(first) + count; r += step) {
        BringToRow(redWork, r);
        BringToRow(greenWork, r);
        BringToRow(blueWork, r);
        for (uint32_t k = 0; k < rowLength; k += step) {
            *outRed++ = redWork.entries[*inRed++];
            *outGreen++ = greenWork.entries[*inGreen++];
            *outBlue++ = blueWork.entries[*inBlue++];
        }
    }
    return VQ_OK;
}

} // namespace lumora

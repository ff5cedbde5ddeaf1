#include "TalpColorSpaces.h"

#include "VxFilt.h"

namespace {

// 'nCLR' with n a hex digit 3 ... F: n channels; 0 otherwise.
int32_t colorCount(uint32_t tag) {
    if ((tag & 0x00FFFFFFu) != VXFILT_TAG(0, 'C', 'L', 'R')) return 0;
    const char c = char(tag >> 24);
    if (c >= '3' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

// 'MCH5' ... 'MCH8': 5 ... 8 channels; 0 otherwise.
int32_t multiChannelCount(uint32_t tag) {
    if ((tag & 0xFFFFFF00u) != VXFILT_TAG('M', 'C', 'H', 0)) return 0;
    const char c = char(tag & 0xFF);
    return c >= '5' && c <= '8' ? c - '0' : 0;
}

int32_t plainCount(uint32_t tag) {
    switch (tag) {
    case VXFILT_TAG('G', 'R', 'A', 'Y'): return 1;
    case VXFILT_TAG('C', 'M', 'Y', ' '):
    case VXFILT_TAG('H', 'L', 'S', ' '):
    case VXFILT_TAG('H', 'S', 'V', ' '):
    case VXFILT_TAG('L', 'a', 'b', ' '):
    case VXFILT_TAG('L', 'u', 'v', ' '):
    case VXFILT_TAG('R', 'G', 'B', ' '):
    case VXFILT_TAG('X', 'Y', 'Z', ' '):
    case VXFILT_TAG('Y', 'C', 'b', 'r'):
    case VXFILT_TAG('Y', 'x', 'y', ' '): return 3;
    case VXFILT_TAG('C', 'M', 'Y', 'K'): return 4;
    default: return 0;
    }
}

} // namespace

int32_t TalpCheckColorSpace(uint32_t tag) {
    return colorCount(tag) || multiChannelCount(tag) || plainCount(tag) ? 1 : 0;
}

int32_t TalpChannelToSharpen(uint32_t tag, int32_t channel) {
    if (colorCount(tag)) return channel;
    switch (tag) {
    case VXFILT_TAG('L', 'a', 'b', ' '):
    case VXFILT_TAG('L', 'u', 'v', ' '):
    case VXFILT_TAG('Y', 'C', 'b', 'r'):
    case VXFILT_TAG('Y', 'x', 'y', ' '): return 0;
    default: return -1;
    }
}

int32_t TalpChannelCount(uint32_t tag) {
    if (int32_t n = colorCount(tag)) return n;
    if (int32_t n = multiChannelCount(tag)) return n;
    return plainCount(tag);
}

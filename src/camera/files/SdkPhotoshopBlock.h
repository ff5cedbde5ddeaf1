#pragma once
// The Photoshop image-resource block (an APP13 segment) that camera JPEG files
// and converted JPEG files carry: the IPTC record, a ResolutionInfo resource
// and a fixed set of placeholder resources, all numbers big-endian.
#include <cstdint>
#include <vector>

#include "VqStatus.h"

// Bytes after the IPTC data (padded to even length): the segment header and the
// IPTC resource's own header make 30, the fixed resources 1070.
constexpr uint32_t kSdkPhotoshopBlockOverhead = 1100;
constexpr uint32_t kSdkResolutionResourceBytes = 16;

// ResolutionInfo for a value and unit (1 per inch, 2 per centimetre): 16.16
// fixed-point pixels per inch, unit and width unit, then the same vertically.
// A null destination answers VQ_ERR_BAD_HANDLE.
VqStatus SdkBuildResolutionResource(uint32_t value, int32_t unit, uint8_t* out);

// The whole APP13 segment, marker included, for n bytes of IPTC data. extra is
// kept for callers that reserve bytes after the block (none do here).
// A null resolution (value 0) answers VQ_ERR_BAD_HANDLE; no memory
// VQ_ERR_PROCESS_NO_MEMORY.
VqStatus SdkBuildPhotoshopBlock(const uint8_t* iptc, uint32_t n, const uint32_t* resolution, uint32_t extra,
                                std::vector<uint8_t>* out);

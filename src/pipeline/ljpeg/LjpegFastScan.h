#pragma once
// Fast decoder of the first scan for one or two components (the layouts of
// sensor data): 64-bit bit buffer, one table step per difference for short
// codes, a loop per predictor, rows reconstructed straight into the output.
// Scans of three or four components go through LjpegReferenceScan.
namespace lumora {

class LjpegSession;

class LjpegFastScan {
public:
    // Same contract as LjpegReferenceScan::decode, and the same results.
    static bool decode(LjpegSession& session);
};

} // namespace lumora

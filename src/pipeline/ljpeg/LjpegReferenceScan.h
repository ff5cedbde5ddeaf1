#pragma once
// Plain decoder of the first scan, sample by sample through two row buffers:
// the reference the fast decoder is tested and fuzzed against.
namespace lumora {

class LjpegSession;

class LjpegReferenceScan {
public:
    // Decodes all rows into the session's output; true when the data of some
    // interval ran out and zero bits stood in for it.
    static bool decode(LjpegSession& session);
};

} // namespace lumora

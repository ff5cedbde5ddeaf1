#pragma once
// Lossless-JPEG (SOF3, Huffman) encoder used to build test streams and fixture
// files. Samples go in, a complete stream (SOI ... EOI) comes out.
#include <cstdint>
#include <string>
#include <vector>

namespace ljpegenc {

struct EncodeOptions {
    uint32_t columns = 0;         // X: samples per line of each component
    uint32_t rows = 0;            // Y
    uint32_t components = 1;      // Ns = Nf, 1..4, interleaved in the input
    uint32_t precision = 16;      // P, 2..16
    uint32_t predictor = 1;       // Ss, 0..7
    uint32_t pointTransform = 0;  // Pt, only enters the opening-row prediction
    uint32_t restartInterval = 0; // Ri in MCUs; 0 = none; must be a multiple of columns
    bool sharedTable = false;     // all components use table 0 (else one table each)
};

// Encodes rows of columns × components interleaved samples (component c of
// column x of row y at (y·columns + x)·components + c). Each sample must fit
// in precision bits. Returns false and sets error when the options are invalid.
bool encodeLosslessJpeg(const uint16_t* samples, const EncodeOptions& options,
                        std::vector<uint8_t>& out, std::string* error = nullptr);

// The prediction of the standard lossless process, shared with tests that model
// a decoder: neighbours are unsigned sample values.
int32_t predictSample(uint32_t predictor, int32_t ra, int32_t rb, int32_t rc);

} // namespace ljpegenc

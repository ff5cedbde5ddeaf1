#pragma once
// How a picture's pixels reach the screen at another size: every screen
// pixel is the rounded average of the picture pixels its area covers (a
// larger screen repeats the nearest pixel). Reads the picture's own rows
// (8-bit grey or 24-bit blue-green-red, any row padding) and writes packed
// red-green-blue rows, as the toolkit's images hold them. The fast kernel
// keeps its plain reference beside it; both give the same bytes.
#include <cstdint>
#include <vector>

class PictureReduction {
public:
    struct Source {
        const uint8_t* pixels = nullptr; // top row
        int width = 0;
        int height = 0;
        int64_t rowBytes = 0;
        int channels = 3; // 1 grey, 3 blue-green-red
    };

    // destination: width × height × 3 bytes. False (nothing written) for an
    // empty source or destination.
    static bool Reduce(const Source& source, uint8_t* destination, int width, int height);
    static bool ReduceReference(const Source& source, uint8_t* destination, int width, int height);

    // The source span [first, last) that destination index i of count
    // covers along an axis of length size: never empty.
    static void Span(int i, int count, int size, int& first, int& last);
};

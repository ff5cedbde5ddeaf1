#pragma once
// vqclient's writer of rendered strips into a portable any-map.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Turns the rows of each strip into the any-map's order and byte order and
// writes them out, a strip at a time; a strip that ends inside a row keeps the
// partial row for the next.
class StripWriter {
public:
    StripWriter(FILE* f, size_t width, size_t channels, size_t bytes, size_t outChannels, const int* order)
        : f_(f), width_(width), channels_(channels), bytes_(bytes), outChannels_(outChannels), order_(order),
          rowBytes_(width * channels * bytes) {}

    bool Add(const uint8_t* data, size_t n);
    bool Finished(size_t height) const { return ok_ && rows_ >= height && pending_.empty(); }

private:
    bool WriteRows(const uint8_t* src, size_t rows);

    FILE* f_;
    size_t width_, channels_, bytes_, outChannels_;
    const int* order_;
    size_t rowBytes_, rows_ = 0;
    bool ok_ = true;
    std::vector<uint8_t> pending_, out_;
};

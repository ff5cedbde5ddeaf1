#pragma once
// Writes the maker's private blocks into a JPEG after its SOI, in this
// order: APP5 "ZELT1" (processing data), APP3 "Meta" (extended range and
// the preview's description), the preview's data segments (stream 1 of
// chunk offsets, stream 2 of coded chunks) and APP4 "LMBigTN" (a large
// thumbnail as a complete JPEG). Every part can be left out or swapped to
// make the faulty files the tests need. Written independently of the reader.
#include <cstdint>
#include <string>
#include <vector>

struct MakerBlockSpec {
    bool zelt1 = true;
    std::string settingsText = "Lens: 50 mm\n";
    uint32_t imageNumber = 42;
    uint32_t balance[3][2] = {{1, 1}, {1, 1}, {1, 1}};
    uint16_t selector = 0, selector2 = 0, selector3 = 0;
    // The matrices of tags 2020 to 2023 (numerator, denominator), row-major.
    uint32_t matrices[4][9][2] = {};
    bool identityMatrices = true;
    uint16_t gainFlag = 1;
    uint32_t gainA = 0, gainB = 0;
    std::vector<uint16_t> curve; // empty: 1024 entries of 4 x i
    uint16_t outputProfileKind = 0;
    uint32_t reference[2] = {100, 1};

    bool meta = true;
    bool metaFirst = false; // the Meta block before the ZELT1 block
    bool previewDirectory = true;
    uint32_t formatVariant = 1;

    // The preview: 10-bit RGB, three values a pixel; empty: none.
    int previewWidth = 0, previewHeight = 0;
    std::vector<uint16_t> preview;
    uint8_t marker1 = 0xE6, marker2 = 0xE7;
    std::string identifier1 = "WQXA", identifier2 = "WQXB";
    size_t fragmentBytes = 60000;
    bool dropLastFragment = false;

    // The large thumbnail: a complete JPEG and the size written beside it.
    std::vector<uint8_t> largeThumbnail;
    uint16_t largeWidth = 0, largeHeight = 0;
};

class MakerBlockWriter {
public:
    static std::vector<uint8_t> Insert(const std::vector<uint8_t>& jpeg, const MakerBlockSpec& spec);
    // A 10-bit picture whose colour differences are the same in each 2 x 2
    // block, as the preview's coding carries them.
    static std::vector<uint16_t> PreviewPattern(int width, int height, uint32_t seed);
    // The coded chunks (stream 2) and the offsets of chunks 1.. (stream 1).
    static std::vector<uint8_t> EncodePreview(int width, int height, const std::vector<uint16_t>& pixels,
                                              std::vector<uint32_t>& offsets);
};

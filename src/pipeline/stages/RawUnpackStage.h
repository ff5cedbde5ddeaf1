#pragma once
// Expands rows of 8-bit companded sensor codes into 16-bit linear samples
// through one table per colour of the mosaic (even rows green, red …; odd rows
// blue, green …). Each table folds in the file's expansion curve, the white
// balance gain and a dark offset that is added at the first row and taken away
// one count every `period` rows towards the last. The stage also copies 16-bit
// data and widens 8-bit data for files that need no expansion.
#include <cstdint>

#include "TableBase.h"
#include "VqStatus.h"

namespace lumora {

class RawUnpackStage : public TableBase {
public:
    enum Mode : int32_t { Colour = 0, Monochrome = 1, Copy16 = 2, Widen8 = 3 };
    static constexpr int kCodes = 256;
    static constexpr uint16_t kMaximum = 0x7FFF;

    // One colour table: 256 entries, then the dark-offset step period and the
    // row the entries stand for.
    struct ColourTable {
        uint16_t entries[kCodes];
        uint16_t period;
        uint16_t counter;
    };

    RawUnpackStage();

    bool IsValid() const override { return sourceTable != nullptr; }

    VqStatus Configure(uint16_t offset, const uint16_t* source, uint16_t rowLength, uint16_t rows);
    VqStatus SetMode(int32_t mode);
    VqStatus SetRowLength(uint16_t length);
    VqStatus SetBalance(int32_t red, int32_t green, int32_t blue);
    VqStatus BuildMonochrome();

    // Rows are raw-image row numbers; first must be even and count even.
    VqStatus Unpack(const uint8_t* input, uint16_t* output, uint16_t first, uint16_t count);
    VqStatus UnpackThumbnail1(const uint8_t* input, uint16_t* output, uint16_t first, uint16_t count,
                              uint16_t step);
    VqStatus UnpackThumbnail3(const uint8_t* inRed, const uint8_t* inGreen, const uint8_t* inBlue,
                              uint16_t* outRed, uint16_t* outGreen, uint16_t* outBlue, uint16_t first,
                              uint16_t count, uint16_t step);

    int32_t mode = Colour;
    uint16_t offset = 0;
    const uint16_t* sourceTable = nullptr; // 256 entries, not owned
    uint16_t rows = 0;
    uint16_t rowLength = 0;
    ColourTable red{}, redWork{};
    ColourTable green{}, greenWork{};
    ColourTable blue{}, blueWork{};

    // One table built from the source curve (exposed for tests).
    static VqStatus BuildTable(ColourTable& table, int32_t offset, int32_t gain, const uint16_t* source,
                               uint16_t maximum, uint16_t rows);

private:
    static void BringToRow(ColourTable& work, uint32_t row);
    VqStatus UnpackPairs(const uint8_t* input, uint16_t* output, uint32_t first, uint32_t count, bool colour);
};

} // namespace lumora

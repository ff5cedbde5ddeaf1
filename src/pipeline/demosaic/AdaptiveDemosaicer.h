#pragma once
// Full-resolution demosaicing: green by gradient-plus-Laplacian direction choice,
// the two other colours by interpolated colour differences.
#include "Demosaicer.h"
#include "IntOps.h"
#include "ProcessorHasAvx2.h"

namespace lumora {

class AdaptiveDemosaicer : public Demosaicer {
public:
    AdaptiveDemosaicer();
    uint16_t SetMode(int mode) override;
    uint16_t Run(int16_t** planeG, int16_t** planeEven, int16_t** planeOdd) override;

    virtual uint16_t InterpolateGreen(const int16_t* contextAbove, const int16_t* strip,
                                      const int16_t* contextBelow, int16_t* planeG, int rowsPlus2,
                                      int width);
    virtual uint16_t Interpolate(const int16_t* contextAbove, const int16_t* strip,
                                 const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                 int16_t* planeOdd, int16_t** outG, int16_t** outEven, int16_t** outOdd,
                                 int rows, int width, int mode);

    // The sensor rows -3 ... rows+2 of a strip given as three separate buffers.
    struct SensorRows {
        const int16_t* above;
        const int16_t* strip;
        const int16_t* below;
        int rows;
        int width;
        const int16_t* Row(int r) const;
    };

    // Argument checks shared by every green step (null, size, parity), in their order.
    static uint16_t CheckGreenArguments(const int16_t* contextAbove, const int16_t* strip,
                                        const int16_t* contextBelow, const int16_t* planeG,
                                        int rowsPlus2, int width);
    // Greens copied into the bordered green plane; the outermost colour site of each
    // row takes the green beside it.
    static uint16_t PrepareGreenBorders(const int16_t* contextAbove, const int16_t* strip,
                                        const int16_t* contextBelow, int16_t* planeG, int rowsPlus2,
                                        int width);
    // The start of every Interpolate: the outputs point at the planes' strip
    // rows, and the green plane's borders are filled.
    static uint16_t StartInterpolation(const int16_t* contextAbove, const int16_t* strip,
                                       const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                       int16_t* planeOdd, int16_t** outG, int16_t** outEven, int16_t** outOdd,
                                       int rows, int width);
    // One row of the bordered green plane by the gradient-plus-Laplacian rule.
    void AdaptiveGreenRow(const SensorRows& s, int16_t* planeG, int row) const;
    // Measured greens of one strip row (plane rows gu, gc, gd around it) with at
    // least need flat neighbours (flag rows fu, fc, fd) take the mean of the four
    // greens beside them; the row's result goes to out, columns 2 ... width-3.
    template <typename Sample>
    static void ResmoothGreenRow(const int16_t* __restrict gu, const int16_t* __restrict gc,
                                 const int16_t* __restrict gd, const uint8_t* __restrict fu,
                                 const uint8_t* __restrict fc, const uint8_t* __restrict fd,
                                 Sample* __restrict out, int width, int greenParity, int32_t need) {
        for (int c = 2; c < width - 2; ++c) {
            const int32_t count = int32_t(fc[c - 1]) + fc[c + 1] + fu[c] + fd[c];
            const int32_t avg = asr32(int32_t(gc[c - 1]) + gc[c + 1] + gu[c] + gd[c] + 2, 2);
            const bool replace = ((c & 1) == greenParity) && count >= need;
            out[c] = replace ? Sample(avg) : Sample(gc[c]);
        }
    }
    // Which build of the green row kernels runs: the best the processor has,
    // or one forced for tests (AVX2 only where the processor has it).
    using Kernel = KernelChoice;
    void UseKernel(Kernel kernel) { kernel_ = kernel; }
    bool Avx2Runs() const;
    // Even-row and odd-row colours from colour differences against green; mode 1
    // adds green back and clamps negatives.
    static uint16_t InterpolateColours(const int16_t* contextAbove, const int16_t* strip,
                                       const int16_t* contextBelow, int16_t* planeG, int16_t* planeEven,
                                       int16_t* planeOdd, int rows, int width, int mode);

private:
    Kernel kernel_ = Kernel::Best;
};

} // namespace lumora

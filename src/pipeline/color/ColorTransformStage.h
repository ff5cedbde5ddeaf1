#pragma once
// Takes three 16-bit planes to output colours: first matrix, tone table on the
// brightness channel, second matrix and output table; or through the colour-
// management library's transform.
#include "DifferenceApplier.h"
#include "MatrixApplier.h"
#include "OcmsImageRecord.h"

#include <cstdint>
#include <memory>

class ColorTransformStage {
public:
    enum Mode : int32_t {
        ModeFull = 0,
        ModeMonochrome = 1,
        ModeNothing = 2,
        ModeFullSeparateTones = 3,
        ModeColourManaged = 4,
        ModePreMatrixOnly = 5,
    };
    // Ids of the settable fields, in field order, for FieldPointer.
    enum Field : int {
        FieldWidth,
        FieldHeight,
        FieldMode,
        FieldLeftSkip,
        FieldRightSkip,
        FieldFirstMatrix,
        FieldSecondMatrix,
        FieldWorkingMaximum,
        FieldSubsampled,
        FieldFirstTone,
        FieldMiddleTone,
        FieldLastTone,
        FieldOutputTable,
        FieldOutputSize,
        FieldTransformRecord,
        FieldCount
    };

    ColorTransformStage();
    ~ColorTransformStage() = default;
    ColorTransformStage(const ColorTransformStage&) = delete;
    ColorTransformStage& operator=(const ColorTransformStage&) = delete;

    void* FieldPointer(Field field);

    VqStatus Prepare();
    VqStatus Run(int16_t* p, int16_t* q, int16_t* r, int16_t* fourth);
    VqStatus Release();
    // The colour-managed transform lives in the colour library's session and
    // the record's own matrix is balanced in place when prepared: such a
    // stage is prepared once per rendering and runs one strip at a time.
    bool RunsOneAtATime() const { return mode == ModeColourManaged || mode == ModePreMatrixOnly; }

    static int32_t SensorSizeClass(int32_t width, int32_t height);

    uint16_t width = 0;
    uint16_t height = 0;
    int32_t mode = 0;
    int32_t leftSkip = 0;
    int32_t rightSkip = 0;
    RationalValue firstMatrix[9] = {};
    RationalValue secondMatrix[9] = {};
    int32_t workingMaximum = 0;
    int32_t subsampled = 0;
    const uint16_t* firstTone = nullptr;
    const uint16_t* middleTone = nullptr;
    const uint16_t* lastTone = nullptr;
    const uint16_t* outputTable = nullptr;
    int32_t outputSize = 0;
    OcmsImageRecord* transformRecord = nullptr;

    std::unique_ptr<DifferenceApplier> firstApplier;
    std::unique_ptr<MatrixApplier> secondApplier;
    std::unique_ptr<MatrixApplier> recordApplier;

    // Runs the conversion of modes 0 and 3 through its plain per-pixel
    // reference instead of the fast kernel, for tests that compare the two.
    void UseReference(bool on) { reference_ = on; }
    // Which fast kernel runs: the best the processor has, or one forced for
    // tests (AVX2 only where the processor has it).
    enum class Kernel { Best, Portable, Avx2 };
    void UseKernel(Kernel kernel) { kernel_ = kernel; }

private:
    void ConvertRows(int16_t* p, int16_t* q, int16_t* r) const;
    void ConvertRowsReference(int16_t* p, int16_t* q, int16_t* r) const;
    template <bool SeparateTones, typename FirstSum, typename SecondSum>
    void ConvertRowsFast(int16_t* p, int16_t* q, int16_t* r) const;
    bool reference_ = false;
    Kernel kernel_ = Kernel::Best;
    bool Avx2Runs() const;
    void ApplyRecordMatrix(int16_t* p, int16_t* q, int16_t* r) const;
    int64_t Stride() const { return int64_t(leftSkip) + width + rightSkip; }
};

#include "SdkCurveSet.h"

#include <cstdlib>

#include "LutStage.h"

namespace lumora {

namespace {

constexpr uint32_t kSpeeds[] = {6,    8,    10,    12,    16,    20,    25,    32,
                                40,   50,   64,    80,    100,   125,   160,   200,
                                250,  320,  400,   500,   640,   800,   1000,  1250,
                                1600, 2000, 2500,  3200,  4000,  5000,  6400,  8000,
                                10000, 12500, 16000, 20000, 25000, 32000};
constexpr int32_t kFirstCode = 128;
constexpr int32_t kRecordWords = 15;
constexpr int32_t kMaxSets = 40;

} // namespace

uint32_t SdkFilmSpeedForCode(int32_t code) {
    if (code == 255) return 100000;
    const int32_t i = code - kFirstCode;
    if (i < 0 || i >= int32_t(sizeof kSpeeds / sizeof kSpeeds[0])) return 0;
    return kSpeeds[i];
}

bool SdkFindCurveSet(const int16_t* table, uint32_t speed, int32_t* setIndex, uint16_t* code,
                     size_t wordCount) {
    if (!table || !setIndex) return false;
    *setIndex = 0;
    if (wordCount < 1) return false;
    const int32_t count = table[0];
    if (count < 1 || count > kMaxSets) return false;
    if (wordCount < size_t(1 + count)) return false;

    const uint32_t firstSpeed = SdkFilmSpeedForCode(table[1]);
    const uint32_t lastSpeed = SdkFilmSpeedForCode(table[count]);
    if (firstSpeed == 0 || lastSpeed == 0) return false;
    int32_t lower = 0, upper = count - 1;
    uint32_t lowerSpeed = firstSpeed, upperSpeed = lastSpeed;
    int32_t chosen = -1;
    for (int32_t k = 0; k < count; ++k) {
        const uint32_t s = SdkFilmSpeedForCode(table[1 + k]);
        if (s == 0) continue;
        if (s == speed) {
            chosen = k;
            break;
        }
        if (s < speed && s > lowerSpeed) {
            lower = k;
            lowerSpeed = s;
        }
        if (s > speed && s < upperSpeed) {
            upper = k;
            upperSpeed = s;
        }
    }
    if (chosen < 0) {
        const int64_t dl = std::llabs(int64_t(speed) - int64_t(lowerSpeed));
        const int64_t du = std::llabs(int64_t(speed) - int64_t(upperSpeed));
        chosen = dl < du ? lower : upper;
    }
    *setIndex = chosen;
    if (code) *code = uint16_t(table[1 + chosen]);
    return true;
}

VqStatus SdkBuildCurveSetLuts(uint16_t speed, uint16_t** red, uint16_t** green, uint16_t** blue,
                              int32_t* length, const int16_t* table, size_t wordCount) {
    if (!red || !green || !blue || !length) return VQ_ERR_BAD_HANDLE;
    *red = *green = *blue = nullptr;
    int32_t index = 0;
    if (!SdkFindCurveSet(table, speed, &index, nullptr, wordCount)) return VQ_ERR_BAD_FILE;
    if (!table) return VQ_ERR_BAD_HANDLE;
    const int32_t count = table[0];
    if (index >= count) return VQ_ERR_BAD_FILE;
    // Every record must be there before one is read.
    if (wordCount < size_t(1 + count) + size_t(kRecordWords) * size_t(count))
        return VQ_ERR_BAD_FILE;
    const int16_t* record = table + 1 + count + kRecordWords * index;

    uint16_t** outs[3] = {red, green, blue};
    int32_t sizes[3] = {0, 0, 0};
    VqStatus status = VQ_OK;
    for (int k = 0; k < 3 && status == VQ_OK; ++k)
        status = LutStage::BuildFromKnots(2, record + 3 + 4 * k, outs[k], &sizes[k]);
    if (status == VQ_OK && (sizes[0] != sizes[1] || sizes[1] != sizes[2])) status = VQ_ERR_BAD_FILE;
    if (status != VQ_OK) {
        // Nothing half-built is handed back.
        for (uint16_t** out : outs) {
            delete[] *out;
            *out = nullptr;
        }
        return status;
    }
    *length = sizes[0];
    return VQ_OK;
}

} // namespace lumora

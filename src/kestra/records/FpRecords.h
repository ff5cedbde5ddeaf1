#pragma once
// The processor's records. All but FpShared and the two contexts live in
// movable buffers of the colour library and are touched only while locked;
// they refer to each other by handle. Pointer fields are filled by a lock and
// cleared by the matching unlock.
#include "FpProgress.h"
#include "ORVEXCMS.h"

#include <cstdint>

namespace kestra {

using Handle = uint32_t;

constexpr uint32_t kFilterMagic = 0x66696C74;      // 'filt'
constexpr uint32_t kFilterMagicSwapped = 0x746C6966;
constexpr uint32_t kKernelBlockWord = 48;
constexpr uint32_t kKernelFlag = 0x30000;
constexpr uint32_t kFormatVersion = 2;
constexpr uint32_t kHeaderSize = 500;
constexpr uint32_t kHeaderWords = 9;
constexpr uint32_t kHeaderReserved = 464;
constexpr uint32_t kMaxHeaderAndText = 16384;
constexpr uint32_t kKernelBlockHeaderSize = 52;
constexpr uint32_t kKernelBlockSlack = 160; // room the size bound keeps beside the samples
constexpr int32_t kMaxValueLength = 1020;
constexpr int32_t kListGrowth = 100;
constexpr int kEvalKindSlots = 10;
constexpr uint32_t kSeparableKind = 5;
constexpr int kKernelSlots = 6;
constexpr int kSlotGain = 2;    // slot numbers count from 1
constexpr int kSlotKernels = 3;
constexpr int kSlotCurrent = 4;

// The 500-byte header of a stored filter, in native order.
struct FpFilterHeader {
    enum Word { Magic, Version, TextLength, Word3, Word4, KernelFlag, Word6, Word7, Word8 };
    uint32_t words[kHeaderWords];
    uint8_t reserved[kHeaderReserved];
};

// One one-dimensional pass of an affine stage: for output sample x of output
// line y the position on the input line is A0 x + A1 y + A2 (16.16).
struct FpPassTable {
    int32_t a0;
    int32_t a1;
    int32_t a2;
    int32_t word3;
    int32_t unset[2];
    uint8_t inputColumns;
    uint8_t outputColumns;
};

// A stage: its matrix (rows 0 and 1 are the coordinate maps of axes 1 and 2),
// the two passes, their resampler levels and whether each axis resamples.
struct FpAffineStage {
    double matrix[9];
    FpPassTable pass[2];
    int32_t level[2];
    int32_t resampled[2];
};

// The affine plan: k - 1 runs of the repeated stage, then the final stage.
struct FpGeometry {
    double matrix[9]; // axis-ordered, before elimination
    FpAffineStage repeated;
    FpAffineStage final;
    uint16_t recentre;
    int32_t stages;
    int32_t word;
};

struct FpFilter {
    Handle self;
    Handle header;
    Handle attributes;
    Handle kernels; // 0: attributes only
    FpGeometry geometry;
};

struct FpTableSlot {
    struct FpKernelTable* table;
    Handle handle;
};

struct FpKernelSet {
    uint32_t magic;
    uint32_t version;
    FpTableSlot slots[kKernelSlots];
    uint32_t threshold;
    Handle self;

    FpTableSlot& slot(int number) { return slots[number - 1]; }
};

struct FpKernelTable {
    uint32_t headerWord;
    int32_t taps;
    int32_t variants;
    int32_t levels;
    int32_t bytesPerSample;
    int32_t fractionBits;
    int32_t word6;
    char kindName[4];
    uint32_t word8;
    int32_t secondTable;
    uint32_t word10;
    uint32_t word11;
    uint32_t word12;
    int32_t log2Taps;
    int32_t log2Variants;
    int32_t log2Levels;
    uint32_t spare[3];
    uint32_t sampleCount;
    void* samples;
    Handle sampleHandle;
    Handle secondHandle;
    void* second;
};

struct FpAttributePair {
    int32_t id;
    Handle text;
};

// Followed in its buffer by capacity pairs.
struct FpAttributeList {
    int32_t count;
    int32_t capacity;

    FpAttributePair* pairs() { return reinterpret_cast<FpAttributePair*>(this + 1); }
};

struct FpEvalKind {
    uint32_t kind; // 0 = free slot
    uint32_t users;
};

struct FpShared {
    uint32_t word;
    FpEvalKind kinds[kEvalKindSlots];
    void* module;
    void* moduleAgain;
    uint32_t options;
};

struct FpProcessContext {
    uint32_t users;
    alignas(8) VxCriticalSection lock; // holds a pointer: kept on a word boundary
    FpShared* shared;
};

struct FpThreadContext {
    FpProcessContext* process;
    uint32_t useCount;
    uint32_t words[3];
    int32_t taps;
    FpGeometry geometry;
    FpProgressState progress;
};

struct FpInitOptionsRecord {
    uint32_t size;
    uint32_t options;
};

} // namespace kestra

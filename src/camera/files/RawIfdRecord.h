#pragma once
// What one directory read of a raw file's head yields. Filled by
// RawTiffReader::ReadIfd and re-initialised at the start of every read, so the
// last directory read wins; callers copy what they need between reads.
#include <cstdint>

// A value the camera did not record.
constexpr int32_t kRawAbsent = -9999;
constexpr float kRawAbsentFloat = -9999.0f;

// A count and the 32-bit value word (an offset, or inline data) of one entry.
struct RawTagRef {
    uint32_t count = 0;
    uint32_t offset = 0;
};

// Nine rationals row by row: numerator, denominator, numerator, ...
using RawMatrixWords = uint32_t[18];
// Three rationals: a balance triple.
using RawTripleWords = uint32_t[6];

struct RawIfdRecord {
    // Bookkeeping.
    uint16_t entryCount;
    uint32_t nextIfd;
    uint32_t bigEndian;
    uint8_t outOfOrder;

    // Main and sub-directory tags.
    uint32_t newSubfileType;             // 254
    uint32_t width;                      // 256
    uint32_t height;                     // 257
    uint16_t bitsPerSample[5];           // 258
    uint32_t bitsPerSampleCount;
    uint16_t compression;                // 259
    uint16_t photometric;                // 262
    char description[512 + 1];           // 270
    uint32_t descriptionCount;
    uint32_t descriptionOffset;
    char make[16 + 1];                   // 271
    char model[16 + 1];                  // 272
    uint32_t modelCount;
    uint32_t stripOffsets[5];            // 273
    uint32_t stripOffsetsCount;
    uint16_t samplesPerPixel;            // 277
    uint32_t rowsPerStrip;               // 278
    uint32_t stripByteCounts[5];         // 279
    uint32_t stripByteCountsCount;
    uint16_t minSampleValue;             // 280
    uint16_t maxSampleValue;             // 281
    uint16_t planarConfiguration;        // 284
    uint16_t grayResponseUnit;           // 290
    RawTagRef grayResponseCurve;         // 291
    char software[20 + 1];               // 305
    uint32_t softwareCount;
    char dateTime[20 + 1];               // 306
    char artist[32 + 1];                 // 315
    uint32_t subIfds[5];                 // 330
    uint32_t subIfdCount;
    char model2[20 + 1];                 // 33405
    uint32_t model2Count;
    int32_t cfaPattern;                  // 33422
    uint32_t privateIfd;                 // 33424
    int32_t exposureTime[2];             // 33434 numerator, denominator
    float fNumber;                       // 33437
    uint32_t iptcLength;                 // 33723: type size x count
    uint32_t iptcOffset;
    uint32_t iptcEntryOffset;
    int16_t exposureProgram;             // 34850
    float exposureBias;                  // 37380
    float subjectDistance;               // 37382
    int16_t meteringMode;                // 37383
    int16_t flash;                       // 37385
    float focalLength;                   // 37386
    uint32_t imageNumber;                // 37393
    float exposureIndex;                 // 37397
    uint32_t sensingMethodEntry;         // 37399: offset of the entry itself
    char settingsText[64 + 1];           // 65535 (UNDEFINED)
    uint32_t settingsTextCount;

    // Private directory.
    RawTagRef cameraText;                // 1001: count and data offset, checked inside the buffer
    int32_t cameraSettingWord;                 // 1002
    uint32_t cameraSettingWordPosition;        //   file position of its value
    uint32_t leftMargin;                 // 1003
    uint32_t topMargin;                  // 1004
    uint32_t activeWidth;                // 1005
    uint32_t activeHeight;               // 1006
    uint32_t hiddenValue2;                  // 1007
    uint32_t hiddenValue3;                  // 1008
    RawTagRef settingsData;              // 1009 (offset starts absent)
    int16_t cameraSettingA;                 // 1010
    float cameraSettingRatio;                   // 1011
    int16_t cameraSettingB;                 // 1012
    int16_t cameraSettingC;                 // 1013
    uint16_t rendererPrivate;                  // 1018
    uint16_t cameraPreset;               // 1020
    RawTagRef storedSettings;            // 1021 (or 65535: count 0, value + 40)
    uint32_t hiddenValue6;                  // 1022
    uint32_t hiddenValue7;                  // 1023
    RawTagRef extraData;                 // 1026 (offset starts absent)
    float hiddenFloats[8];                 // 1033
    uint16_t cameraWhiteBalance[3];        // 1036
    RawTagRef columnOffsets;             // 1039
    RawTagRef rowOffsets;                // 1040

    RawMatrixWords lookAMatrices[6];     // 2000..2004, 3620/3630/3640/3650 -> 0..3
    RawMatrixWords balanceMatrices[6];   // 2010..2014
    RawMatrixWords presetMatrices[6];    // 2020..2025
    RawMatrixWords lookBMatrices[6];     // 3621, 3631, 3641, 3651 -> 0..3
    RawMatrixWords colorMatrices;        // 2300
    RawMatrixWords lookMatrix;           // 2340
    RawTripleWords balanceTriples[6];    // 2120..2125
    uint32_t balanceTriple0Word;                  // 2120 value word
    float presetGains[5];                // 2200..2204
    RawTagRef toneCurve0;                // 2301
    RawTagRef outputCurve;               // 2305
    float cameraRgbGainScale;                 // 2306
    uint16_t private2310;                  // 2310
    RawTagRef badColumns;                // 2311
    uint32_t thumbTableOn;               // 2313
    RawTagRef thumbTable;                // 2315
    RawTagRef thumbSourceTable;          // 2317
    float private2318;                     // 2318
    uint16_t private2319;                  // 2319
    float sensitivityPairs[4][2];        // 2320..2323
    int16_t greyTestValue;                // 2330
    uint32_t greyTestRatio[2];            // 2331 numerator, denominator
    uint32_t sharpenSelectPresent;         // 2350 seen
    uint16_t sharpenSelect;                // 2350 value (SHORT only)
    int16_t sharpenKernel[25];           // 2351
    uint16_t sharpen1;                   // 2352
    uint16_t sharpen2;                   // 2353
    uint16_t sharpen3;                   // 2354
    uint16_t sharpenKernelHead[3];       // 2355
    uint16_t sharpen4;                   // 2356
    uint16_t sharpen5;                   // 2357
    RawTagRef toneCurve1;                // 2341 or 3610
    uint32_t private2400;                  // 2400
    uint32_t private2401;                  // 2401
    uint32_t gainTileWidth;              // 2402
    uint32_t gainTileHeight;             // 2403
    RawTagRef gainMap;                   // 2404 or 2408
    uint32_t concealTable;           // 2570 value word (where the table lies)
    uint32_t concealTableCount;      //   and count
    RawTagRef f2ByteTable;             // 3100
    RawTagRef f2CurveA;                  // 3107 or 3608
    RawTagRef f2CurveB;                  // 3108 or 3609
    uint16_t curveShorts[3];             // 3109, 3110, 3111
    uint32_t curveLongs[3];              // 3122, 3123, 3124
    uint32_t curveFlag;                   // 3125: 1 when non-zero
    uint16_t directionThresholdH;        // 3131
    uint16_t directionThresholdV;        // 3132
    uint16_t curveShorts2[5];            // 3142..3146
    uint32_t fileGeneration;             // 3200
    uint32_t fileVersion;                // 3502
    RawTagRef colourCurveSets;          // 3601
    RawTagRef colourKnotLists;          // 3602
    uint32_t colourTableGeneration;      // 3604
    RawTagRef f2FinalTable;            // 3605
    RawTagRef f2ShiftedTable;          // 3606
    RawTagRef f2OutputCurve;           // 3607
    RawTagRef f2ToneCurve;           // 3611
    uint16_t demosaicThreshold;          // 3662
    uint32_t private3680;                  // 3680
    uint32_t private3681;                  // 3681
    uint32_t private3692;                  // 3692
    int32_t private3693;                 // 3693
};

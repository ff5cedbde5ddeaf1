/* Image records of the Vq camera interface and the image calls.
 * Plain C: an outside program that declares the same fields in the same order
 * gets the same layout. Pointer fields are native pointers. */
#ifndef LUMORA_VQ_IMAGE_H
#define LUMORA_VQ_IMAGE_H

#include <stdint.h>
#include "VqApi.h"
#include "VqStatus.h"
#include "VqOutputTypes.h"
#include "VqRect.h"
#include "VqImageBuffer.h"

VQ_BEGIN_DECLS

/* White-balance types of VqSetWhiteBalance. */
#define VQ_WB_DAYLIGHT    1u
#define VQ_WB_TUNGSTEN    2u
#define VQ_WB_FLUORESCENT 3u
#define VQ_WB_FLASH       4u
#define VQ_WB_CUSTOM      5u
#define VQ_WB_NONE        6u

/* Bits of ImageInfoRecord.flags. */
#define VQ_IMAGE_READ_ONLY          0x0001u
#define VQ_IMAGE_SETTINGS_VALID     0x0002u
#define VQ_IMAGE_MEASURED_BALANCE   0x0004u
#define VQ_IMAGE_SHARPEN_AVAILABLE  0x0010u
#define VQ_IMAGE_RAW_CLASS          0x0080u
#define VQ_IMAGE_JPEG_CONVERSION    0x0100u
#define VQ_IMAGE_COLOUR             0x0200u
#define VQ_IMAGE_CHROMA_SETTINGS    0x0400u

/* Extension ids of VqGetExtension and VqSetExtension. VqSetExtension's data
 * argument is word 0 of the value (its low 32 bits), w1 to w4 are words 1 to 4. */
#define VQ_EXT_SETTING_0        0u
#define VQ_EXT_SETTING_BLOCK    18u
#define VQ_EXT_LOOK             19u
#define VQ_EXT_WHITE_BALANCE    20u
#define VQ_EXT_LOOK_SET         21u
#define VQ_EXT_SHARPENING       22u
#define VQ_EXT_CHROMA_FILTER    23u
#define VQ_EXT_PARAM_78         24u
#define VQ_EXT_EXPOSURE         25u
#define VQ_EXT_IPTC             26u
#define VQ_EXT_LOOK_COUNT       27u
#define VQ_EXT_LOOK_NAMES       28u
#define VQ_EXT_RESOLUTION       29u
#define VQ_EXT_BALANCE_PRESET   30u
#define VQ_EXT_BALANCE_RATIOS   31u
#define VQ_EXT_FILE_DATE        32u
#define VQ_EXT_SDK_VERSION      37u
#define VQ_EXT_SETTINGS_TRIPLE  38u
#define VQ_EXT_RANGE_TRIPLE_1   39u
#define VQ_EXT_RANGE_TRIPLE_3   41u
#define VQ_EXT_TRIPLE_43        43u
#define VQ_EXT_PARAM_70         44u

/* White-balance state of a raw image (value of VQ_EXT_WHITE_BALANCE, 20 bytes).
 * mode: 0 off, 1 on (2 when set: keep the current mode); preset: 0..3 the file's
 * presets, 4 the camera's choice, 5 the measured balance; kind: 0 triple from
 * the preset, 1 the caller's triple (2 when set: keep the current kind). When
 * set, R and G travel as one word (R in the low half) and B as the next. */
typedef struct VqWhiteBalanceMode {
    int32_t mode;
    int32_t preset;
    int32_t kind;
    uint16_t r;
    uint16_t g;
    uint16_t b;
    uint16_t padding;
} VqWhiteBalanceMode;

/* Exposure record of VQ_EXT_EXPOSURE (get): stops, availability, 0. On set,
 * word 0 holds the bits of the float value in stops. */
typedef struct VqExposureRecord {
    float stops;
    int32_t available;
    int32_t reserved;
} VqExposureRecord;

/* Sharpening record of VQ_EXT_SHARPENING (get): mode 0 off, 1 or 2; level
 * 0..100; available flag; second-mode word. On set, words 0 and 1 are the mode
 * and the level. */
typedef struct VqSharpeningRecord {
    int32_t mode;
    int32_t level;
    int32_t available;
    int32_t secondMode;
} VqSharpeningRecord;

/* IPTC record of VQ_EXT_IPTC: the block's length, the block (null when the
 * length is 0) and a word (bit 0 set: keep the block without writing it). On
 * set, the extension's data pointer points at such a record. */
typedef struct VqIptcRecord {
    uint32_t length;
    const void* data;
    uint32_t word;
} VqIptcRecord;

/* Chroma filter record of VQ_EXT_CHROMA_FILTER (get): level 0 or 100,
 * available value, 0. */
typedef struct VqChromaRecord {
    int32_t level;
    int32_t available;
    int32_t reserved;
} VqChromaRecord;

/* Layout record of hidden property 16: where the sensor data and the header
 * image lie, the raw-data cache and thumbnail buffer in use, and the file's
 * size as the camera lists it. */
typedef struct VqLayoutRecord {
    uint32_t dataOffset;
    const void* cache;
    uint32_t bytesPerSample;
    uint32_t width;
    uint32_t height;
    uint32_t headerStripOffset;
    const void* thumbnail;
    uint32_t ifd0FirstStrip;
    uint32_t reserved;
    uint32_t fileSize;
} VqLayoutRecord;

/* Model families and file kinds as the record reports them. */
#define VQ_FAMILY_UNKNOWN    4
#define VQ_FILE_RAW_TIFF     0
#define VQ_FILE_CAMERA_JPEG  1
#define VQ_FILE_RGB_TIFF     3
#define VQ_FILE_UNKNOWN      4

/* Sizes of the picture as the current settings deliver it. */
typedef struct ImageGeometry {
    int32_t channels;
    int32_t bytesPerSample;
    int32_t activeWidth;
    int32_t activeHeight;
    int32_t fullWidth;
    int32_t fullHeight;
    int32_t fullBytes;
    int32_t outputWidth;
    int32_t outputHeight;
    int32_t stripBytes;
    int32_t outputBytes;
    int32_t cacheBytes;
    int32_t reserved;
    int32_t workBytes;
    int32_t frameBytes;
} ImageGeometry;

/* The caller-owned record of every image call. Texts point into the image and
 * stay valid until the next call on the same image. */
typedef struct ImageInfoRecord {
    uint32_t outputType;
    int32_t imageIndex;
    char* name;
    uint16_t reserved;
    uint8_t padding1[2];
    int32_t dataBytes;
    int32_t isColour;
    uint16_t soundInfo;
    uint8_t padding2[2];
    uint32_t descriptionLength;
    char* description;
    uint32_t modelLength;
    char* model;
    uint32_t model2Length;
    char* model2;
    uint32_t processingDataLength;
    void* processingData;
    uint32_t softwareLength;
    char* software;
    uint32_t settingsDataLength;
    void* settingsData;
    uint32_t extraDataLength;
    void* extraData;
    uint32_t cameraTextLength;
    char* cameraText;
    int16_t date[9];
    uint8_t padding3[2];
    ImageGeometry geometry;
    int32_t handle;
    int32_t modelFamily;
    int32_t modelId;
    int32_t fileKind;
    uint32_t colourSpace;
    uint32_t flags;
    int32_t whiteBalanceFileStatus;
} ImageInfoRecord;

/* A path handed whole, as a fixed record of VQ_PATH_BYTES characters. */
typedef struct VqPathRecord {
    char path[VQ_PATH_BYTES];
} VqPathRecord;

/* Options of VqConvertToJPEG: size 0 full, 1 two thirds, 2 one half; quality
 * 0 (finest) to 2; creator unused here; keepFileDate 0 gives the file the date
 * of the image's source file; overwrite non-zero replaces an existing file. */
typedef struct JpegOptionsRecord {
    int32_t size;
    int32_t quality;
    uint32_t creator;
    int32_t keepFileDate;
    int32_t overwrite;
} JpegOptionsRecord;

/* One sound file of an image. */
typedef struct SoundInfoRecord {
    uint32_t reserved;
    int32_t index;
    uint32_t size;
    char name[256];
} SoundInfoRecord;

VQ_API VqStatus VqSetProcessingDirectory(ImageInfoRecord* record, VqPathRecord path);
VQ_API VqStatus VqGetProcessingDirectory(ImageInfoRecord* record, char* out);
/* Writes the image's thumbnail at destination in one piece, row after row, at
 * the current output type, rotation and pad bytes: thumbnail height x (pad bytes
 * + channels x bytesPerSample x thumbnail width) bytes. The thumbnail is never
 * larger than the whole stored image, so a destination of the record's
 * geometry.fullBytes bytes (as the interface last filled it) always suffices;
 * a file whose thumbnail would not fit answers VQ_ERR_BAD_FILE. */
VQ_API VqStatus VqGetThumbnail(ImageInfoRecord* record, void* destination);
VQ_API VqStatus VqGetImage(ImageInfoRecord* record, ImageBufferRecord* buffer, ProgressRecord* progress);
VQ_API VqStatus VqLoadCache(ImageInfoRecord* record, void* buffer, int32_t steps, int32_t* done);
VQ_API VqStatus VqDecompressCache(ImageInfoRecord* record, void* scratch);
VQ_API VqStatus VqCleanupCache(ImageInfoRecord* record);
VQ_API VqStatus VqSaveProcessParameters(ImageInfoRecord* record);
VQ_API VqStatus VqGetSoundInfo(ImageInfoRecord* record, int32_t index, SoundInfoRecord* out);
VQ_API VqStatus VqGetSound(ImageInfoRecord* record, SoundInfoRecord* info, void* buffer);
VQ_API VqStatus VqSetImageType(ImageInfoRecord* record, uint32_t type);
VQ_API VqStatus VqGetImageType(ImageInfoRecord* record, uint32_t* out);
VQ_API VqStatus VqSetRotateType(ImageInfoRecord* record, float degrees);
VQ_API VqStatus VqGetRotateType(ImageInfoRecord* record, float* out);
VQ_API VqStatus VqSetWhiteBalance(ImageInfoRecord* record, uint32_t type, const uint16_t* triple);
VQ_API VqStatus VqGetWhiteBalance(ImageInfoRecord* record, uint32_t* type, uint16_t* triple);
VQ_API VqStatus VqCalculateWhiteBalance(ImageInfoRecord* record, const SdkRect* area, uint16_t* out);
VQ_API VqStatus VqSetOutputWindow(ImageInfoRecord* record, const SdkRect* window);
VQ_API VqStatus VqGetOutputWindow(ImageInfoRecord* record, SdkRect* out);
VQ_API VqStatus VqSetSubSample(ImageInfoRecord* record, int16_t factor);
VQ_API VqStatus VqGetSubSample(ImageInfoRecord* record, int16_t* out);
VQ_API VqStatus VqSetImagePadBytes(ImageInfoRecord* record, uint8_t pad);
VQ_API VqStatus VqGetImagePadBytes(ImageInfoRecord* record, uint8_t* out);
VQ_API VqStatus VqSetImageDescription(ImageInfoRecord* record, uint32_t length, const char* text);
VQ_API VqStatus VqGetHidden(ImageInfoRecord* record, uint32_t id, void* out);
VQ_API VqStatus VqSetHidden(ImageInfoRecord* record, uint32_t id, void* value);
VQ_API VqStatus VqGetExtension(ImageInfoRecord* record, uint32_t id, void* out);
VQ_API VqStatus VqSetExtension(ImageInfoRecord* record, uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4);
VQ_API VqStatus VqWriteWhiteBalanceFile(ImageInfoRecord* record, const VqPathRecord* path, void* data);
/* Writes the image as a baseline JPEG file at path (see JpegOptionsRecord). */
VQ_API VqStatus VqConvertToJPEG(ImageInfoRecord* record, const VqPathRecord* path, ImageBufferRecord* buffer,
                                ProgressRecord* progress, const JpegOptionsRecord* options);

VQ_END_DECLS

#endif

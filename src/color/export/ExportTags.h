#pragma once
// The tags the exporters write by name, beside the builder's own.
#include <cstdint>

namespace NimbalCore {

enum ExportTag : uint16_t {
    TagNewSubfileType = 254,
    TagImageWidth = 256,
    TagImageLength = 257,
    TagBitsPerSample = 258,
    TagCompression = 259,
    TagPhotometric = 262,
    TagImageDescription = 270,
    TagMake = 271,
    TagModel = 272,
    TagStripOffsets = 273,
    TagSamplesPerPixel = 277,
    TagRowsPerStrip = 278,
    TagStripByteCounts = 279,
    TagXResolution = 282,
    TagYResolution = 283,
    TagPlanarConfiguration = 284,
    TagResolutionUnit = 296,
    TagSoftware = 305,
    TagDateTime = 306,
    TagFurtherSettingsData = 1026, // the camera's further settings data, from a raw file's private directory
    TagPrivateIFD = 33424,
    TagCopyright = 33432,
    TagIPTC = 33723,
    TagExifIFD = 34665,
    TagICCProfile = 34675,
    TagGPSInfoIFD = 34853,
    TagISOSpeedRatings = 34855,
    TagExifVersion = 36864,
    TagDateTimeOriginal = 36867,
    TagDateTimeDigitized = 36868,
    TagComponentsConfiguration = 37121,
    TagFlashpixVersion = 40960,
    TagColorSpace = 40961,
    TagRelatedSoundFile = 40964,
    TagInteroperabilityIFD = 40965,
    TagExposureIndex = 41493,
    TagCFAPattern = 41730,
    // The private directory's own tags.
    PrivTagDirectoryVersion = 0,
    PrivTagCameraSettingsText = 1009,
    PrivTagExportMarker = 3302,
    PrivTagOutputColorSpace = 3303,
};

} // namespace NimbalCore

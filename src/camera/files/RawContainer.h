#pragma once
// The rules of the raw file container: where the header ends, what the version
// word says, and which kind of file a head of bytes is.
//
// A raw file is a TIFF structure: IFD0 with descriptive tags, SubIFDs[0] the
// header image (inside the header), SubIFDs[1] the sensor data (after the
// header), and a private directory reached through tag 33424. The word at
// offset 8 is the header length. IFD0's ImageWidth/ImageLength of a raw file of
// families 1 to 3 give the header image's size (at most 512), so that only a
// file whose IFD0 carries the picture itself is taken for an RGB TIFF.
#include <cstdint>

#include "ByteView.h"
#include "LookTable.h"
#include "ModelTable.h"
#include "RawIfdRecord.h"
#include "VqStatus.h"

class RawContainer {
public:
    // The header length word is never taken above this.
    static constexpr uint32_t kMaxHeaderLength = 1000000;
    // An IFD0 wider than this, of a known model, is an RGB TIFF.
    static constexpr uint32_t kRgbMinWidth = 512;
    // Offset of the TIFF header from the APP1 marker's first byte in a camera JPEG file.
    static constexpr uint32_t kApp1TiffOffset = 10;

    // The word at offset 8, limited to kMaxHeaderLength; 0 when the writer left it empty.
    static VqStatus HeaderLength(lumora::ByteView tiff, uint32_t& length);
    // The first strip offset of the second sub-directory: the header length of a
    // file whose word at offset 8 is 0. Held to the same cap as the word and,
    // when fileSize is known (not 0), to the file: the TIFF structure starts
    // tiffOffset bytes into a file of fileSize bytes.
    static VqStatus HeaderLengthFromSubIfd(lumora::ByteView tiff, uint32_t& length, uint64_t fileSize = 0,
                                           uint32_t tiffOffset = 0);

    // Private tag 3502: major number in the top byte, minor in the next.
    static constexpr uint32_t VersionMajor(uint32_t word) { return word >> 24; }
    static constexpr uint32_t VersionMinor(uint32_t word) { return (word >> 16) & 0xFF; }
    static constexpr uint32_t MakeVersion(uint32_t major, uint32_t minor) {
        return (major & 0xFF) << 24 | (minor & 0xFF) << 16;
    }

    // Reads IFD0 and the private directory it points to (the looks into looks,
    // when given). A file without a private directory is refused.
    static VqStatus ReadMainAndPrivate(lumora::ByteView tiff, RawIfdRecord& main, RawIfdRecord& privateIfd,
                                       LookTable* looks);

    static bool IsJpegStart(lumora::ByteView head);
    static bool IsTiffStart(lumora::ByteView head);
    // The kind (lumora::vq::FileKind) a file of the given entry kind becomes
    // once its IFD0 width and model id are known: a raw TIFF entry with a wide
    // IFD0 and a known model is an RGB TIFF; everything else keeps its kind.
    static int32_t RecogniseKind(int32_t entryKind, uint32_t ifd0Width, int32_t modelId);
};

#pragma once
// One conversion of an open image to a baseline JPEG file: the image is
// rendered through the interface's own image calls into the caller's strip
// buffer, each strip scaled (full size, two thirds or one half) and compressed
// as it arrives, with the Photoshop block (IPTC record, resolution) written
// after the JFIF header. The image's output type, subsample factor and pad
// bytes are put back afterwards; a failed conversion leaves no file.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "JpegQuantTables.h"
#include "SdkFile.h"
#include "SdkJpegErrorManager.h"
#include "VqImage.h"

namespace lumora::vq {

class JpegConverter {
public:
    static constexpr uint32_t kOutputBufferBytes = 64 * 1024;
    // The APP13 block goes right after SOI and the JFIF APP0 segment.
    static constexpr uint32_t kBlockInsertAt = 20;

    JpegConverter(ImageInfoRecord* record, const VqPathRecord* path, ImageBufferRecord* buffer,
                  ProgressRecord* progress, const JpegOptionsRecord* options);
    ~JpegConverter();
    JpegConverter(const JpegConverter&) = delete;
    JpegConverter& operator=(const JpegConverter&) = delete;

    uint32_t Run();

    // Two thirds: each 3 x 3 group of c-byte pixels becomes 2 x 2; one half:
    // each 2 x 2 block becomes one pixel. rows and width are the source's;
    // out receives (rows / 3 * 2) or (rows / 2) rows.
    static void ScaleTwoThirds(const uint8_t* in, uint8_t* out, uint32_t rows, uint32_t width, uint32_t c);
    static void ScaleHalf(const uint8_t* in, uint8_t* out, uint32_t rows, uint32_t width, uint32_t c);

private:
    uint32_t Prepare();
    uint32_t Compress();
    void Restore();
    uint32_t WriteRows(uint8_t* rows, uint32_t count);
    uint8_t* OnStrip(uint8_t* at, uint32_t bytes);
    static void* StripCallback(void* at, uint32_t bytes, int32_t userValue);
    // The camera's tables for the size and quality, else the built-in ones.
    JpegQuantTables ChooseTables() const;
    void InstallTables();

    // libjpeg's destination manager.
    static void InitDestination(j_compress_ptr cinfo);
    static boolean EmptyOutputBuffer(j_compress_ptr cinfo);
    static void TermDestination(j_compress_ptr cinfo);
    void WriteBuffer(uint32_t bytes);

    ImageInfoRecord* record_;
    const VqPathRecord* path_;
    ImageBufferRecord* buffer_;
    ImageBufferRecord callerBuffer_;
    ProgressRecord* progress_;
    JpegOptionsRecord options_;

    uint32_t savedType_ = 0, renderType_ = 0;
    int16_t savedSubsample_ = 1;
    uint8_t savedPad_ = 0;
    bool saved_ = false;
    uint32_t components_ = 3;
    uint32_t width_ = 0, height_ = 0;        // rendered
    uint32_t jpegWidth_ = 0, jpegHeight_ = 0;
    uint32_t rowsPerStrip_ = 0;
    uint32_t leftover_ = 0;                  // source rows kept for the next strip
    uint16_t resolutionValue_ = 300;
    uint8_t resolutionUnit_ = 1;
    JpegQuantTables tables_{};

    jpeg_compress_struct cinfo_;
    SdkJpegError error_;
    jpeg_destination_mgr destination_;
    bool created_ = false;
    std::vector<uint8_t> output_, block_, scaled_;
    uint32_t buffersWritten_ = 0;
    uint32_t writeError_ = 0;
    uint32_t stage_ = 0;
    uint32_t failed_ = 0; // a libjpeg failure while rows were written

    SdkFile file_;
    bool fileCreated_ = false;
};

} // namespace lumora::vq

#pragma once
// Rows of 8-bit gray or RGB pixels into a baseline JPEG stream through
// libjpeg, either into a memory buffer that grows in chunk steps or straight
// into an open File, one chunk at a time. Rows can be handed to up to two
// thumbnails on the way, so an export builds them in the same pass. Neither
// a JFIF nor an Adobe marker is written: the exporter writes its own header
// segments.
//
// Statuses are returned, never thrown: constructor, Start, WriteRow height
// times, Finish, then the size and data.
#include "BlockOMemory.h"
#include "SdkJpegErrorManager.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace NimbalCore {

class File;
class Thumbnail;

class JPEGCompressor {
public:
    enum Status : int {
        Ok = 0,
        LibraryFailed = 2100,     // creating the record or writing a row
        ParametersFailed = 2101,
        BadGeometry = 2102,       // width, height or channels
        TablesFailed = 2103,
        FinishFailed = 2108,
        OutOfMemory = 2111,       // the output buffer
        SinkWriteFailed = 2114,
        ThumbnailFailed = 2202,
    };
    static constexpr int32_t kMaxSide = 18000;
    static constexpr int kTableSize = 64;
    enum DensityUnit : uint8_t { DotsPerInch = 1, DotsPerCentimetre = 2 };

    // Tables in natural order, or null for the library's defaults. With
    // expandGray a one-channel image is compressed as RGB of three equal
    // samples. A null sink keeps the stream in memory.
    JPEGCompressor(int width, int height, int channels, const int* lumaTable, const int* chromaTable, int quality,
                   uint16_t density, uint8_t densityUnit, uint32_t chunkSize, Thumbnail* firstThumbnail,
                   Thumbnail* secondThumbnail, bool writeAllTables, bool expandGray, File* sink);
    JPEGCompressor(const JPEGCompressor&) = delete;
    JPEGCompressor& operator=(const JPEGCompressor&) = delete;
    // Also releases the library's record of a compression never finished.
    virtual ~JPEGCompressor();

    int Start();
    // One row of width x channels bytes (width bytes for an expanded gray
    // image). After a failure of the output, rows are ignored and Finish
    // reports it.
    int WriteRow(const uint8_t* row);
    int Finish();
    int GetCompressedSize() const { return int(std::min<uint64_t>(total_, 0x7FFFFFFF)); }
    // The stream (memory sink); null when nothing was produced. With a file
    // sink the buffer holds the last chunk only.
    const uint8_t* GetCompressedData() const;

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetChannels() const { return channels_; }
    bool IsStarted() const { return created_; }

private:
    // libjpeg's destination manager, followed by the compressor it serves.
    struct Destination {
        jpeg_destination_mgr manager; // first: cinfo.dest points at the record
        JPEGCompressor* owner;
    };
    static void DestinationInit(j_compress_ptr cinfo);
    static boolean DestinationEmpty(j_compress_ptr cinfo);
    static void DestinationTerm(j_compress_ptr cinfo);
    void WriteChunk(const uint8_t* bytes, uint64_t count);
    bool GrowForNextChunk();
    void SetParameters();
    void AddTables();
    void Destroy();

    int width_;
    int height_;
    int channels_;
    int lumaTable_[kTableSize] = {};
    int chromaTable_[kTableSize] = {};
    bool hasLuma_ = false;
    bool hasChroma_ = false;
    int quality_;
    uint16_t density_;
    uint8_t densityUnit_;
    uint32_t chunkSize_;
    Thumbnail* firstThumbnail_;
    Thumbnail* secondThumbnail_;
    bool writeAllTables_;
    bool expandGray_;
    File* sink_;

    jpeg_compress_struct cinfo_{};
    SdkJpegError error_{};
    Destination destination_{};
    std::vector<uint8_t> buffer_;
    uint64_t chunkStart_ = 0;   // offset of the current chunk in buffer_
    uint64_t total_ = 0;
    int status_ = Ok;
    BlockOMemory expansion_{0};
    bool created_ = false;
};

} // namespace NimbalCore

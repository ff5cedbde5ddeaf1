#pragma once
// Writes one image as a baseline JPEG file. The picture is rendered strip by
// strip into the caller's array, resampled when asked, and compressed row by
// row into a temporary file of its own while the Exif thumbnail and the
// larger preview are built from the same rows. The target then gets the
// start-of-image marker, the header segments (Exif with the small
// thumbnail, Photoshop IPTC with resolution and quality, the camera-settings
// text, the working-space profile, the preview) and the compressed stream.
// The file appears under the target's name only when complete; a failure or
// a cancel leaves the photographer's existing file as it was.
#include "ExportImage.h"
#include "NbErrorCodes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace NimbalCore {

class BlockOMemory;
class File;
class JPEGCompressor;

class ExportJPEGImage : public ExportImage {
public:
    enum IFDId : int { IFD0 = 0, ThumbnailIFD = 1, ExifIFD = 2, InteroperabilityIFD = 3, GPSIFD = 4 };
    static constexpr uint32_t kMainChunkBytes = 1048576;
    static constexpr uint32_t kThumbnailChunkBytes = 4096;
    static constexpr uint32_t kCopyBufferBytes = 1048576;
    static constexpr int kExifThumbnailKind = 2; // letterboxed into 160 x 120
    // Unscaled rows go to the compressor one at a time, so a strip need not
    // be large: strips of about 1 MB of output (whole 64-row pieces, as the
    // renderers work) keep the renderer's working buffers small enough to be
    // reused from strip to strip instead of mapped afresh for each one.
    static constexpr uint64_t kUnscaledStripBytes = 1048576;
    static constexpr int32_t kStripRowMultiple = 64;
    // Thrown bare: the thumbnails were not ready to compress, and a write or
    // read of the file or the compressed stream that moved fewer bytes.
    static constexpr NbErrorCodes kThumbnailsNotReady = NbErrorCodes(2106);
    static constexpr NbErrorCodes kShortTransfer = NbErrorCodes(2110);

    ExportJPEGImage(ImageRendering& rendering, const FilePathSpec& target, ExportImageArray* array);
    ~ExportJPEGImage() override;

    void SaveFile() override;
    virtual int GetQualityCode() { return qualityCode_; }
    virtual void SetQualityCode(int code) { qualityCode_ = code; }
    virtual void WriteWhiteLinesOnTopOrBottom(int rows, BlockOMemory& row);
    // SOI and the header segments, in their order.
    virtual void WriteHeaders(File& target);

    // The segment writers, in the order WriteHeaders calls them.
    void BuildExifBlock();
    void AddIFD0();
    void AddThumbnailIFD();
    void AddInteroperabilityIFD();
    void WriteSOI(File& target);
    void WriteExifSegment(File& target);
    void WritePhotoshopSegment(File& target);
    void WriteCameraSettingsSegment(File& target);
    void WriteICCProfileSegments(File& target);
    void WritePreviewSegment(File& target);

    // The segments as bytes (marker included); empty when a segment does
    // not fit its 16-bit length, or its limit, and is left out.
    static std::vector<uint8_t> BuildExifSegment(const uint8_t* block, uint32_t blockBytes, const uint8_t* thumbnail,
                                                 uint32_t thumbnailBytes);
    static std::vector<uint8_t> BuildPhotoshopSegment(const IPTCNAARecord2& iptc, int32_t resolution, int32_t units,
                                                      int qualityCode);
    static std::vector<uint8_t> BuildCameraSettingsSegment(const std::string& text);
    // One APP2 segment per 32000-byte chunk; none for an empty profile or
    // one of more than 255 chunks.
    static std::vector<std::vector<uint8_t>> BuildICCProfileSegments(const uint8_t* profile, uint64_t bytes);
    static std::vector<uint8_t> BuildPreviewSegment(int width, int height, const uint8_t* stream, uint64_t bytes);
    // The value of the Photoshop JPEG-quality resource: 10, 8 or 6.
    static uint16_t PhotoshopQuality(int qualityCode);

    // What the export produced, for its checks: the compressors live until
    // the exporter is deleted or the headers release them.
    const JPEGCompressor* GetMainCompressor() const { return mainCompressor_.get(); }
    int GetOutputChannels() const { return outputChannels_; }

protected:
    // The stream a new file (the target's or the compressed stream's) is
    // written through.
    virtual std::unique_ptr<File> MakeOutputStream(const FilePathSpec& path);

private:
    void SaveArrayFormat();
    void SetupArrayFormat();
    void RestoreArrayFormat();
    void GetQuantTables();
    void WriteUnscaled(File& temporary);
    // The strips of ComputeStrips cut to kUnscaledStripBytes.
    void LimitUnscaledStrips(int32_t* stripCount, int32_t* rowsPerStrip);
    void WriteScaled(File& temporary);
    // The two thumbnails for a picture of the output's size, pinned by the
    // caller while rows are fed.
    void MakeThumbnails();
    void StartMainCompressor(File& temporary);
    void WriteMainRow(const uint8_t* row);
    void FinishMainCompressor();
    void CompressThumbnails();
    void CompressThumbnail(Thumbnail& thumbnail, std::unique_ptr<JPEGCompressor>& compressor, bool* usable);
    void CopyCompressedStream(File& target, File& temporary);
    void WriteSegment(File& target, const std::vector<uint8_t>& bytes);
    // The rendered strip as the array holds it; 1707 when the array does
    // not cover it.
    void RenderStrip(const NbRect& strip, ProgressCB* progress, int32_t* dx, int32_t* dy);
    std::string MakeTemporaryFile();
    void RemoveTemporaryFile();

    std::unique_ptr<Thumbnail> exifThumbnail_;
    bool thumbnailsReady_ = false;
    bool thumbnailsCompressed_ = false;
    std::unique_ptr<JPEGCompressor> mainCompressor_;
    std::unique_ptr<JPEGCompressor> exifThumbnailCompressor_;
    std::unique_ptr<JPEGCompressor> previewCompressor_;
    bool exifThumbnailUsable_ = false;
    bool previewUsable_ = false;
    int32_t savedPixelType_ = 1;
    int32_t savedChannels_ = 3;
    int32_t savedBytesPerSample_ = 1;
    int32_t savedColorMode_ = 0;
    int qualityCode_ = 0;
    int outputChannels_ = 3;
    uint8_t densityUnit_ = 1;
    int lumaTable_[64] = {};
    int chromaTable_[64] = {};
    int quality_ = 0;
    bool tablesValid_ = false;
    bool grayscale_ = false;
    bool formatChanged_ = false;
    std::string temporaryPath_;
};

// The width and height numbers after "Width:" and "Height:" in a
// camera-settings text become the exported size, when both differ from it.
void RewriteDimensionsInText(std::string& text, int width, int height);

} // namespace NimbalCore

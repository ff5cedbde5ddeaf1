#pragma once
// A developed JPEG file: the whole file is read once at the first open and
// walked marker by marker for its Exif directories (APP1), ICC profile
// chunks (APP2), Photoshop resources (APP13: IPTC record and thumbnail) and
// the maker's large thumbnail; the pixels are decoded with libjpeg strip by
// strip as they are rendered, at 1/1 to 1/8 of the size. The thumbnail comes
// from the best source the file carries (see ThumbnailKind).
#include "FinishedImage.h"
#include "SdkJpegErrorManager.h"
#include "Thumbnail.h"

#include <cstdint>
#include <vector>

namespace NimbalCore {

class FinishedJPEGImage : public FinishedImage {
public:
    // Where the thumbnail pixels come from.
    enum ThumbnailKind : int32_t {
        ThumbnailUncompressedIFD1 = 1,
        ThumbnailFromMainImage = 4,
        ThumbnailJpegIFD1 = 5,
        ThumbnailPhotoshop = 6,
        ThumbnailPreview = 7,
        ThumbnailLarge = 8
    };
    static constexpr int32_t kStripRows = 256;
    static constexpr int64_t kSourceBufferBytes = 2097152;
    // The decoded sizes are kept for the denominators 1, 2, 4 and 8; entry 0
    // is the embedded JPEG thumbnail's.
    static constexpr int kOutputSizes = 9;

    explicit FinishedJPEGImage(const FilePathSpec& path);
    ~FinishedJPEGImage() override;

    int Open() override;
    void Close() override;
    void FreeCachedData() override;
    std::vector<int> GetSupportedColorModes() override;
    void RenderImage(const ImageProcessParam& params, PixelArray& destination, bool useCrop, ProgressCB* progress,
                     int renderScale) override;
    void RenderThumbnail(const ImageProcessParam& params, PixelArray& destination) override;
    void RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                             ProgressCB* progress, int source) override;
    // Source 0 is the main image decoded at 1/denominator, 2 the embedded
    // JPEG thumbnail at the thumbnail offset.
    virtual void RenderImageInternal(const ImageProcessParam& params, PixelArray& destination, bool useCrop,
                                     ProgressCB* progress, int source, int denominator);
    NbRect GetThumbnailRect() override;
    NbRect GetNativeThumbnailRect() override { return visibleThumbnailRect_; }
    void ComputeThumbnailScale(int a, int b) override;
    // A JPEG always has one: the main image reduced when nothing else.
    bool HasThumbnail() override { return true; }
    void SetCameraSettings() override {}

    // The marker walk over the file bytes: 0 or 1701.
    virtual int ParseMajorJPEGMarkers();
    virtual int ParsePhotoshopSegment(uint64_t length, uint64_t position);
    virtual int AddICCProfileChunk(uint64_t sequenceAt, uint64_t length);
    virtual int ParseLargeThumbnailSegment(uint64_t length, uint64_t position);
    // The maker's blocks: "Meta" (APP3), "ZELT1" (APP5) and the extended-range
    // preview's data segments; positions are the segments' 0xFF bytes.
    virtual int ParseMetaSegment(uint64_t length, uint64_t position);
    virtual int ParseApplicationSegment(uint64_t length, uint64_t position, uint8_t marker);
    virtual int ParseZELT1Segment(uint64_t length, uint64_t position, uint8_t marker);
    virtual int AddWQXDataSegment(uint64_t length, uint64_t position, uint8_t marker);
    // The extended-range preview into the thumbnail pixels: 0 or a code.
    virtual int RenderWQXPreview();
    // One chunk of F pixels of a row pair into rows a and b (16-bit RGB,
    // 0..1023): 0, or 2202 when the chunk does not lie inside stream 2.
    virtual int DecodeWQXRowPair(int64_t chunk, int pixels, uint16_t* a, uint16_t* b);
    int32_t GetFormatVariant() override { return formatVariant_; }
    // The preview's fixed tone table: a 12-bit value to a 16-bit one whose
    // top byte is shown.
    static uint16_t PreviewTableValue(int value);
    int ParseMainIFD() override;
    int ParseExifIFD() override;
    bool TestForFinishedZynImage(uint64_t ifd) override;

    // Decoding.
    virtual int InitializeDecompressor();
    virtual int ReadHeaderAtScale(int denominator);
    virtual int ReadJPEGHeaderJustForOpenImage();
    virtual int ReadThumbnailJPEGHeader();
    virtual int SetImageGeometryFromHeader();
    virtual int CheckHeaderMatchesGeometry();
    virtual int StartDecompressor();
    virtual int FinishDecompressor();
    virtual int DestroyDecompressor();

    // Thumbnails.
    virtual int SetThumbnailParameters();
    virtual void SetVisibleThumbnailRect();
    virtual int ReadTiffTypeThumbnailFromFile();
    virtual int BuildThumbnailFromMainJPEGImage();
    virtual int DecompressJPEGThumbnail();
    virtual void CopyThumbnailToPixelArray(const ImageProcessParam& params, PixelArray& destination);

    bool HasExif() const { return hasExif_; }
    int32_t GetThumbnailKind() const { return thumbnailKind_; }
    int32_t GetThumbnailScaleDenominator() const { return thumbnailScaleDenominator_; }
    bool ThumbnailNeedsResampling() const { return thumbnailNeedsResampling_; }
    bool IsExtendedRange() const { return extendedRange_; }
    bool DimensionsSwapped() const { return dimensionsSwapped_; }
    bool ProfileComplete() const { return profileComplete_; }
    int32_t GetProfileChunkCount() const { return profileChunkCount_; }
    float GetExposureIndex() const { return exposureIndex_; }
    // Decoded (width, height) at a denominator 1, 2, 4 or 8; entry 0 is the
    // embedded thumbnail's.
    std::pair<int32_t, int32_t> GetOutputSize(int denominator) const;
    const Thumbnail& GetThumbnail() const { return thumbnail_; }

    // What the maker's blocks carry for the extended-range preview.
    struct CameraProcessingData {
        int32_t matrix[18];
        char identifier1[21];
        char identifier2[21];
        float balance[3];
        float referenceValue;
        float exposureIndex;
        float gainFactor;
        int32_t previewWidth, previewHeight;
        int32_t stream1Size, stream2Size, stream2Received;
        int32_t outputProfileKind;
        int32_t curveLength;
        bool dataValid;
        uint16_t marker1, marker2;
    };
    const CameraProcessingData& GetCameraProcessingData() const { return processing_; }
    bool PreviewComplete() const;

private:
    // libjpeg's source manager followed by what our callbacks need.
    struct FileSource {
        jpeg_source_mgr manager; // first: libjpeg's src pointer is the record
        File* file;
        uint8_t* buffer;
        int64_t bufferSize;
        int64_t startOffset;
    };
    static void SourceInit(j_decompress_ptr decompressor);
    static boolean SourceFill(j_decompress_ptr decompressor);
    static void SourceSkip(j_decompress_ptr decompressor, long count);
    static void SourceTerm(j_decompress_ptr) {}

    // Runs libjpeg calls with the error manager's return point set: 0, or
    // failure when libjpeg raised an error. The body keeps only plain data.
    template <class Body> int Guarded(int failure, Body&& body);
    // The stream's header read into the decompressor: 0, or
    // NbErrJPEGHeaderFailed.
    int ReadHeader();
    // The thumbnail pixels allocated for the current thumbnail bounds.
    void AllocateThumbnailPixels();
    // The directory readers confined to one segment whose TIFF header lies
    // at a position inside it; restored when the scope ends.
    class SegmentScope;

    bool hasExif_ = false;
    bool decompressorCreated_ = false;
    bool dimensionsSwapped_ = true;
    bool thumbnailNeedsResampling_ = true;
    int32_t thumbnailScaleDenominator_ = 0;
    int32_t thumbnailKind_ = 0;
    bool extendedRange_ = false;
    uint64_t app0Position_ = 0, app0Length_ = 0;
    uint8_t app0Units_ = 0;
    uint16_t app0Density_ = 0;
    uint64_t app8Position_ = 0, app8Length_ = 0;
    uint64_t app13Position_ = 0, app13Length_ = 0;
    uint64_t resource1005Position_ = 0;
    uint64_t photoshopIptcPosition_ = 0;
    uint32_t photoshopIptcCount_ = 0;
    int thumbnailHeaderStatus_ = 0;
    uint64_t photoshopThumbnailPosition_ = 0;
    uint32_t photoshopThumbnailWidth_ = 0, photoshopThumbnailHeight_ = 0;
    uint64_t exifHeaderPosition_ = 0;
    float exposureIndex_ = 0.0f;
    int32_t outputSizes_[kOutputSizes][2] = {};
    NbRect visibleThumbnailRect_;
    Thumbnail thumbnail_;
    std::vector<uint8_t> profileChunks_;
    bool profileComplete_ = false;
    bool profileFailed_ = false;
    int32_t profileChunkCount_ = 0;

    uint64_t metaIFD0_ = 0, meta50220_ = 0, meta50285_ = 0;
    int32_t formatVariant_ = 0;
    CameraProcessingData processing_{};
    std::vector<uint32_t> stream1_;
    std::vector<uint8_t> stream2_;
    std::vector<uint16_t> toneCurve_;

    jpeg_decompress_struct decompressor_{};
    SdkJpegError error_{};
    FileSource source_{};
    std::vector<uint8_t> sourceBuffer_;
};

} // namespace NimbalCore

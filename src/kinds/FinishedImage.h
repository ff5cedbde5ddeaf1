#pragma once
// The base of images that are already developed (TIFF files, and JPEG files
// through the TIFF structure of their Exif block): the directory readers over
// the bytes loaded from the file, the recognition of the maker's own finished
// files, and what a finished image answers where a raw image would process.
// Every directory, entry and value is looked up inside the loaded bytes; one
// that lies outside them counts as absent.
#include "ColorSpaceDesc.h"
#include "ColorTransform.h"
#include "Image.h"
#include "NbErrorCodes.h"
#include "YlmRefPtr.h"

#include "ByteView.h"

#include <bit>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace NimbalCore {

class File;

class FinishedImage : public Image {
public:
    // The TIFF field types the readers know.
    enum TiffType : uint16_t {
        TypeByte = 1, TypeAscii = 2, TypeShort = 3, TypeLong = 4, TypeRational = 5, TypeSByte = 6,
        TypeUndefined = 7, TypeSShort = 8, TypeSLong = 9, TypeSRational = 10, TypeFloat = 11, TypeDouble = 12
    };
    // The tags the readers know.
    enum TiffTag : uint16_t {
        TagImageWidth = 256, TagImageLength = 257, TagBitsPerSample = 258, TagCompression = 259,
        TagPhotometric = 262, TagMake = 271, TagModel = 272, TagStripOffsets = 273, TagOrientation = 274,
        TagSamplesPerPixel = 277, TagRowsPerStrip = 278, TagStripByteCounts = 279, TagSoftware = 305,
        TagDateTime = 306, TagSubIFDs = 330, TagJpegOffset = 513, TagJpegLength = 514, TagCopyright = 33432,
        TagPrivateCamera = 33422, TagPrivateIFD = 33424, TagIPTC = 33723, TagExifIFD = 34665,
        TagICCProfile = 34675, TagDateTimeOriginal = 36867
    };
    static constexpr uint32_t kMaxDirectoryEntries = 150;
    static constexpr uint64_t kEntrySize = 12;

    explicit FinishedImage(const FilePathSpec& path);
    ~FinishedImage() override;

    // What a finished image answers in place of a raw image's processing.
    ImageProcessParam GetAtCaptureParams() override;
    ImageProcessParam GetAutoParams() override;
    ImageProcessParam GetCustomParams() override;
    time_t GetCaptureTime() override { return captureTime_; }
    bool IsModified() const override { return false; }
    bool ImageShouldBeRenderedForExport() override { return false; }
    bool Supports16BitOutput() override { return bytesPerSample_ > 1; }
    std::vector<std::string> GetAvailableLooks() override { return {}; }
    std::vector<int> GetSupportedColorModes() override { return {isColor_ ? 0 : 2}; }
    NbRect GetNativeImageRect() override { return nativeRect_; }
    NbRect GetNativeThumbnailRect() override { return thumbnailBounds_; }
    int GetSamplesPerPixel() override { return samplesPerPixel_; }
    int GetBytesPerSample() override { return bytesPerSample_; }
    void CalculateClickBalance(int x, int y, uint16_t* a, uint16_t* b, uint16_t* c) override;
    void SetAnnotation(const std::string&) override {}
    void ReadProcessParamsFromFile() override;
    void GetProcessParamsFromSDK() override;
    void WriteWhiteBalanceFile(const FilePathSpec&) override;
    // Reason 3: a finished file holds no camera balance to write.
    bool CanWhiteBalanceFileBeSaved(int* reason) override;
    bool GetCameraJPEGQuantizationTables(bool, int, int, int*, int*) override { return false; }
    // The presets: a finished file has no tables of a camera.
    bool GetJPEGQuantizationTables(bool chroma, int qualityCode, int sizeCode, int* table, int* quality) override;
    // The TIFF (0) or JPEG (1) exporter over the rendering; null without a
    // rendering or an array, or for another file kind.
    ExportImage* CreateExportImage(int fileKind, ImageRendering* rendering, const FilePathSpec& target,
                                   ExportImageArray* array, int32_t options) override;
    void WriteProcessParamsToFile() override;
    void SetCameraSettings() override;
    ValidationCodes MapRectBetweenRotations(const NbRect& source, float fromAngle, NbRect* out,
                                            float toAngle) override;
    ValidationCodes ValidateProcessParams(const ImageProcessParam& params) override;
    void FreeCachedData() override {}
    bool HasThumbnail() override { return thumbnailOffset_ != 0; }
    // Taken without marking the image modified: a finished file stores no
    // parameters.
    void SetProcessParams(const ImageProcessParam& params) override;
    NbRect GetImageRect() override;
    NbRect GetThumbnailRect() override;
    std::map<int, NbRect> GetAvailableResolutions() override { return {{1, nativeRect_}}; }
    void Rename(const FilePathSpec& newPath) override;
    // The embedded profile when the file has one.
    YlmRefPtr<ColorSpaceDesc> GetSourceColorSpaceDesc() override;

    // The transform from the image's colour space (spaceName; the embedded
    // profile when there is one) into the parameters' output space for
    // source 0 (main image) or 2 (thumbnail) at 8 or 16 bits; null when the
    // pixels already are in that space or no colour engine runs.
    virtual YlmRefPtr<ColorTransform> BuildFinishedColorTransform(const ImageProcessParam& params,
                                                                  const std::string& spaceName, int source,
                                                                  int bits);

    // The bytes the directory readers work on (the start of the file, or
    // the whole JPEG), and the file's full length for values read later.
    void SetFileBytes(std::vector<uint8_t> bytes, uint64_t fileLength);
    const lumora::ByteView& Bytes() const { return view_; }

    // Byte order from the 4-byte TIFF header at a position of the loaded
    // bytes: false (order unchanged) when there is none.
    virtual bool DetectByteOrder(uint64_t at);
    // The position of the earliest TIFF header among the loaded bytes.
    std::optional<uint64_t> FindTIFFHeader();

    // Directory access: ifd is a directory's offset from the TIFF base.
    std::optional<uint64_t> FindIFDEntry(uint64_t ifd, uint16_t tag) const;
    uint32_t GetIFDCount(uint64_t ifd, uint16_t tag) const;
    uint32_t GetIFDValue(uint64_t ifd, uint16_t tag) const;
    // Where the value lies, from the TIFF base; 0 when absent or not a TIFF type.
    uint32_t GetIFDValueOffset(uint64_t ifd, uint16_t tag) const;
    // The ASCII value without its trailing zero bytes; empty when absent,
    // not ASCII or outside the file.
    virtual std::string GetIFDString(uint64_t ifd, uint16_t tag);
    // The next-directory link after a directory's entries, 0 when it is not there.
    uint32_t GetNextIFD(uint64_t ifd) const;
    float ReadRational(uint64_t offset) const;

    // Source pixels into the destination, both as plane records: through
    // the transform when there is one, else copied sample by sample (8- or
    // 16-bit each side: 16 -> 8 keeps the high byte, 8 -> 16 repeats the
    // byte; a gray source fills every destination channel). swapped: the
    // 16-bit source samples are in the other byte order than the host's.
    virtual void ConvertPixels(ColorTransform* transform, const VrelSharpenPlanes& source,
                               const VrelSharpenPlanes& destination, bool swapped = false);

    virtual bool ReadCaptureDate(uint64_t ifd);
    virtual int ParseMainIFD();
    virtual int ParseThumbnailIFD();
    virtual int ParseExifIFD();
    virtual bool TestForFinishedZynImage(uint64_t ifd);
    // The private directory: the camera-settings text (tag 1009), the date
    // of its "Date:" line when no capture date is known yet, and the
    // colour codes (tag 3303) that name the colour space of a file without
    // a profile.
    virtual int ParsePrivateIFD();
    virtual void ReadIPTCRecord(uint64_t offset, uint32_t count);

    bool IsFinishedZynImage() const { return finishedZyn_; }
    bool IsBigEndian() const { return order_ == lumora::ByteOrder::Big; }
    bool FileOrderIsNotHostOrder() const {
        return (order_ == lumora::ByteOrder::Big) != (std::endian::native == std::endian::big);
    }
    uint32_t GetIFD0() const { return ifd0_; }
    uint32_t GetExifIFD() const { return exifIFD_; }
    uint32_t GetIFD1() const { return ifd1_; }
    uint32_t GetPrivateIFD() const { return privateIFD_; }
    uint64_t GetImageDataOffset() const { return imageDataOffset_; }
    uint64_t GetThumbnailOffset() const { return thumbnailOffset_; }
    int32_t GetThumbnailChannels() const { return thumbnailChannels_; }
    int32_t GetThumbnailCompression() const { return thumbnailCompression_; }
    const std::vector<uint8_t>& GetEmbeddedProfile() const { return iccProfile_; }
    const int32_t* GetColorCodes() const { return colorCodes_; }
    // The static space descriptions that the colour codes 0 to 3 name.
    static const char* ColorCodeProfileFile(int32_t code);
    std::string GetSoftware() const { return software_; }

protected:
    // Reads count bytes at a file position: from the loaded bytes when they
    // hold them, else from the file; false when they are not in the file.
    bool ReadFileBytes(uint64_t position, uint64_t count, std::vector<uint8_t>& out);
    // ICC bytes as the embedded profile: with a colour engine running, its
    // description becomes the source colour-space name. Bytes the engine
    // cannot take as a profile leave the image without one.
    void SetEmbeddedProfile(std::vector<uint8_t> bytes);
    // The default source space of a finished image (the program's sRGB).
    static std::string DefaultSourceSpaceName();
    void ReadColorCodes();
    // Position of a directory in the loaded bytes, when its count is there.
    std::optional<uint64_t> DirectoryAt(uint64_t ifd) const;

    File* file_ = nullptr;
    std::vector<uint8_t> fileBytes_;
    lumora::ByteView view_;
    uint64_t fileLength_ = 0;
    lumora::ByteOrder order_ = lumora::ByteOrder::Big;
    uint64_t tiffBase_ = 0;
    uint32_t ifd0_ = 0;
    uint32_t exifIFD_ = 0;
    uint32_t ifd1_ = 0;
    uint32_t privateIFD_ = 0;
    int32_t containerKind_ = 0;
    NbRect nativeRect_;
    int32_t samplesPerPixel_ = 0;
    int32_t bytesPerSample_ = 0;
    int32_t compression_ = 0;
    uint64_t imageDataOffset_ = 0;
    uint64_t stripByteCount_ = 0;
    int32_t thumbnailCompression_ = 0;
    uint64_t thumbnailOffset_ = 0;
    uint64_t thumbnailJpegLength_ = 0;
    int32_t thumbnailChannels_ = 0;
    NbRect thumbnailBounds_;
    std::vector<uint8_t> iccProfile_;
    YlmRefPtr<ColorSpaceDesc> embeddedProfile_;
    int32_t colorCodes_[2] = {3, 3};
    std::string software_;
    uint32_t iptcCount_ = 0;
    uint64_t iptcOffset_ = 0;
    bool iptcRead_ = false;
    bool headerRead_ = false;
    bool finishedZyn_ = false;
};

} // namespace NimbalCore

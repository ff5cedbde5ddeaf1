#pragma once
// Writes one image as an uncompressed, big-endian TIFF: the directories
// (main, thumbnail, private, Exif and, when the source has one, GPS), then
// the main image's rows in one strip, 8 or 16 bits per sample, then an 8-bit
// thumbnail. The picture is rendered strip by strip into the caller's array
// and written as it is or resampled first. The file appears under the
// target's name only when complete.
#include "ExportImage.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace NimbalCore {

class BlockOMemory;
class ColorProfile;
class ColorSpaceDesc;
class File;
template <class T> class YlmRefPtr;

class ExportTIFFImage : public ExportImage {
public:
    enum IFDId : int { MainIFD = 0, ThumbnailIFD = 1, PrivateIFD = 2, ExifIFD = 3, GPSIFD = 4 };

    ExportTIFFImage(ImageRendering& rendering, const FilePathSpec& target, ExportImageArray* array);
    ~ExportTIFFImage() override;

    void SaveFile() override;
    virtual void AddMainIFD(int next);
    virtual void AddThumbnailIFD(int next);
    virtual void AddExifIFD(int ifdId);
    virtual void AddPrivateIFD(int next);
    virtual void WriteHeader(File& file);
    virtual void WriteUnscaled(File& file);
    virtual void WriteScaled(File& file);
    virtual void WriteWhiteLinesOnTopOrBottom(File& file, int lineCount, BlockOMemory& line);

protected:
    // The stream the new file is written through.
    virtual std::unique_ptr<File> MakeOutputStream(const FilePathSpec& path);

private:
    void SetupColorLayout();
    ColorProfile* FindWorkingSpace();
    NbRect WrittenRect();
    uint64_t MainImageBytes();
    uint32_t OutputColorSpaceCode();
    void WriteChecked(File& file, const void* data, uint64_t bytes, const char* operation);

    std::vector<uint8_t> iccBytes_;
    std::vector<uint8_t> iptcBytes_;
    std::unique_ptr<YlmRefPtr<ColorSpaceDesc>> workingSpace_;
};

} // namespace NimbalCore

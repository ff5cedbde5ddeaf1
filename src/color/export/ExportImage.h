#pragma once
// The common part of the file exporters. One exporter writes one image: it
// holds its own copy of the caller's rendering, the target path and the
// caller's pixel array, and carries what both file formats share: the output
// geometry of the four resize modes and the resampler that applies it, the
// division of the picture into strips of about 20 MB, the Exif and GPS
// directories built from the source file, the Model, Software and
// camera-settings texts, the related sound files, and the copyright exchange
// between Exif and IPTC.
#include "Exif.h"
#include "ExportScaler.h"
#include "ExportSizeOptions.h"
#include "FilePathSpec.h"
#include "IPTCNAARecord2.h"
#include "ImageRendering.h"
#include "NbRect.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace NimbalCore {

class BlockOMemory;
class ExportImageArray;
class ProgressCB;
class Thumbnail;
class TiffBuilder;

class ExportImage {
public:
    enum Format : int32_t { FormatTIFF = 0, FormatJPEG = 1 };
    // Set-up answers among the exporters' own classes.
    static constexpr int kNothingToResize = 2821;
    static constexpr int32_t kMaxOutputPixels = 18000;
    static constexpr uint64_t kStripBytes = 20971520;
    static constexpr size_t kCopyrightMaxBytes = 128;

    ExportImage(ImageRendering& rendering, const FilePathSpec& target, ExportImageArray* array);
    ExportImage(const ExportImage&) = delete;
    ExportImage& operator=(const ExportImage&) = delete;
    virtual ~ExportImage();

    virtual void SaveFile() = 0;
    virtual ProgressCB* GetProgressCB() { return progress_; }
    virtual int32_t GetUnits() { return units_; }
    virtual int32_t GetResolution() { return resolution_; }
    virtual bool GetRenderGPSText() { return renderGPSText_; }
    virtual void SetProgressCB(ProgressCB* progress) { progress_ = progress; }
    virtual void SetRenderGPSText(bool render) { renderGPSText_ = render; }
    virtual void SetEmbedProfile(bool embed) { embedProfile_ = embed; }
    virtual bool GetEmbedProfile() { return embedProfile_; }
    virtual int SetSizeOptions(ExportSizeOptions options);
    virtual void AddIFDFromEntries(const std::vector<ExifEntry>* entries, int ifdId);
    virtual int AddGPSIFD(int ifdId);
    virtual int BuildExifIFD(int ifdId);
    virtual std::string GetCameraSettingsText();
    virtual std::string GetSoftwareName();
    virtual void ComputeStrips(int32_t* stripCount, int32_t* rowsPerStrip);
    virtual void AddRelatedSoundFiles();
    virtual void AddModelEntry(TiffBuilder* builder);
    virtual void SetUnits(int32_t units) { units_ = units; }
    virtual void SetResolution(int32_t resolution) { resolution_ = resolution; }
    // 0, or 2807 (unknown mode, non-positive sizes), 2804 (output over
    // 18000 pixels) or the scaler's set-up code.
    virtual int SetupResize(int channels);
    virtual int SetupResizeByPercent();
    virtual int SetupResizeToFill();
    virtual int SetupResizeToFit();
    virtual int SetupResizeToFitAndPad();

    void MergeCopyrightIntoIPTC();
    uint16_t GetResolutionUnitCode() const;

    static void WriteBigEndian16(uint16_t value, uint8_t* out);
    static void WriteBigEndian32(uint32_t value, uint8_t* out);
    // The scale plug-in's progress function: always continue.
    static short ContinueProgress(int percent, void* user);
    // A capture date as Exif writes it, "YYYY:MM:DD HH:MM:SS", from the
    // image's text with either a blank or a colon between date and time;
    // false for any other text.
    static bool ToExifDateTime(const std::string& text, std::string* out);

    // The geometry of the export, for its writers and their checks.
    const NbRect& GetCropRect() const { return cropRect_; }
    const NbRect& GetScaledRect() const { return scaledRect_; }
    const NbRect& GetOutputRect() const { return outputRect_; }
    const NbRect& GetPadding() const { return padding_; }
    double GetScale() const { return scale_; }
    bool IsResizeEnabled() const { return resizeEnabled_; }

protected:
    Image* GetImage() { return rendering_->GetImage()->Get(); }
    // Tags whose value the writers keep for the builder while it is built.
    const void* KeepBytes(std::vector<uint8_t> bytes);
    bool CommonSizeSetup(int64_t* cw, int64_t* ch, bool* heightLed);
    void CenterInScaledImage(NbRect& box);
    // A strip buffer of at least `bytes` (and never empty), made anew only
    // when the one held is smaller.
    static void GrowStripBuffer(BlockOMemory& buffer, uint64_t bytes);
    // The start of one strip of a scaled export: the scaler's strip bracket
    // opened before the first, the source rectangle the destination rows
    // need, and the work and receiving buffers grown to what the scaler asks
    // (the receiving size in `destinationBytes`). Failures are thrown as `op`.
    NbRect BeginScaledStrip(bool first, const NbRect& destination, BlockOMemory& work, BlockOMemory& receiving,
                            size_t* destinationBytes, const char* op);
    // The scaler's view of interleaved samples the size of `rect`, starting
    // at `origin`: every pixel holds its channels one after another.
    static VrelSharpenPlanes InterleavedPlanes(int channels, int bytesPerSample, int32_t rowStride,
                                               const NbRect& rect, uint8_t* origin);

    int32_t exportFormat_ = FormatTIFF;
    std::unique_ptr<ImageRendering> rendering_;
    FilePathSpec target_;
    ExportImageArray* array_ = nullptr;
    ProgressCB* progress_ = nullptr;
    int32_t units_ = 0;
    int32_t resolution_ = 300;
    bool renderGPSText_ = false;
    bool embedProfile_ = true;
    bool hasGPS_ = false;
    std::unique_ptr<Thumbnail> thumbnail_;
    std::unique_ptr<TiffBuilder> builder_;
    int32_t resizeMode_ = ResizeByPercent;
    std::unique_ptr<ExportScaler> scaler_;
    bool resizeEnabled_ = false;
    int32_t targetWidth_ = 0;
    int32_t targetHeight_ = 0;
    int32_t percent_ = 100;
    int32_t scaleNumerator_ = 1;
    int32_t scaleDenominator_ = 1;
    double scale_ = 1.0;
    NbRect cropRect_;
    NbRect scaledRect_;
    NbRect outputRect_;
    NbRect scaledImageRect_;
    NbRect padding_;
    std::string copyright_;
    Exif exif_;
    IPTCNAARecord2 iptc_;
    std::vector<uint8_t> soundNames_;

private:
    std::deque<std::vector<uint8_t>> kept_;
};

} // namespace NimbalCore

#pragma once
// Camera JPEG files: a JPEG stream whose APP1 segment holds the camera's TIFF
// structure (main directory describing the JPEG image, the private directory,
// an RGB thumbnail directory after the main one). The pixels come from the
// stream through JpegFileEngine; there is no white-balance computation and no
// colour management. RgbFileImage reads RGB TIFF files the same way.
#include <cstdint>

#include "RawImageF2.h"

namespace lumora::vq {

class JpegFileImage : public RawImageF2 {
public:
    // A next-directory offset beyond this is not taken from a camera file.
    static constexpr uint32_t kMaxNextIfd = 1000000;

    JpegFileImage(const CameraRecord* record, DriverSettings* settings);
    ~JpegFileImage() override;

    VqStatus GetExtension(uint32_t id, void* out) override;
    VqStatus SetExtension(uint32_t id, void* data, uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4) override;
    VqStatus GetHidden(uint32_t id, void* out) override;
    VqStatus SetHidden(uint32_t id, void* value) override;
    VqStatus ParseHeader(const uint8_t* header, uint32_t length) override;
    VqStatus SetImageType(uint32_t type, int32_t force) override;
    VqStatus SetWhiteBalance(uint32_t, const uint16_t*) override { return NotSupportedStatus(); }
    VqStatus GetWhiteBalance(uint32_t*, uint16_t*) override { return NotSupportedStatus(); }
    VqStatus CalculateWhiteBalance(const SdkRect*, uint16_t*) override { return NotSupportedStatus(); }
    VqStatus LoadCache(void* buffer, int32_t steps, int32_t* done) override;
    VqStatus SetColourFlags() override;

    // Every balance state passes; only a custom triple can be applied.
    VqStatus ValidateBalanceMode(int32_t, int32_t, int32_t, uint32_t, uint16_t) override { return 0; }
    VqStatus ComputeBalance(int32_t, uint16_t*, uint16_t*, uint16_t*, int32_t*) override {
        return VQ_ERR_JPEG_BALANCE_UNSUPPORTED;
    }
    // The defaults of a family-2 file; a grey file keeps its one grey type.
    void ResetDefaults(VqWhiteBalanceMode* out) override;

    virtual VqStatus UnknownModelStatus() const { return VQ_ERR_JPEG_BAD_FILE; }
    virtual VqStatus MapStatus(VqStatus status) const;
    virtual VqStatus NotSupportedStatus() const { return VQ_ERR_JPEG_ENGINE_UNSUPPORTED; }
    virtual VqStatus ResetKindFields();

    uint32_t tiffBase() const { return tiffOffset_; }

    // The IPTC record goes into the file's APP13 block (one is inserted before
    // APP1 when there is none): the whole file is written anew beside the
    // original and renamed over it, so a failed write leaves it intact.
    VqStatus SaveIptc(uint32_t length) override;
    // With an APP13 block, the resolution goes into the TIFF tags, the JFIF
    // density, the APP8 segment and the block's ResolutionInfo; without one, a
    // block is inserted carrying it.
    VqStatus SaveResolution() override;
    // The TIFF resolution tags, then the JFIF and APP8 fields when the JFIF
    // density differs from the image's, and the ResolutionInfo on request.
    virtual VqStatus UpdateJpegResolution(bool withResource);
    virtual VqStatus WriteJfifDensity();
    virtual VqStatus WriteApp8Resolution();
    virtual VqStatus WriteResolutionResource();

protected:
    lumora::RawEngineF2* NewEngine() const override;
    VqStatus WhiteBalanceFileStatus() const override { return VQ_ERR_WB_FILE_UNSUPPORTED_JPEG; }
    VqStatus ReadMainIfd(const uint8_t* header, const RawIfdRecord& ifd) override;
    VqStatus SetUpFromPrivateIfd(const uint8_t* header, const RawTiffReader& reader, const RawIfdRecord& ifd,
                                 uint32_t length) override;
    VqStatus BuildProcessingTables(const uint8_t*, const RawTiffReader&, const RawIfdRecord&, uint32_t) override {
        return 0;
    }
    VqStatus CheckMainIfd(const RawIfdRecord&) override { return 0; }
    VqStatus CheckThumbnailIfd(const RawIfdRecord&) override { return 0; }
    VqStatus CheckRawIfd(const RawIfdRecord&) override { return 0; }
    VqStatus CheckPrivateIfd(const RawIfdRecord&) override { return 0; }
    // Stored windows were written for the whole raw image: fitted to this one.
    bool AdjustStoredWindow(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t usableWidth, int32_t usableHeight,
                            int32_t top, int32_t left) override;

    // Writes bytes at a position counted from the file's first byte, never
    // outside the file.
    VqStatus WriteAtFileOffset(uint64_t at, const void* bytes, uint32_t length);

    // The status a model the interface does not know leaves for the open.
    VqStatus unknownModel_ = 0;
};

} // namespace lumora::vq

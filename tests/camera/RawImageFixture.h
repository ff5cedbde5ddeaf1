#pragma once
// Opens synthetic raw files of families 1 and 3 through the public interface
// and keeps hold of the RawImage the factory made, so tests can look at what
// reached the engine's parameter table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ImageClassFactory.h"
#include "RawImage.h"
#include "TempFolder.h"
#include "SdkRenderer.h"
#include "Vq.h"
#include "ZyrSample.h"
#include "ZyrWriter.h"

namespace rawimagetest {

using Tweak = std::function<void(ZyrWriter&, const ZyrSample::Ifds&)>;

inline lumora::vq::RawImage* gCaptured = nullptr;
// Where CollectStrip appends the strips of a rendering, in the order they come.
inline std::vector<uint8_t>* gStrips = nullptr;

inline void* CollectStrip(void* buffer, uint32_t byteCount, int32_t) {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    gStrips->insert(gStrips->end(), p, p + byteCount);
    return buffer;
}
// Makes RawImage open files the factory would give to another class, so the
// class's own refusals can be seen.
inline bool gForceRawImage = false;

inline lumora::vq::SdkImageBase* CaptureCreator(lumora::vq::ImageClass cls, const CameraRecord* record,
                                                lumora::vq::DriverSettings* settings, VqStatus* status) {
    using lumora::vq::ImageClassFactory;
    ImageClassFactory::SetCreator(nullptr);
    if (gForceRawImage) cls = lumora::vq::ImageClass::RawImage;
    lumora::vq::SdkImageBase* image = ImageClassFactory::Create(cls, record, settings, status);
    ImageClassFactory::SetCreator(CaptureCreator);
    gCaptured = dynamic_cast<lumora::vq::RawImage*>(image);
    return image;
}

// A tag written again with new values.
inline void Replace(ZyrWriter& w, ZyrWriter::IfdId ifd, uint16_t tag, std::function<void()> add) {
    w.Remove(ifd, tag);
    add();
}

// Distinct matrices per preset: scaled diagonals over 1024.
inline std::vector<std::pair<uint32_t, uint32_t>> PresetMatrix(uint32_t k) {
    return {{1024 + 16 * k, 1024}, {0, 1024},    {0, 1024}, {0, 1024}, {1024 + 8 * k, 1024},
            {0, 1024},             {0, 1024},    {0, 1024}, {1024 + 32 * k, 1024}};
}
inline uint16_t TripleValue(uint32_t preset, int channel) {
    return uint16_t(channel == 0 ? 200 + 10 * preset : channel == 1 ? 100 + preset : 150 + 5 * preset);
}
// Presets 0..4 with their own matrices and balance triples (stored as tenths).
inline void DistinctPresets(ZyrWriter& w, const ZyrSample::Ifds& d) {
    for (uint16_t k = 0; k < 5; ++k) {
        Replace(w, d.privateIfd, uint16_t(2020 + k), [&] { w.Rationals(d.privateIfd, uint16_t(2020 + k), PresetMatrix(k)); });
        Replace(w, d.privateIfd, uint16_t(2120 + k), [&] {
            w.Rationals(d.privateIfd, uint16_t(2120 + k),
                        {{TripleValue(k, 0) * 10u, 10}, {TripleValue(k, 1) * 10u, 10}, {TripleValue(k, 2) * 10u, 10}});
        });
    }
}

class RawImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LUMORA_SYSTEM_DIR", dir_.path().c_str(), 1);
        SdkVersionRecord version = VQ_SDK_VERSION_RECORD_INIT;
        const uint32_t opened = VqOpenDriver(&version, VQ_OPEN_NO_FIREWIRE);
        ASSERT_TRUE(opened == 0 || opened == VQ_ERR_DEFAULTS_KEPT) << std::hex << opened;
        lumora::vq::ImageClassFactory::SetCreator(CaptureCreator);
    }
    void TearDown() override {
        Close();
        lumora::vq::ImageClassFactory::SetCreator(nullptr);
        gForceRawImage = false;
        while (VqCloseDriver() == 0) {
        }
        ::unsetenv("LUMORA_SYSTEM_DIR");
    }

    static ZyrSampleOptions Options(const std::string& model = "ZYNM11") {
        ZyrSampleOptions o;
        o.model = model;
        o.version = 0x01000000;
        return o;
    }

    std::vector<uint8_t> Build(const ZyrSampleOptions& o, const Tweak& tweak = {}) {
        ZyrWriter w(o.order);
        const ZyrSample::Ifds d = ZyrSample::Fill(w, o);
        if (tweak) tweak(w, d);
        return w.Build(&layout_);
    }

    uint32_t OpenBytes(const std::vector<uint8_t>& bytes) {
        Close();
        const std::string path = (dir_.path() / ("raw" + std::to_string(++files_) + ".zyr")).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
        std::memset(&info_, 0, sizeof info_);
        gCaptured = nullptr;
        const uint32_t status = VqOpenImageFile(path.c_str(), &info_);
        open_ = status == 0;
        image_ = open_ ? gCaptured : nullptr;
        return status;
    }

    uint32_t Open(const ZyrSampleOptions& o, const Tweak& tweak = {}) { return OpenBytes(Build(o, tweak)); }

    void Close() {
        if (open_) VqCloseImage(&info_);
        open_ = false;
        image_ = nullptr;
    }

    template <typename T>
    T Param(uint32_t id) const {
        T value;
        std::memcpy(&value, image_->renderer()->Parameter(id), sizeof value);
        return value;
    }
    template <typename T>
    const T* Table(uint32_t id) const {
        return Param<const T*>(id);
    }
    const RationalValue* Matrix(uint32_t id) const {
        return static_cast<const RationalValue*>(image_->renderer()->Parameter(id));
    }

    // Bytes of the whole output as the current geometry gives it.
    size_t OutputBytes() const {
        const ImageGeometry& g = info_.geometry;
        return size_t(std::max(g.outputWidth, 0)) * size_t(std::max(g.outputHeight, 0)) *
               size_t(std::max(g.channels, 0)) * size_t(std::max(g.bytesPerSample, 0));
    }
    // The output through a buffer of at most `bufferBytes` (0: the whole
    // output), the strips as the caller receives them collected into `out`.
    uint32_t RenderInStrips(std::vector<uint8_t>& out, size_t bufferBytes = 0) {
        out.clear();
        const size_t bytes = OutputBytes();
        std::vector<uint8_t> buffer(std::max<size_t>(bufferBytes ? std::min(bufferBytes, bytes) : bytes, 1));
        gStrips = &out;
        ImageBufferRecord record{buffer.data(), uint32_t(buffer.size()), 0, CollectStrip};
        const uint32_t status = VqGetImage(&info_, &record, nullptr);
        gStrips = nullptr;
        return status;
    }

    uint32_t SetBalance(int32_t mode, int32_t preset, int32_t kind, uint16_t r, uint16_t g, uint16_t b) {
        return VqSetExtension(&info_, VQ_EXT_WHITE_BALANCE, reinterpret_cast<void*>(uintptr_t(uint32_t(mode))),
                              uint32_t(preset), uint32_t(kind), uint32_t(r) | uint32_t(g) << 16, b);
    }
    // The preset index as extension 30 answers it; -1 when the call fails.
    int32_t BalancePreset() {
        int32_t preset = -1;
        if (VqGetExtension(&info_, VQ_EXT_BALANCE_PRESET, &preset) != 0) return -1;
        return preset;
    }
    uint32_t SetExposure(float stops) {
        uint32_t word = 0;
        std::memcpy(&word, &stops, sizeof word);
        return VqSetExtension(&info_, VQ_EXT_EXPOSURE, reinterpret_cast<void*>(uintptr_t(word)), 0, 0, 0, 0);
    }

    lumora::test::TempFolder dir_;
    ImageInfoRecord info_{};
    ZyrWriter::Layout layout_;
    lumora::vq::RawImage* image_ = nullptr;
    bool open_ = false;
    int files_ = 0;
};

} // namespace rawimagetest

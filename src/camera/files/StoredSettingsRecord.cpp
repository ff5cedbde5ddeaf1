#include "StoredSettingsRecord.h"

#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

#include "ByteView.h"
#include "SdkCamera.h"
#include "SdkUtilities.h"

namespace lumora::vq {

namespace {

void Put16(uint8_t* p, uint16_t v) { SdkPutBig16(v, p); }

void Put32(uint8_t* p, uint32_t v) {
    const uint32_t big = SdkToBig32(v);
    std::memcpy(p, &big, 4);
}

// The blocks have a fixed size, so these reads of it cannot fail.
uint16_t Get16(const uint8_t* block, uint32_t blockBytes, uint32_t at) {
    uint16_t v = 0;
    ByteView(block, blockBytes).u16(at, ByteOrder::Big, v);
    return v;
}

uint32_t Get32(const uint8_t* block, uint32_t blockBytes, uint32_t at) {
    uint32_t v = 0;
    ByteView(block, blockBytes).u32(at, ByteOrder::Big, v);
    return v;
}

} // namespace

uint8_t StoredSettingsRecord::Checksum(const uint8_t* bytes, uint32_t count) {
    uint32_t sum = 0;
    for (uint32_t i = 1; i < count; ++i) sum += bytes[i];
    return uint8_t(sum);
}

void StoredSettingsRecord::EncodeProcessBlock(const ProcessBlock& b, uint8_t* out) {
    std::memset(out, 0, kProcessBytes);
    out[1] = b.version;
    out[2] = b.outputType;
    out[3] = b.balanceCode;
    Put16(out + 4, b.red);
    Put16(out + 6, b.green);
    Put16(out + 8, b.blue);
    Put16(out + 10, b.rotation);
    Put16(out + 12, b.windowX);
    Put16(out + 14, b.windowY);
    Put16(out + 16, b.windowWidth);
    Put16(out + 18, b.windowHeight);
    Put16(out + 20, b.usableWidth);
    Put16(out + 22, b.usableHeight);
    out[24] = b.topMargin;
    out[25] = b.leftMargin;
    out[26] = b.look;
    out[27] = b.sharpenMode;
    out[28] = b.sharpenLevel;
    Put16(out + 30, uint16_t(b.exposure));
    out[32] = b.chroma;
    out[0] = Checksum(out, kProcessBytes);
}

bool StoredSettingsRecord::DecodeProcessBlock(const uint8_t* in, ProcessBlock* b) {
    b->version = in[1];
    b->outputType = in[2];
    b->balanceCode = in[3];
    b->red = Get16(in, kProcessBytes, 4);
    b->green = Get16(in, kProcessBytes, 6);
    b->blue = Get16(in, kProcessBytes, 8);
    b->rotation = Get16(in, kProcessBytes, 10);
    b->windowX = Get16(in, kProcessBytes, 12);
    b->windowY = Get16(in, kProcessBytes, 14);
    b->windowWidth = Get16(in, kProcessBytes, 16);
    b->windowHeight = Get16(in, kProcessBytes, 18);
    b->usableWidth = Get16(in, kProcessBytes, 20);
    b->usableHeight = Get16(in, kProcessBytes, 22);
    b->topMargin = in[24];
    b->leftMargin = in[25];
    b->look = in[26];
    b->sharpenMode = in[27];
    b->sharpenLevel = in[28];
    b->exposure = int16_t(Get16(in, kProcessBytes, 30));
    b->chroma = in[32];
    bool anySet = false;
    for (uint32_t i = 1; i < kProcessBytes; ++i) anySet = anySet || in[i] != 0;
    return anySet && Checksum(in, kProcessBytes) == in[0];
}

VqStatus StoredSettingsRecord::MakeSettingsBlock(uint32_t word, const uint32_t* triple, uint8_t* out) {
    if (!out || !triple) return VQ_ERR_BAD_HANDLE;
    std::memset(out, 0, kSettingsBytes);
    out[1] = 2;
    out[2] = uint8_t(kSettingsBytes);
    Put32(out + 4, word);
    Put32(out + 8, triple[0]);
    Put32(out + 12, triple[1]);
    Put32(out + 16, triple[2]);
    out[0] = Checksum(out, kSettingsBytes);
    return VQ_OK;
}

VqStatus StoredSettingsRecord::ReadSettingsBlock(const uint8_t* in, uint32_t* word, uint32_t* triple,
                                                 bool* hasTriple) {
    if (word) *word = 0;
    if (hasTriple) *hasTriple = false;
    if (!in) return VQ_ERR_BAD_HANDLE;
    if (word) *word = Get32(in, kSettingsBytes, 4);
    if (in[2] > 8) {
        if (triple) {
            triple[0] = Get32(in, kSettingsBytes, 8);
            triple[1] = Get32(in, kSettingsBytes, 12);
            triple[2] = Get32(in, kSettingsBytes, 16);
        }
        if (hasTriple) *hasTriple = true;
    }
    return VQ_OK;
}

VqStatus StoredSettingsRecord::WriteWithRetry(SdkCamera* camera, int32_t entryIndex, const void* bytes,
                                              uint32_t length, uint32_t fileOffset, int waitMilliseconds) {
    if (!camera || !bytes) return VQ_ERR_BAD_HANDLE;
    // The camera takes a signed 32-bit offset.
    if (fileOffset > uint32_t(std::numeric_limits<int32_t>::max())) return VQ_ERR_BAD_FILE;
    VqStatus status = VQ_OK;
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        status = camera->WriteImageBytes(entryIndex, length, bytes, int32_t(fileOffset), 0);
        if (status != VQ_ERR_CAMERA_BUSY || attempt == kWriteAttempts) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMilliseconds));
    }
    return status;
}

} // namespace lumora::vq

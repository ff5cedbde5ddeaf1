// The exported image calls against an image whose operations answer a status
// the test chooses: each call's checks, whether it calls its operation, what it
// answers and when it refreshes the caller's record.
#include "SdkImageBase.h"
#include "SdkFile.h"
#include "VqSession.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace lumora::vq;

namespace {

constexpr uint32_t kFail = VQ_ERR_NOT_SUPPORTED;
constexpr int32_t kImageModelId = 42;   // in the image's own info block
constexpr int32_t kScribble = 777;      // what the caller left in its record

// Every operation an image call can reach logs its name and answers `answer`.
class ScriptedImage : public SdkImageBase {
public:
    ScriptedImage(const CameraRecord* record) : SdkImageBase(record, nullptr) {
        info_.modelId = kImageModelId;
        fullWidth_ = 64;
        fullHeight_ = 48;
        outputWindow_ = {6, 6, 52, 36};
    }
    uint32_t answer = 0;
    std::vector<std::string> log;
    SdkRect seenRect{};
    uint32_t* seenColourSpace = nullptr;

    VqStatus Op(const char* name) {
        log.push_back(name);
        return answer;
    }
    VqStatus SetProcessingDirectory(VqPathRecord) override { return Op("SetProcessingDirectory"); }
    VqStatus GetProcessingDirectory(char*) override { return Op("GetProcessingDirectory"); }
    VqStatus GetThumbnail(void*) override { return Op("GetThumbnail"); }
    VqStatus GetImage(ImageBufferRecord*, ProgressRecord*) override { return Op("GetImage"); }
    VqStatus LoadCache(void*, int32_t, int32_t*) override { return Op("LoadCache"); }
    VqStatus DecompressCache(void*) override { return Op("DecompressCache"); }
    VqStatus CleanupCache() override { return Op("CleanupCache"); }
    VqStatus SaveProcessParameters() override { return Op("SaveProcessParameters"); }
    VqStatus GetSoundInfo(int32_t, SoundInfoRecord*) override { return Op("GetSoundInfo"); }
    VqStatus GetSound(SoundInfoRecord*, void*) override { return Op("GetSound"); }
    VqStatus SetImageType(uint32_t, int32_t) override { return Op("SetImageType"); }
    // The geometry refresh asks with null outs after every call; only the
    // calls' own requests are logged.
    VqStatus OnImageTypeChanged(uint32_t, uint32_t* colourSpace, int32_t*) override {
        if (!colourSpace) return 0;
        seenColourSpace = colourSpace;
        Op("OnImageTypeChanged");
        return 0;
    }
    VqStatus GetImageType(uint32_t*) override { return Op("GetImageType"); }
    VqStatus SetRotation(float) override { return Op("SetRotation"); }
    VqStatus GetRotation(float* out) override {
        if (out) *out = 0.0f;
        return log.push_back("GetRotation"), answer;
    }
    VqStatus SetWhiteBalance(uint32_t, const uint16_t*) override { return Op("SetWhiteBalance"); }
    VqStatus GetWhiteBalance(uint32_t*, uint16_t*) override { return Op("GetWhiteBalance"); }
    VqStatus CalculateWhiteBalance(const SdkRect* r, uint16_t*) override {
        seenRect = *r;
        return Op("CalculateWhiteBalance");
    }
    VqStatus OutputRectToSensor(SdkRect* r) override {
        r->x = int16_t(r->x + 100);  // the image's own copy changes, never the caller's
        return Op("OutputRectToSensor");
    }
    VqStatus SensorRectToOutput(SdkRect*) override { return Op("SensorRectToOutput"); }
    VqStatus SetOutputWindow(const SdkRect* r) override {
        seenRect = *r;
        return Op("SetOutputWindow");
    }
    VqStatus GetOutputWindow(SdkRect*) override {
        log.push_back("GetOutputWindow");
        return kFail;  // ignored by the call
    }
    VqStatus SetSubSample(int16_t) override { return Op("SetSubSample"); }
    VqStatus GetSubSample(int16_t* out) override {
        if (out) *out = 1;
        return log.push_back("GetSubSample"), answer;
    }
    VqStatus SetPadBytes(uint8_t) override { return Op("SetPadBytes"); }
    VqStatus GetPadBytes(uint8_t* out) override {
        if (out) *out = 0;
        return log.push_back("GetPadBytes"), answer;
    }
    VqStatus SetDescription(ImageInfoRecord*, uint32_t, const char*) override { return Op("SetDescription"); }
    VqStatus GetHidden(uint32_t, void*) override { return Op("GetHidden"); }
    VqStatus SetHidden(uint32_t, void*) override { return Op("SetHidden"); }
    VqStatus GetExtension(uint32_t, void*) override { return Op("GetExtension"); }
    VqStatus SetExtension(uint32_t, void*, uint32_t, uint32_t, uint32_t, uint32_t) override {
        return Op("SetExtension");
    }
    VqStatus WriteWhiteBalanceFile(VqPathRecord, void*) override { return Op("WriteWhiteBalanceFile"); }
};

// GetGeometry asks these three itself; they are not what a call stands for.
std::vector<std::string> CallOps(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const std::string& s : log)
        if (s != "GetRotation" && s != "GetSubSample" && s != "GetPadBytes") out.push_back(s);
    return out;
}

enum class Refresh { OnSuccess, Always, Never };

struct Row {
    const char* name;
    std::function<uint32_t(ImageInfoRecord*)> call;
    std::vector<std::string> ops;       // operations the call stands for, in order
    Refresh refresh = Refresh::OnSuccess;
    uint32_t nullRecord = VQ_ERR_NULL_IMAGE_RECORD;
    uint32_t closedHandle = VQ_ERR_BAD_HANDLE;
    // An image that is not valid: the status (nullopt: the operation runs
    // anyway) and whether the record is refreshed.
    std::optional<uint32_t> invalid = VQ_ERR_IMAGE_NOT_VALID;
    bool invalidRefreshes = false;
    bool failingOpAnswered = true;      // false: the call answers 0 when the operation fails
};

struct Images {
    SdkCamera camera;  // any registered camera makes its images valid
    CameraRecord goodRecord{}, goneRecord{};
    ScriptedImage* valid = nullptr;
    ScriptedImage* invalid = nullptr;
    int32_t validHandle = 0, invalidHandle = 0, closedHandle = 0;

    Images() {
        goodRecord.cameraId = Driver().cameras->Add(&camera);
        goneRecord.cameraId = 0x7FFF0001;
        valid = new ScriptedImage(&goodRecord);
        invalid = new ScriptedImage(&goneRecord);
        validHandle = Driver().images->Add(valid);
        valid->SetHandle(validHandle);
        invalidHandle = Driver().images->Add(invalid);
        invalid->SetHandle(invalidHandle);
        ScriptedImage gone(&goodRecord);
        closedHandle = Driver().images->Add(&gone);
        Driver().images->Remove(closedHandle);
    }
    ~Images() {
        Driver().images->Remove(validHandle);
        Driver().images->Remove(invalidHandle);
        Driver().cameras->Remove(goodRecord.cameraId);
        delete valid;
        delete invalid;
    }
};

ImageInfoRecord Scribbled(int32_t handle) {
    ImageInfoRecord r = EmptyRecord();
    r.handle = handle;
    r.modelId = kScribble;
    r.isColour = 1;
    return r;
}

} // namespace

TEST(VqImageCalls, EachCallsChecksOperationAndRefresh) {
    VqSession session;
    Images images;
    char dir[260] = {};
    VqPathRecord path{};
    ImageBufferRecord buffer{};
    ProgressRecord progress{};
    SoundInfoRecord sound{};
    uint32_t word = 0;
    float degrees = 0;
    int16_t factor = 0;
    uint8_t pad = 0;
    uint16_t triple[3] = {1, 2, 3};
    SdkRect rect = {10, 12, 16, 16};
    int32_t done = 0;

    const std::vector<Row> rows = {
        {"VqSetProcessingDirectory", [&](ImageInfoRecord* r) { return VqSetProcessingDirectory(r, path); },
         {"SetProcessingDirectory"}, Refresh::OnSuccess, VQ_ERR_NULL_IMAGE_RECORD, VQ_ERR_BAD_HANDLE, 0u, false,
         false},
        {"VqGetProcessingDirectory", [&](ImageInfoRecord* r) { return VqGetProcessingDirectory(r, dir); },
         {"GetProcessingDirectory"}, Refresh::Always},
        {"VqGetThumbnail", [&](ImageInfoRecord* r) { return VqGetThumbnail(r, &buffer); }, {"GetThumbnail"}},
        {"VqGetImage", [&](ImageInfoRecord* r) { return VqGetImage(r, &buffer, &progress); }, {"GetImage"}},
        {"VqLoadCache", [&](ImageInfoRecord* r) { return VqLoadCache(r, nullptr, 4, &done); }, {"LoadCache"}},
        {"VqDecompressCache", [&](ImageInfoRecord* r) { return VqDecompressCache(r, nullptr); },
         {"DecompressCache"}},
        {"VqCleanupCache", [&](ImageInfoRecord* r) { return VqCleanupCache(r); }, {"CleanupCache"}, Refresh::Always},
        {"VqSaveProcessParameters", [&](ImageInfoRecord* r) { return VqSaveProcessParameters(r); },
         {"SaveProcessParameters"}, Refresh::OnSuccess, VQ_ERR_BAD_HANDLE},
        {"VqGetSoundInfo", [&](ImageInfoRecord* r) { return VqGetSoundInfo(r, 0, &sound); }, {"GetSoundInfo"}},
        {"VqGetSound", [&](ImageInfoRecord* r) { return VqGetSound(r, &sound, dir); }, {"GetSound"},
         Refresh::OnSuccess, VQ_ERR_NULL_IMAGE_RECORD, VQ_ERR_BAD_HANDLE, 0u, true},
        {"VqSetImageType", [&](ImageInfoRecord* r) { return VqSetImageType(r, VQ_TYPE_RGB16); },
         {"SetImageType", "OnImageTypeChanged"}},
        {"VqGetImageType", [&](ImageInfoRecord* r) { return VqGetImageType(r, &word); }, {"GetImageType"},
         Refresh::Always},
        {"VqSetRotateType", [&](ImageInfoRecord* r) { return VqSetRotateType(r, 90.0f); }, {"SetRotation"}},
        {"VqGetRotateType", [&](ImageInfoRecord* r) { return VqGetRotateType(r, &degrees); }, {}, Refresh::Always},
        {"VqSetWhiteBalance", [&](ImageInfoRecord* r) { return VqSetWhiteBalance(r, VQ_WB_CUSTOM, triple); },
         {"SetWhiteBalance"}},
        {"VqGetWhiteBalance", [&](ImageInfoRecord* r) { return VqGetWhiteBalance(r, &word, triple); },
         {"GetWhiteBalance"}},
        {"VqCalculateWhiteBalance", [&](ImageInfoRecord* r) { return VqCalculateWhiteBalance(r, &rect, triple); },
         {"OutputRectToSensor", "CalculateWhiteBalance"}},
        {"VqSetOutputWindow", [&](ImageInfoRecord* r) { return VqSetOutputWindow(r, &rect); },
         {"OutputRectToSensor", "SetOutputWindow"}},
        {"VqGetOutputWindow", [&](ImageInfoRecord* r) { return VqGetOutputWindow(r, &rect); },
         {"GetOutputWindow", "SensorRectToOutput"}},
        {"VqSetSubSample", [&](ImageInfoRecord* r) { return VqSetSubSample(r, 2); }, {"SetSubSample"}},
        {"VqGetSubSample", [&](ImageInfoRecord* r) { return VqGetSubSample(r, &factor); }, {}, Refresh::Always},
        {"VqSetImagePadBytes", [&](ImageInfoRecord* r) { return VqSetImagePadBytes(r, 3); }, {"SetPadBytes"},
         Refresh::Always},
        {"VqGetImagePadBytes", [&](ImageInfoRecord* r) { return VqGetImagePadBytes(r, &pad); }, {},
         Refresh::Always},
        {"VqSetImageDescription", [&](ImageInfoRecord* r) { return VqSetImageDescription(r, 4, "abcd"); },
         {"SetDescription"}, Refresh::Never},
        {"VqGetHidden", [&](ImageInfoRecord* r) { return VqGetHidden(r, 2, &word); }, {"GetHidden"}},
        {"VqSetHidden", [&](ImageInfoRecord* r) { return VqSetHidden(r, 2, &word); }, {"SetHidden"}},
        {"VqGetExtension", [&](ImageInfoRecord* r) { return VqGetExtension(r, 3, &word); }, {"GetExtension"},
         Refresh::OnSuccess, VQ_ERR_BAD_HANDLE, VQ_ERR_NO_IMAGE_HANDLE, std::nullopt, false},
        {"VqSetExtension", [&](ImageInfoRecord* r) { return VqSetExtension(r, 3, &word, 1, 2, 3, 4); },
         {"SetExtension"}, Refresh::OnSuccess, VQ_ERR_BAD_HANDLE},
        {"VqWriteWhiteBalanceFile", [&](ImageInfoRecord* r) { return VqWriteWhiteBalanceFile(r, &path, nullptr); },
         {"WriteWhiteBalanceFile"}, Refresh::Never, VQ_ERR_BAD_HANDLE, VQ_ERR_NO_IMAGE_HANDLE, std::nullopt, false},
    };
    ASSERT_EQ(rows.size(), 29u);

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.call(nullptr), row.nullRecord);

        ImageInfoRecord closed = Scribbled(images.closedHandle);
        EXPECT_EQ(row.call(&closed), row.closedHandle);

        for (uint32_t answer : {kFail, 0u}) {
            SCOPED_TRACE(answer ? "operation fails" : "operation succeeds");
            ScriptedImage& image = *images.valid;
            image.answer = answer;
            image.log.clear();
            ImageInfoRecord r = Scribbled(images.validHandle);
            const uint32_t status = row.call(&r);
            const bool refreshed = row.refresh == Refresh::Always || (row.refresh == Refresh::OnSuccess && !answer);
            uint32_t expected = 0;
            if (answer && row.refresh != Refresh::Always && row.failingOpAnswered) expected = answer;
            EXPECT_EQ(status, expected);
            EXPECT_EQ(r.modelId, refreshed ? kImageModelId : kScribble);
            EXPECT_EQ(r.handle, images.validHandle);
            std::vector<std::string> ops = CallOps(image.log);
            std::vector<std::string> want = row.ops;
            // A failing first step ends the call.
            if (answer && want.size() == 2 && want[0] != "GetOutputWindow") want.resize(1);
            EXPECT_EQ(ops, want);
        }

        ScriptedImage& bad = *images.invalid;
        bad.answer = 0;
        bad.log.clear();
        ImageInfoRecord r = Scribbled(images.invalidHandle);
        const uint32_t status = row.call(&r);
        if (row.invalid) {
            EXPECT_EQ(status, *row.invalid);
            EXPECT_TRUE(CallOps(bad.log).empty());
        } else {
            EXPECT_EQ(status, 0u);
            EXPECT_EQ(CallOps(bad.log), row.ops);
        }
        const bool refreshed = row.invalidRefreshes || (!row.invalid && row.refresh != Refresh::Never);
        EXPECT_EQ(r.modelId, refreshed ? kImageModelId : kScribble);
    }
}

TEST(VqImageCalls, ArgumentChecksAndWhatTheOperationsReceive) {
    VqSession session;
    Images images;
    ScriptedImage& image = *images.valid;
    uint32_t word = 0;

    ImageInfoRecord r = Scribbled(images.validHandle);
    EXPECT_EQ(VqGetProcessingDirectory(&r, nullptr), VQ_ERR_NULL_OUTPUT);
    EXPECT_EQ(VqSetImageDescription(&r, 4, nullptr), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(VqGetHidden(&r, 2, nullptr), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(VqSetHidden(&r, 2, nullptr), VQ_ERR_BAD_HANDLE);
    EXPECT_EQ(VqGetExtension(&r, 2, nullptr), VQ_ERR_BAD_HANDLE);
    ImageInfoRecord noHandle = Scribbled(0);
    EXPECT_EQ(VqGetExtension(&noHandle, 2, &word), VQ_ERR_NO_IMAGE_HANDLE);
    EXPECT_EQ(VqWriteWhiteBalanceFile(&noHandle, nullptr, nullptr), VQ_ERR_BAD_HANDLE);
    VqPathRecord path{};
    EXPECT_EQ(VqWriteWhiteBalanceFile(&noHandle, &path, nullptr), VQ_ERR_NO_IMAGE_HANDLE);
    ImageInfoRecord mono = Scribbled(images.validHandle);
    mono.isColour = 0;
    EXPECT_EQ(VqWriteWhiteBalanceFile(&mono, &path, nullptr), VQ_ERR_WB_FILE_NOT_ALLOWED);
    // The checks come before the image is asked anything.
    EXPECT_TRUE(CallOps(image.log).empty());

    // The retry counter of file copies needs neither a record nor an image.
    SdkTakeCopyRetryCount();
    word = 99;
    EXPECT_EQ(VqGetHidden(nullptr, 13, &word), 0u);
    EXPECT_EQ(word, 0u);

    // The caller's rectangle is read, never written; the image works on a copy.
    image.answer = 0;
    SdkRect rect = {10, 12, 16, 16};
    uint16_t triple[3] = {};
    ASSERT_EQ(VqCalculateWhiteBalance(&r, &rect, triple), 0u);
    EXPECT_EQ(rect.x, 10);
    EXPECT_EQ(image.seenRect.x, 110);
    ASSERT_EQ(VqSetOutputWindow(&r, &rect), 0u);
    EXPECT_EQ(rect.x, 10);
    EXPECT_EQ(image.seenRect.x, 110);

    // A new output type is announced with the record's colour-space field.
    ASSERT_EQ(VqSetImageType(&r, VQ_TYPE_RGB16), 0u);
    EXPECT_EQ(image.seenColourSpace, &r.colourSpace);
}

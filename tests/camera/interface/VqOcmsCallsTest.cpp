// The colour-management exports over a scripted stand-in of the colour
// library: every call's checks in order, what reaches the library, the
// image's mode and profile slots, the cache through the exports, and closing.
#include "VqSession.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr uint32_t kFakeLibrary = 0x5EED;  // the handle the stand-in gives out
constexpr uint32_t kRgb = 0x52474220, kCmyk = 0x434D594B;

// The stand-in's scripting calls. Holding it open keeps its call log when the
// interface unloads it.
struct FakeLibrary {
    FakeLibrary() {
        handle = dlopen(LUMORA_FAKE_CMS_DIR "/OrvexCMSC.so", RTLD_NOW | RTLD_LOCAL);
        if (handle) Call<void (*)()>("FakeCms_Reset")();
    }
    ~FakeLibrary() {
        if (handle) dlclose(handle);
    }
    template <typename Fn>
    Fn Call(const char* name) {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }
    void Fail(const char* entry, uint32_t status) {
        Call<void (*)(const char*, uint32_t, int)>("FakeCms_Fail")(entry, status, 0);
    }
    std::string Log() { return Call<const char* (*)()>("FakeCms_Log")(); }
    void ClearLog() { Call<void (*)()>("FakeCms_ClearLog")(); }
    int LiveTransforms() { return Call<int (*)()>("FakeCms_LiveTransforms")(); }
    void* handle = nullptr;
};

size_t Count(const std::string& log, const std::string& call) {
    size_t n = 0;
    for (size_t at = log.find(call + ";"); at != std::string::npos; at = log.find(call + ";", at + 1)) ++n;
    return n;
}

class VqOcmsCalls : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_PROGRAM_DIR", LUMORA_FAKE_CMS_DIR, 1);
        ASSERT_NE(fake.handle, nullptr) << dlerror();
        session = std::make_unique<VqSession>();
    }
    void TearDown() override {
        CloseImage(colour);
        CloseImage(mono);
        uint32_t status = 0;
        // Whatever a test left open is closed with the library's own handle.
        VqOCMSClose(kFakeLibrary, &status);
        session.reset();
    }

    ImageInfoRecord Open(bool isColour) {
        ZyrSampleOptions o;
        o.model = "ZYNM03";
        ZyrWriter w(o.order);
        const ZyrSample::Ifds d = ZyrSample::Fill(w, o);
        if (!isColour) {
            w.Remove(d.thumbnail, 277);
            w.Shorts(d.thumbnail, 277, {1});
        }
        const std::string path = WriteFile(dir, isColour ? "c.zyr" : "m.zyr", w.Build());
        ImageInfoRecord r = EmptyRecord();
        EXPECT_EQ(VqOpenImageFile(path.c_str(), &r), 0u);
        return r;
    }
    static void CloseImage(ImageInfoRecord& r) {
        if (r.handle) VqCloseImage(&r);
        r.handle = 0;
    }
    void OpenLibrary() {
        uint32_t library = 0, status = 1;
        ASSERT_EQ(VqOCMSOpen(&library, &status), 0u);
        EXPECT_EQ(library, kFakeLibrary);
        EXPECT_EQ(status, 0u);
    }
    uint32_t SetProfile(ImageInfoRecord* r, int32_t slot, const char* name, int32_t mode = 0) {
        int32_t info[VQ_OCMS_INFO_WORDS];
        uint8_t header[VQ_OCMS_HEADER_BYTES];
        return VqOCMSSetProfile(r, slot, name, mode, info, header);
    }

    lumora::test::TempFolder dir;
    FakeLibrary fake;
    std::unique_ptr<VqSession> session;
    ImageInfoRecord colour = EmptyRecord(), mono = EmptyRecord();
};

} // namespace

TEST(VqOcmsCallsClosed, EveryCallNeedsAnOpenInterface) {
    ImageInfoRecord r = EmptyRecord();
    uint32_t word = 0;
    int32_t info[VQ_OCMS_INFO_WORDS];
    char name[VQ_OCMS_NAME_BYTES], text[16];
    int16_t control[8] = {};
    EXPECT_EQ(VqOCMSOpen(&word, &word), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSClose(1, &word), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSSetMode(&r, 2), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSGetMode(&r), 0u);
    EXPECT_EQ(VqOCMSSetProfile(&r, 3, "x", 0, info, nullptr), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSGetProfileInfo(&r, 3, name, info, nullptr), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSGetLastStatus(&r, &word), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSGetErrorText(1, text, sizeof text), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSSetCacheControl(control), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSGetCacheControl(control), VQ_ERR_DRIVER_NOT_OPEN);
    EXPECT_EQ(VqOCMSSenseCache(control), VQ_ERR_DRIVER_NOT_OPEN);
}

TEST_F(VqOcmsCalls, ChecksOfEveryCallInOrder) {
    colour = Open(true);
    ImageInfoRecord unknown = colour;
    unknown.handle = colour.handle + 100;
    ImageInfoRecord zero = colour;
    zero.handle = 0;
    int32_t info[VQ_OCMS_INFO_WORDS];
    char name[VQ_OCMS_NAME_BYTES];
    uint8_t header[VQ_OCMS_HEADER_BYTES];
    char text[32];
    int16_t control[8] = {12, 3, 3, 3, 3, 3, 0, 0};
    uint32_t word = 0;

    struct Row {
        const char* what;
        std::function<uint32_t()> call;
        uint32_t closed, open;  // answers before and after VqOCMSOpen
    };
    const Row rows[] = {
        {"SetMode null record", [&] { return VqOCMSSetMode(nullptr, 2); }, VQ_ERR_NULL_IMAGE_RECORD,
         VQ_ERR_NULL_IMAGE_RECORD},
        {"SetMode handle 0", [&] { return VqOCMSSetMode(&zero, 2); }, VQ_ERR_BAD_HANDLE, VQ_ERR_BAD_HANDLE},
        {"SetMode unknown handle", [&] { return VqOCMSSetMode(&unknown, 2); }, VQ_ERR_BAD_HANDLE,
         VQ_ERR_BAD_HANDLE},
        {"SetMode mode 0", [&] { return VqOCMSSetMode(&colour, 0); }, VQ_ERR_OCMS_MODE_ZERO,
         VQ_ERR_OCMS_MODE_ZERO},
        {"SetMode", [&] { return VqOCMSSetMode(&colour, 2); }, VQ_ERR_OCMS_NOT_OPEN,
         VQ_ERR_OCMS_NO_SOURCE_PROFILE},
        {"SetProfile slot 8", [&] { return VqOCMSSetProfile(nullptr, 8, "p", 0, info, header); },
         VQ_ERR_OCMS_BAD_PROFILE_SLOT, VQ_ERR_OCMS_BAD_PROFILE_SLOT},
        {"SetProfile null record", [&] { return VqOCMSSetProfile(nullptr, 3, "p", 0, info, header); },
         VQ_ERR_NULL_IMAGE_RECORD, VQ_ERR_NULL_IMAGE_RECORD},
        {"SetProfile unknown handle", [&] { return VqOCMSSetProfile(&unknown, 3, "p", 0, info, header); },
         VQ_ERR_BAD_HANDLE, VQ_ERR_BAD_HANDLE},
        {"SetProfile slot 2", [&] { return VqOCMSSetProfile(&colour, 2, "p", 0, info, header); },
         VQ_ERR_OCMS_NOT_OPEN, VQ_ERR_NULL_IMAGE_RECORD},
        {"SetProfile mode 5", [&] { return VqOCMSSetProfile(&colour, 4, "p", 5, info, header); },
         VQ_ERR_OCMS_NOT_OPEN, VQ_ERR_OCMS_BAD_PROFILE_MODE},
        {"GetProfileInfo null name", [&] { return VqOCMSGetProfileInfo(&colour, 3, nullptr, info, header); },
         VQ_ERR_BAD_HANDLE, VQ_ERR_BAD_HANDLE},
        {"GetProfileInfo null info", [&] { return VqOCMSGetProfileInfo(&colour, 3, name, nullptr, header); },
         VQ_ERR_BAD_HANDLE, VQ_ERR_BAD_HANDLE},
        {"GetProfileInfo slot 8", [&] { return VqOCMSGetProfileInfo(&colour, 8, name, info, header); },
         VQ_ERR_OCMS_NOT_OPEN, VQ_ERR_OCMS_BAD_PROFILE_SLOT},
        {"GetProfileInfo null record", [&] { return VqOCMSGetProfileInfo(nullptr, 3, name, info, header); },
         VQ_ERR_OCMS_NOT_OPEN, VQ_ERR_NULL_IMAGE_RECORD},
        {"GetProfileInfo unknown handle", [&] { return VqOCMSGetProfileInfo(&unknown, 3, name, info, header); },
         VQ_ERR_OCMS_NOT_OPEN, VQ_ERR_BAD_HANDLE},
        {"GetProfileInfo slot 2", [&] { return VqOCMSGetProfileInfo(&colour, 2, name, info, header); },
         VQ_ERR_OCMS_NOT_OPEN, VQ_ERR_NULL_IMAGE_RECORD},
        {"GetLastStatus null record", [&] { return VqOCMSGetLastStatus(nullptr, &word); },
         VQ_ERR_NULL_IMAGE_RECORD, VQ_ERR_NULL_IMAGE_RECORD},
        {"GetLastStatus unknown handle", [&] { return VqOCMSGetLastStatus(&unknown, &word); }, VQ_ERR_BAD_HANDLE,
         VQ_ERR_BAD_HANDLE},
        {"GetLastStatus", [&] { return VqOCMSGetLastStatus(&colour, &word); }, 0, 0},
        {"GetErrorText", [&] { return VqOCMSGetErrorText(5, text, sizeof text); }, VQ_ERR_OCMS_NOT_OPEN, 0},
        {"GetErrorText null buffer", [&] { return VqOCMSGetErrorText(5, nullptr, 10); }, VQ_ERR_OCMS_NOT_OPEN, 0},
        {"GetErrorText length 0", [&] { return VqOCMSGetErrorText(5, text, 0); }, VQ_ERR_OCMS_NOT_OPEN, 0},
        {"GetCacheControl", [&] { return VqOCMSGetCacheControl(control); }, VQ_ERR_OCMS_NOT_OPEN, 0},
        {"SetCacheControl", [&] { return VqOCMSSetCacheControl(control); }, VQ_ERR_OCMS_NOT_OPEN, 0},
        {"SenseCache", [&] { return VqOCMSSenseCache(control); }, VQ_ERR_OCMS_NOT_OPEN, 0},
        {"Close", [&] { return VqOCMSClose(kFakeLibrary, &word); }, VQ_ERR_OCMS_NOT_OPEN, VQ_ERR_OCMS_NOT_OPEN},
    };
    for (const Row& row : rows) EXPECT_EQ(row.call(), row.closed) << "closed: " << row.what;
    EXPECT_EQ(VqOCMSGetMode(&colour), 0u) << "no mode to answer before colour management opens";
    OpenLibrary();
    uint32_t again = 0;
    EXPECT_EQ(VqOCMSOpen(&again, &again), VQ_ERR_OCMS_ALREADY_OPEN);
    // The close row last: it ends colour management for the rows after it.
    for (const Row& row : rows) {
        if (std::string(row.what) == "Close") continue;
        EXPECT_EQ(row.call(), row.open) << "open: " << row.what;
    }
    EXPECT_EQ(VqOCMSGetMode(&colour), 1u) << "a new image has no colour management";
    EXPECT_EQ(VqOCMSGetMode(&unknown), 0u);
    EXPECT_EQ(VqOCMSGetMode(nullptr), 0u);
    EXPECT_EQ(std::string(text), "fake error 5");
    fake.Fail("SpGetErrorText", 3);
    EXPECT_EQ(VqOCMSGetErrorText(5, text, sizeof text), VQ_ERR_OCMS_ERROR_TEXT_FAILED);
}

TEST_F(VqOcmsCalls, OutsAreClearedBeforeTheLibraryAnswers) {
    colour = Open(true);
    OpenLibrary();
    int32_t info[VQ_OCMS_INFO_WORDS];
    uint8_t header[VQ_OCMS_HEADER_BYTES];
    std::memset(info, 0x55, sizeof info);
    std::memset(header, 0x55, sizeof header);
    EXPECT_EQ(VqOCMSSetProfile(&colour, 2, "p", 0, info, header), VQ_ERR_NULL_IMAGE_RECORD);
    for (int32_t v : info) EXPECT_EQ(v, 0);
    for (uint8_t b : header) EXPECT_EQ(b, 0);

    fake.Fail("SpProfileLoadHeader", 77);
    EXPECT_EQ(VqOCMSSetProfile(&colour, 3, "p", 0, info, header), VQ_ERR_OCMS_HEADER_LOAD_FAILED);
    EXPECT_EQ(info[0], 77) << "the library's own status";
    int16_t counts[6] = {1, 1, 1, 1, 1, 1};
    ASSERT_EQ(VqOCMSSenseCache(counts), 0u);
    EXPECT_EQ(counts[0], 0) << "a failed load keeps nothing";

    char name[VQ_OCMS_NAME_BYTES];
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(VqOCMSGetProfileInfo(&colour, 3, name, info, nullptr), 0u);
    for (char c : name) EXPECT_EQ(c, 0) << "an empty slot answers an empty name";
}

TEST_F(VqOcmsCalls, ModesProfilesAndTheRecordsColourSpace) {
    colour = Open(true);
    mono = Open(false);
    OpenLibrary();
    EXPECT_EQ(SetProfile(&mono, 3, "src"), VQ_ERR_OCMS_MONO_IMAGE);
    EXPECT_EQ(VqOCMSSetMode(&mono, 2), VQ_ERR_OCMS_MONO_IMAGE);
    EXPECT_EQ(VqOCMSSetMode(&colour, 1), VQ_ERR_OCMS_NO_SOURCE_PROFILE);

    int32_t info[VQ_OCMS_INFO_WORDS];
    uint8_t header[VQ_OCMS_HEADER_BYTES];
    ASSERT_EQ(VqOCMSSetProfile(&colour, 3, "src", 1, info, header), 0u);
    EXPECT_EQ(info[1], 1);
    EXPECT_EQ(info[2], 3);
    EXPECT_EQ(uint32_t(info[3]), kRgb) << "a source profile's input is its device side";
    EXPECT_EQ(info[6], 1);
    EXPECT_EQ(header[0], 1) << "the header block starts with its loaded flag";

    EXPECT_EQ(VqOCMSSetMode(&colour, 2), VQ_ERR_OCMS_NO_OUTPUT_PROFILE);
    EXPECT_EQ(VqOCMSSetMode(&colour, 3), VQ_ERR_OCMS_NO_OUTPUT_PROFILE2);
    ASSERT_EQ(SetProfile(&colour, 4, "monitor"), 0u);
    ASSERT_EQ(SetProfile(&colour, 5, "cmyk-press"), 0u);
    ASSERT_EQ(VqSetImageType(&colour, VQ_TYPE_CAMERA_RGB16), 0u);
    EXPECT_EQ(VqOCMSSetMode(&colour, 2), VQ_ERR_OCMS_TYPE_CONFLICT);
    EXPECT_EQ(VqOCMSSetMode(&colour, 1), 0u) << "camera RGB without colour management";
    ASSERT_EQ(VqSetImageType(&colour, VQ_TYPE_RGB16), 0u);

    // The record takes the colour space of the mode's output profile.
    struct Row {
        uint32_t mode;
        uint32_t space;
    } rows[] = {{2, kRgb}, {3, kCmyk}, {1, 0x73524742 /* sRGB */}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        colour.colourSpace = 0;
        ASSERT_EQ(VqOCMSSetMode(&colour, row.mode), 0u);
        EXPECT_EQ(colour.colourSpace, row.space);
        EXPECT_EQ(VqOCMSGetMode(&colour), row.mode);
    }

    char name[VQ_OCMS_NAME_BYTES];
    ASSERT_EQ(VqOCMSGetProfileInfo(&colour, 5, name, info, nullptr), 0u);
    EXPECT_STREQ(name, "cmyk-press");
    EXPECT_EQ(info[2], 5);
    EXPECT_EQ(uint32_t(info[4]), kCmyk);
    EXPECT_EQ(info[5], 4);
    uint32_t last = 1;
    ASSERT_EQ(VqOCMSGetLastStatus(&colour, &last), 0u);
    EXPECT_EQ(last, 0u);
}

TEST_F(VqOcmsCalls, CacheLimitsThroughTheExports) {
    colour = Open(true);
    OpenLibrary();
    int16_t control[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    ASSERT_EQ(VqOCMSGetCacheControl(control), 0u);
    const int16_t defaults[8] = {12, 3, 3, 3, 3, 3, 0, 0};
    EXPECT_EQ(std::memcmp(control, defaults, sizeof control), 0) << "limits 12 and 3, the spare words zero";

    // Four output profiles for the same slot: the kind holds three.
    for (const char* name : {"a", "b", "c", "a", "d"}) ASSERT_EQ(SetProfile(&colour, 4, name), 0u) << name;
    int16_t counts[6] = {};
    ASSERT_EQ(VqOCMSSenseCache(counts), 0u);
    EXPECT_EQ(counts[0], 3);
    EXPECT_EQ(counts[4], 3);
    EXPECT_EQ(fake.LiveTransforms(), 3);

    // Loading a name again finds its entry, whether its transform is loaded
    // or was unloaded: no new entry, no header read, no reload until a
    // transform is prepared from it.
    fake.ClearLog();
    for (const char* name : {"a", "b", "c", "d"}) ASSERT_EQ(SetProfile(&colour, 4, name), 0u) << name;
    EXPECT_EQ(fake.Log(), "");
    ASSERT_EQ(VqOCMSSenseCache(counts), 0u);
    EXPECT_EQ(counts[4], 3);

    // A lower limit for the kind unloads down to it at once.
    const int16_t tight[8] = {12, 3, 3, 3, 1, 3, 0, 0};
    ASSERT_EQ(VqOCMSSetCacheControl(tight), 0u);
    ASSERT_EQ(VqOCMSSenseCache(counts), 0u);
    EXPECT_EQ(counts[0], 1);
    EXPECT_EQ(counts[4], 1);
    EXPECT_EQ(Count(fake.Log(), "SpXformFree"), 2u);

    // Emptying the cache frees every transform and forgets every entry.
    const int16_t none[8] = {};
    ASSERT_EQ(VqOCMSSetCacheControl(none), 0u);
    ASSERT_EQ(VqOCMSSenseCache(counts), 0u);
    for (int16_t c : counts) EXPECT_EQ(c, 0);
    EXPECT_EQ(fake.LiveTransforms(), 0);
}

TEST_F(VqOcmsCalls, CloseEndsTheLibraryOnceEvenWithAWrongHandle) {
    colour = Open(true);
    OpenLibrary();
    ASSERT_EQ(SetProfile(&colour, 3, "src"), 0u);
    ASSERT_EQ(SetProfile(&colour, 4, "out"), 0u);
    fake.ClearLog();
    uint32_t status = 99;
    EXPECT_EQ(VqOCMSClose(kFakeLibrary + 1, &status), VQ_ERR_OCMS_WRONG_HANDLE);
    EXPECT_EQ(status, 0u) << "the library's status of ending its work";
    const std::string log = fake.Log();
    EXPECT_EQ(Count(log, "SpXformFree"), 2u) << log;
    EXPECT_EQ(Count(log, "SpTerminate"), 1u) << log;
    EXPECT_EQ(fake.LiveTransforms(), 0);
    int16_t counts[6];
    EXPECT_EQ(VqOCMSSenseCache(counts), VQ_ERR_OCMS_NOT_OPEN) << "closed all the same";
    EXPECT_EQ(VqOCMSClose(kFakeLibrary, &status), VQ_ERR_OCMS_NOT_OPEN);

    // With the right handle: one end of work, and the second close inside the
    // call never reaches the unloaded library.
    OpenLibrary();
    ASSERT_EQ(SetProfile(&colour, 3, "src"), 0u);
    fake.ClearLog();
    EXPECT_EQ(VqOCMSClose(kFakeLibrary, &status), 0u);
    EXPECT_EQ(fake.Log(), "SpXformFree;SpTerminate;");
    // The image's slots still name entries of the closed session. Entries of
    // the next session never take those names, so a stale slot reports
    // nothing rather than someone else's profile.
    OpenLibrary();
    ASSERT_EQ(SetProfile(&colour, 4, "other"), 0u);
    int32_t info[VQ_OCMS_INFO_WORDS];
    char name[VQ_OCMS_NAME_BYTES];
    ASSERT_EQ(VqOCMSGetProfileInfo(&colour, 3, name, info, nullptr), 0u);
    EXPECT_EQ(info[1], 0);
    EXPECT_STREQ(name, "");
    ASSERT_EQ(VqOCMSGetProfileInfo(&colour, 4, name, info, nullptr), 0u);
    EXPECT_STREQ(name, "other");
}

TEST_F(VqOcmsCalls, RefusedStartLeavesColourManagementClosed) {
    fake.Fail("SpInitialize", 9);
    uint32_t library = 7, status = 0;
    EXPECT_EQ(VqOCMSOpen(&library, &status), VQ_ERR_OCMS_OPEN_FAILED);
    EXPECT_EQ(status, 9u) << "the library's own answer";
    EXPECT_EQ(library, 7u) << "no handle given out";
    int16_t counts[6];
    EXPECT_EQ(VqOCMSSenseCache(counts), VQ_ERR_OCMS_NOT_OPEN);
    EXPECT_EQ(VqOCMSClose(kFakeLibrary, &status), VQ_ERR_OCMS_NOT_OPEN);
    fake.Fail("SpInitialize", 0);
    OpenLibrary();
}

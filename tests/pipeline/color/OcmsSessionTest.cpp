#include "ColorTransformStage.h"
#include "OcmsSession.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The fake library's scripting calls, reached through the loaded module.
struct Fake {
    void* handle = nullptr;
    template <typename Fn>
    Fn get(const char* name) {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }
    void Reset() { get<void (*)()>("FakeCms_Reset")(); }
    void Fail(const char* entry, uint32_t status, int after = 0) {
        get<void (*)(const char*, uint32_t, int)>("FakeCms_Fail")(entry, status, after);
    }
    std::string Log() { return get<const char* (*)()>("FakeCms_Log")(); }
    void ClearLog() { get<void (*)()>("FakeCms_ClearLog")(); }
    int LiveTransforms() { return get<int (*)()>("FakeCms_LiveTransforms")(); }
    int LiveProfiles() { return get<int (*)()>("FakeCms_LiveProfiles")(); }
    void SetCombineFailIndex(uint32_t i) { get<void (*)(uint32_t)>("FakeCms_SetCombineFailIndex")(i); }
};

class OcmsSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LUMORA_PROGRAM_DIR", LUMORA_FAKE_CMS_DIR, 1);
        // Held for the whole test so the call log survives the session's unload.
        fake.handle = dlopen(LUMORA_FAKE_CMS_DIR "/OrvexCMSC.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(fake.handle, nullptr) << dlerror();
        fake.Reset();
        session = OcmsSession::Instance();
        ASSERT_NE(session, nullptr);
        uint32_t status = 1;
        ASSERT_EQ(session->Open(&library, &status), 0u);
        EXPECT_EQ(status, 0u);
        EXPECT_TRUE(OcmsSession::IsOpen());
    }
    void TearDown() override {
        uint32_t status = 0;
        if (OcmsSession::Existing()) {
            if (OcmsSession::IsOpen()) session->Close(OcmsSession::LibraryHandle(), &status);
            OcmsSession::Destroy();
        }
        if (fake.handle) dlclose(fake.handle);
    }

    uint32_t Load(const char* text, int slot, int mode = 0, VqStatus* answer = nullptr) {
        char name[kOcmsNameBytes] = {};
        std::strncpy(name, text, sizeof name - 1);
        OcmsProfileInfo info{};
        uint8_t header[kOcmsHeaderBlockBytes];
        uint32_t entry = 0;
        const VqStatus st = session->LoadProfile(name, slot, mode, &info, header, &entry);
        if (answer) *answer = st;
        return entry;
    }

    Fake fake;
    OcmsSession* session = nullptr;
    uint32_t library = 0;
};

} // namespace

TEST_F(OcmsSessionTest, SameNameAndModeMakeOneEntry) {
    const uint32_t a = Load("in.icc", 3);
    const uint32_t b = Load("in.icc", 3);
    const uint32_t c = Load("in.icc", 3, 1);
    const uint32_t d = Load("in.icc", 4);
    EXPECT_NE(a, 0u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c) << "another profile mode";
    EXPECT_NE(a, d) << "another slot";
    EXPECT_EQ(session->EntryCount(), 3u);
    EXPECT_EQ(fake.LiveProfiles(), 0) << "profiles are freed once their transform is taken";
}

TEST_F(OcmsSessionTest, LoadProfileReportsInfoAndStatuses) {
    char name[kOcmsNameBytes] = "out.icc";
    OcmsProfileInfo info{};
    uint8_t header[kOcmsHeaderBlockBytes] = {};
    uint32_t entry = 0;
    ASSERT_EQ(session->LoadProfile(name, 4, 2, &info, header, &entry), 0u);
    EXPECT_EQ(info.values[1], 1);
    EXPECT_EQ(info.values[2], 4);
    EXPECT_EQ(uint32_t(info.values[3]), 0x58595A20u) << "non-source profiles exchange the two spaces";
    EXPECT_EQ(uint32_t(info.values[4]), 0x52474220u);
    EXPECT_EQ(info.values[5], 3);
    EXPECT_EQ(info.values[6], 2);
    EXPECT_EQ(header[0], 1) << "header block starts with its loaded flag";

    // info [0] holds the status of the last library call made: after a failed
    // SpXformGet the profile is still freed, and that good free is the last call.
    struct Row {
        int slot, mode;
        const char* failing;
        VqStatus expected;
        int32_t lastStatus;
    } rows[] = {
        {2, 0, nullptr, VQ_ERR_NULL_IMAGE_RECORD, 0},
        {8, 0, nullptr, VQ_ERR_NULL_IMAGE_RECORD, 0},
        {5, 5, nullptr, VQ_ERR_OCMS_BAD_PROFILE_MODE, 0},
        {5, 0, "SpProfileLoadHeader", VQ_ERR_OCMS_HEADER_LOAD_FAILED, 77},
        {5, 0, "SpProfileLoadProfile", VQ_ERR_OCMS_PROFILE_LOAD_FAILED, 77},
        {5, 0, "SpXformGet", VQ_ERR_OCMS_XFORM_GET_FAILED, 0},
        {5, 0, "SpXformGetChannels", VQ_ERR_OCMS_CHANNELS_FAILED, 77},
        {5, 0, "SpProfileFree", 0, 0},
    };
    int n = 0;
    for (const Row& row : rows) {
        fake.Reset();
        if (row.failing) fake.Fail(row.failing, 77);
        const std::string unique = "bad" + std::to_string(n++);
        std::strncpy(name, unique.c_str(), sizeof name - 1);
        const size_t before = session->EntryCount();
        EXPECT_EQ(session->LoadProfile(name, row.slot, row.mode, &info, header, &entry), row.expected) << row.failing;
        if (row.failing) {
            EXPECT_EQ(info.values[0], row.lastStatus) << row.failing;
        }
        if (row.expected == 0) {
            EXPECT_EQ(session->EntryCount(), before + 1) << "a failed free after a good load still loads";
        } else {
            EXPECT_EQ(session->EntryCount(), before) << "a failed load keeps no entry";
            EXPECT_EQ(fake.LiveTransforms(), 0);
        }
    }
}

TEST_F(OcmsSessionTest, ReloadFailureOfAnEvictedSourceReachesTheRecordAsTheLastCallsStatus) {
    // The source is evicted by a kind-3 limit of 0, then reloaded while the
    // transform is prepared; the step that fails decides what the record holds
    // and with it the answer.
    struct Row {
        const char* failing;
        uint32_t lastStatus;
        VqStatus expected;
    } rows[] = {
        {"SpProfileLoadProfile", 41, VQ_ERR_OCMS_TRANSFORM_FAILED},
        {"SpXformGet", 0, VQ_ERR_OCMS_NO_SOURCE_PROFILE},
    };
    int n = 0;
    for (const Row& row : rows) {
        fake.Reset();
        OcmsImageRecord record;
        record.mode = 2;
        const std::string tag = std::to_string(n++);
        record.slots[3] = Load(("src" + tag).c_str(), 3);
        record.slots[4] = Load(("out" + tag).c_str(), 4);
        const int16_t noSources[8] = {12, 3, 3, 0, 3, 3, 0, 0};
        ASSERT_EQ(session->SetCacheControl(noSources), 0u);
        ASSERT_EQ(session->Entry(record.slots[3])->transform, 0u);
        const int16_t defaults[8] = {12, 3, 3, 3, 3, 3, 0, 0};
        ASSERT_EQ(session->SetCacheControl(defaults), 0u);
        fake.Fail(row.failing, 41);
        EXPECT_EQ(session->PrepareTransform(&record), row.expected) << row.failing;
        EXPECT_EQ(record.lastStatus, row.lastStatus) << row.failing;
        EXPECT_EQ(record.slots[1], 0u);
    }
}

TEST_F(OcmsSessionTest, LeastRecentlyUsedProfileIsUnloadedAndReloaded) {
    const uint32_t e1 = Load("a", 4), e2 = Load("b", 4), e3 = Load("c", 4);
    Load("a", 4); // a is now the most recent
    const uint32_t e4 = Load("d", 4);
    EXPECT_NE(session->Entry(e1)->transform, 0u);
    EXPECT_EQ(session->Entry(e2)->transform, 0u) << "b was the least recently used";
    EXPECT_NE(session->Entry(e3)->transform, 0u);
    EXPECT_NE(session->Entry(e4)->transform, 0u);
    int16_t counts[6];
    session->SenseCache(counts);
    EXPECT_EQ(counts[0], 3);
    EXPECT_EQ(counts[4], 3);
    EXPECT_EQ(fake.LiveTransforms(), 3);

    // Using b in a transform reloads it from its stored name, in the same entry.
    OcmsImageRecord record;
    record.mode = 2;
    record.slots[3] = Load("src", 3);
    record.slots[4] = e2;
    ASSERT_EQ(session->PrepareTransform(&record), 0u);
    EXPECT_NE(session->Entry(e2)->transform, 0u);
    EXPECT_NE(record.slots[1], 0u);
}

TEST_F(OcmsSessionTest, TotalLimitEvictsAcrossKinds) {
    const int16_t control[8] = {2, 3, 3, 3, 3, 3, 0, 0};
    ASSERT_EQ(session->SetCacheControl(control), 0u);
    const uint32_t a = Load("a", 3), b = Load("b", 4), c = Load("c", 5);
    EXPECT_EQ(session->Entry(a)->transform, 0u);
    EXPECT_NE(session->Entry(b)->transform, 0u);
    EXPECT_NE(session->Entry(c)->transform, 0u);

    const int16_t none[8] = {};
    ASSERT_EQ(session->SetCacheControl(none), 0u);
    int16_t counts[6] = {1, 1, 1, 1, 1, 1};
    session->SenseCache(counts);
    for (int16_t v : counts) EXPECT_EQ(v, 0);
    EXPECT_EQ(session->EntryCount(), 0u);
    EXPECT_EQ(fake.LiveTransforms(), 0);
}

TEST_F(OcmsSessionTest, CacheControlStartsWithDefaultsAndZeroedSpareWords) {
    int16_t control[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    session->GetCacheControl(control);
    const int16_t expected[8] = {12, 3, 3, 3, 3, 3, 0, 0};
    EXPECT_EQ(std::memcmp(control, expected, sizeof control), 0);
}

TEST_F(OcmsSessionTest, PrepareTransformStatuses) {
    OcmsImageRecord record;
    record.mode = 7;
    EXPECT_EQ(session->PrepareTransform(&record), VQ_ERR_OCMS_BAD_MODE);
    EXPECT_EQ(session->PrepareTransform(nullptr), VQ_ERR_OCMS_NULL_RECORD);
    record.mode = 2;
    EXPECT_EQ(session->PrepareTransform(&record), VQ_ERR_OCMS_NO_SOURCE_PROFILE);
    record.slots[3] = Load("src", 3);
    EXPECT_EQ(session->PrepareTransform(&record), VQ_ERR_OCMS_NO_TRANSFORM);
    record.slots[4] = Load("out", 4);
    record.slots[6] = Load("look", 6);

    for (uint32_t index : {0u, 1u, 2u, 5u}) {
        fake.Fail("SpCombineXforms", 3);
        fake.SetCombineFailIndex(index);
        // The library's failure lands in the record, which turns the answer into
        // the general transform failure whichever link failed.
        EXPECT_EQ(session->PrepareTransform(&record), VQ_ERR_OCMS_TRANSFORM_FAILED);
        EXPECT_EQ(record.lastStatus, 3u);
        EXPECT_EQ(record.slots[1], 0u);
    }
    fake.Fail("SpCombineXforms", 0);
    const int live = fake.LiveTransforms();
    ASSERT_EQ(session->PrepareTransform(&record), 0u);
    ASSERT_NE(record.slots[1], 0u);
    const OcmsCacheEntry* t = session->Entry(record.slots[1]);
    EXPECT_EQ(t->kind, 1);
    EXPECT_EQ(t->sourceEntry, record.slots[3]);
    EXPECT_EQ(t->middleEntry, record.slots[6]);
    EXPECT_EQ(t->outputEntry, record.slots[4]);
    EXPECT_EQ(fake.LiveTransforms(), live + 1);
    // A prepared transform in its slot is reused.
    fake.ClearLog();
    ASSERT_EQ(session->PrepareTransform(&record), 0u);
    EXPECT_EQ(fake.Log(), "");
}

TEST_F(OcmsSessionTest, EvaluateChecksLayoutAndFourthPlane) {
    OcmsImageRecord record;
    record.mode = 3;
    record.slots[3] = Load("src", 3);
    record.slots[5] = Load("cmyk-out", 5);
    ASSERT_EQ(session->PrepareTransform(&record), 0u);
    int16_t p[6] = {1, 2, 3, 4, 5, 6}, q[6] = {}, r[6] = {9, 9, 9, 9, 9, 9}, k[6] = {};
    EXPECT_EQ(session->EvaluateTransform(&record, p, q, r, nullptr, 1, 2, 1, 1), VQ_ERR_NULL_PLANES);
    record.sampleLayout = 2;
    fake.ClearLog();
    EXPECT_EQ(session->EvaluateTransform(&record, p, q, r, k, 1, 2, 1, 1), VQ_ERR_OCMS_BAD_LAYOUT);
    EXPECT_EQ(fake.Log(), "") << "no library call for an unsupported layout";
    record.sampleLayout = 1;
    ASSERT_EQ(session->EvaluateTransform(&record, p, q, r, k, 1, 2, 1, 1), 0u);
    OcmsLayout src{}, dst{};
    reinterpret_cast<void (*)(OcmsLayout*, OcmsLayout*)>(dlsym(fake.handle, "FakeCms_LastLayouts"))(&src, &dst);
    EXPECT_EQ(src.sampleType, 4);
    EXPECT_EQ(dst.sampleType, 5);
    EXPECT_EQ(src.columns, 3);
    EXPECT_EQ(src.rows, 2);
    EXPECT_EQ(src.rowOffset, 6);
    EXPECT_EQ(src.columnOffset, 2);
    EXPECT_EQ(src.channels, 3);
    EXPECT_EQ(dst.channels, 4);
    EXPECT_EQ(p[0], 9);
    EXPECT_EQ(r[5], 6);

    fake.Fail("SpEvaluate", 12);
    EXPECT_EQ(session->EvaluateTransform(&record, p, q, r, k, 1, 2, 1, 1), VQ_ERR_OCMS_EVALUATE_FAILED);
    EXPECT_EQ(record.lastStatus, 12u);
}

TEST_F(OcmsSessionTest, CloseTwiceNeverCallsTheUnloadedLibrary) {
    Load("src", 3);
    EXPECT_EQ(session->Close(library + 1, nullptr), VQ_ERR_OCMS_WRONG_HANDLE);
    uint32_t status = 99;
    ASSERT_EQ(session->Close(library, &status), 0u);
    EXPECT_EQ(status, 0u);
    EXPECT_FALSE(OcmsSession::IsOpen());
    EXPECT_EQ(fake.LiveTransforms(), 0);
    fake.ClearLog();
    EXPECT_EQ(session->Close(OcmsSession::LibraryHandle(), &status), 0u);
    EXPECT_EQ(fake.Log(), "");
    char text[32];
    EXPECT_EQ(session->GetErrorText(1, text, sizeof text), VQ_ERR_OCMS_NOT_OPEN);
}

TEST_F(OcmsSessionTest, ColourManagedStageRunsThroughTheSession) {
    OcmsImageRecord record;
    record.mode = 4;
    record.slots[3] = Load("src", 3);
    ColorTransformStage stage;
    stage.mode = ColorTransformStage::ModeColourManaged;
    stage.transformRecord = &record;
    stage.width = 2;
    stage.height = 1;
    stage.workingMaximum = 0x7FFF;
    ASSERT_EQ(stage.Prepare(), 0u);
    int16_t p[2] = {1, 2}, q[2] = {3, 4}, r[2] = {5, 6};
    ASSERT_EQ(stage.Run(p, q, r, nullptr), 0u);
    EXPECT_EQ(p[0], 5);
    EXPECT_EQ(r[1], 2);
    EXPECT_EQ(stage.Release(), 0u);
}

TEST_F(OcmsSessionTest, ColourManagedStageRefusesAPreMatrixWhoseRowsDiffer) {
    OcmsImageRecord record;
    record.mode = 4;
    record.slots[3] = Load("src", 3);
    // Rows sum to 1000, 1000 and 999 over a denominator that is no power of two.
    for (int i = 0; i < 9; ++i) record.preMatrix[i] = {i % 4 == 0 ? 1000 : 0, 1000};
    record.preMatrix[8].numerator = 999;
    ColorTransformStage stage;
    stage.mode = ColorTransformStage::ModeColourManaged;
    stage.transformRecord = &record;
    stage.width = 1;
    stage.height = 1;
    stage.workingMaximum = 0x7FFF;
    EXPECT_EQ(stage.Prepare(), VQ_ERR_ROW_SUMS_DIFFER);
    EXPECT_EQ(stage.recordApplier, nullptr);
}

TEST_F(OcmsSessionTest, FailedProfileLoadStillSweepsTheCache) {
    const int16_t oneSource[8] = {12, 3, 3, 1, 3, 3, 0, 0};
    ASSERT_EQ(session->SetCacheControl(oneSource), 0u);
    OcmsImageRecord record;
    record.mode = 4;
    record.slots[3] = Load("a", 3);
    Load("b", 3); // evicts a
    ASSERT_EQ(session->Entry(record.slots[3])->transform, 0u);
    // Preparing reloads a without a sweep: two sources hold a transform.
    ASSERT_EQ(session->PrepareTransform(&record), 0u);
    int16_t counts[6] = {};
    session->SenseCache(counts);
    ASSERT_EQ(counts[3], 2);

    VqStatus answer = 0;
    EXPECT_EQ(Load("c", 3, 9, &answer), 0u);
    EXPECT_EQ(answer, VQ_ERR_OCMS_BAD_PROFILE_MODE);
    session->SenseCache(counts);
    EXPECT_EQ(counts[3], 1) << "the failed load swept the cache back to its limit";
    EXPECT_EQ(fake.LiveTransforms(), 1);
}

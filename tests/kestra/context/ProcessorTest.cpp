// The processor's objects and contexts: sizes of the padded kernel layout,
// the evaluation-kind table, threads, the gain table and the status mapping.
#include "FpContext.h"
#include "FpEvalKinds.h"
#include "KestraTestSupport.h"
#include "PsfStatus.h"

#include <thread>

using namespace kestratest;
using namespace kestra;

TEST(KestraProcessor, CeilLog2AndPaddedSampleCounts) {
    const int64_t n[] = {0, 1, 2, 5, 7, 32, 64, -3, 65, 0x7FFFFFFF};
    const int32_t log[] = {0, 0, 1, 3, 3, 5, 6, 0, 7, 31};
    for (size_t i = 0; i < std::size(n); ++i) EXPECT_EQ(FpCeilLog2(n[i]), log[i]) << n[i];

    const struct {
        int32_t taps, variants, levels;
        uint32_t count;
    } tables[] = {{5, 64, 4, 2048}, {32, 64, 18, 65536}, {1, 256, 1, 256}, {7, 3, 3, 128}};
    const uint64_t before = lumora::MovableMemory::liveBlocks();
    for (const auto& c : tables) {
        Handle h = 0;
        ASSERT_EQ(FpNewKernelTable(h), FpOk);
        FpKernelTable* t = FpLockKernelTable(h);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->headerWord, 48u);
        t->taps = c.taps;
        t->variants = c.variants;
        t->levels = c.levels;
        t->bytesPerSample = 2;
        t->secondTable = 1;
        ASSERT_EQ(FpAllocKernelSamples(t), FpOk);
        EXPECT_EQ(t->sampleCount, c.count);
        EXPECT_EQ(lumora::MovableMemory::size(t->sampleHandle), uint64_t(c.count) * 2);
        EXPECT_EQ(lumora::MovableMemory::size(t->secondHandle), uint64_t(c.levels) * uint64_t(c.variants) * 4);
        // The padding stays zero; the last real sample sits where the layout says.
        const auto* s = static_cast<const int16_t*>(t->samples);
        EXPECT_EQ(s[c.count - 1], 0);
        EXPECT_LT(FpSampleIndex(*t, c.levels - 1, c.variants - 1, c.taps - 1), c.count);
        FpFreeKernelTable(t);
    }
    // Sizes the layout cannot hold are refused before any allocation.
    Handle h = 0;
    ASSERT_EQ(FpNewKernelTable(h), FpOk);
    FpKernelTable* t = FpLockKernelTable(h);
    t->taps = 1 << 16;
    t->variants = 1 << 16;
    t->levels = 2;
    t->bytesPerSample = 2;
    EXPECT_EQ(FpAllocKernelSamples(t), FpNoMemory);
    t->taps = 0;
    EXPECT_EQ(FpAllocKernelSamples(t), FpNoMemory);
    FpFreeKernelTable(t);
    EXPECT_EQ(lumora::MovableMemory::liveBlocks(), before);
}

TEST(KestraProcessor, EvaluationKindTable) {
    FpEvalKind table[kEvalKindSlots];
    FpClearEvalKinds(table);
    EXPECT_EQ(FpRegisterEvalKind(5, table), FpOk);
    EXPECT_EQ(FpRegisterEvalKind(5, table), FpOk); // again: one more user, no new slot
    EXPECT_EQ(table[0].kind, 5u);
    EXPECT_EQ(table[0].users, 2u);
    EXPECT_EQ(table[1].kind, 0u);
    for (uint32_t kind = 10; kind < 19; ++kind) EXPECT_EQ(FpRegisterEvalKind(kind, table), FpOk);
    EXPECT_EQ(FpRegisterEvalKind(99, table), FpEvalKindTable); // the eleventh kind
    EXPECT_EQ(FpRegisterEvalKind(12, table), FpOk);            // a known one still counts
    EXPECT_EQ(FpRegisterEvalKind(0, table), FpEvalKindTable);
    int32_t slot = -1;
    EXPECT_EQ(FpFindEvalKind(12, slot, table), FpOk);
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(FpFindEvalKind(3, slot, table), FpEvalKindTable);

    // With only the separable engine, every request runs it.
    FpClearEvalKinds(table);
    FpRegisterEvalKind(5, table);
    for (uint32_t requested : {0u, 3u, 4u, 5u}) {
        uint32_t kind = 0;
        EXPECT_EQ(FpChooseEvalKind(requested, kind, table, 5), FpOk);
        EXPECT_EQ(kind, 5u) << requested;
    }
    // With kind 3 registered, small kernels go to it and long ones to 5.
    FpRegisterEvalKind(3, table);
    uint32_t kind = 0;
    FpChooseEvalKind(0, kind, table, 16);
    EXPECT_EQ(kind, 3u);
    FpChooseEvalKind(4, kind, table, 17);
    EXPECT_EQ(kind, 5u);
}

TEST_F(KestraTest, ThreadsAttachAndTheProcessorAnswersUnattachedThreads) {
    int32_t count = 0;
    FpEvalKind kinds[kEvalKindSlots];
    ASSERT_EQ(FpGetEvalKinds(count, kinds), FpOk);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(kinds[0].kind, kSeparableKind);
    EXPECT_EQ(FpSharedRecord()->options, 0u);

    const PSFFilter f = load(sharpeningSpec());
    PsfFilterRecord* r = PsfLockFilterRecord(f);
    const Handle fp = r->filter;
    PsfUnlockFilterRecord(f);

    FpStatus unattached = 0, attached = 0, afterDetach = 0, detachTwice = 0;
    PSFStatus viaInterface = 0;
    std::thread worker([&] {
        EXPECT_EQ(FpEnterThread(), nullptr);
        unattached = FpSetThreshold(fp, 3);
        PSFAttributeValue v{};
        viaInterface = PSFGetFilterAttribute(f, PSFAttrTaps, &v);
        EXPECT_EQ(PSFInitThread(0), PSFSuccess);
        attached = FpSetThreshold(fp, 3);
        EXPECT_EQ(PSFTermThread(0), PSFSuccess);
        afterDetach = FpSetThreshold(fp, 3);
        detachTwice = FpDetachThread();
    });
    worker.join();
    EXPECT_EQ(unattached, FpNoThreadContext);
    EXPECT_EQ(viaInterface, PSFErrNoThreadMemory);
    EXPECT_EQ(attached, FpOk);
    EXPECT_EQ(afterDetach, FpNoThreadContext);
    EXPECT_EQ(detachTwice, FpFailed);

    // Attaching the initialising thread again only counts a use.
    EXPECT_EQ(PSFInitThread(0), PSFSuccess);
    EXPECT_EQ(PSFTermThread(0), PSFSuccess);
    EXPECT_NE(FpEnterThread(), nullptr);
    FpLeaveThread();
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST_F(KestraTest, KernelSetServicesGainTableThresholdAndTaps) {
    const PSFFilter f = load(sharpeningSpec(2, 4, 7));
    PsfFilterRecord* r = PsfLockFilterRecord(f);
    const Handle fp = r->filter;
    PsfUnlockFilterRecord(f);
    Handle set = 0;
    ASSERT_EQ(FpFilterKernels(fp, set), FpHasKernels);

    Handle gain = 0, gainAgain = 0;
    ASSERT_EQ(FpGetGainTable(fp, gain), FpOk);
    EXPECT_EQ(lumora::MovableMemory::size(gain), 256u);
    EXPECT_EQ(FpGetGainTable(fp, gainAgain), FpOk);
    EXPECT_EQ(gainAgain, gain); // made once
    {
        FpLockedKernelSet s(set);
        FpKernelTable* g = s->slot(kSlotGain).table;
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(std::string(g->kindName), "alt");
        EXPECT_EQ(g->variants, 256);
        EXPECT_EQ(g->bytesPerSample, 1);
    }
    EXPECT_EQ(FpSetThreshold(fp, 12), FpOk);
    {
        Locked<FpKernelSet> s(set);
        EXPECT_EQ(s->threshold, 12u);
    }
    int32_t taps = 0;
    EXPECT_EQ(FpKernelTaps(set, taps), FpOk);
    EXPECT_EQ(taps, 7);
    EXPECT_EQ(FpKernelTaps(0, taps), FpNoKernelTable);
    EXPECT_EQ(FpFilterState(0), FpBadFilterHandle);
    // The gain table and the kernels go with the filter.
    EXPECT_EQ(PSFFreeFilter(f), PSFSuccess);
}

TEST(KestraStatus, ProcessorCodesMapToInterfaceStatuses) {
    const struct {
        FpStatus code;
        int32_t status;
    } rows[] = {{1, 1},       {100, 1026}, {143, 1026}, {581, 1026}, {101, 1035}, {123, 1035}, {102, 1027},
                {107, 1036},  {108, 1037}, {110, 1046}, {114, 1031}, {305, 1042}, {510, 1047}, {562, 1047},
                {547, 1041},  {553, 1025}, {600, 1025}, {558, 1029}, {575, 1029}, {590, 1048}, {126, 126},
                {161, 161},   {145, 145},  {148, 148},  {504, 504},  {514, 514},  {-1, -1},    {0, 0}};
    for (const auto& r : rows) EXPECT_EQ(PsfMapStatus(r.code), r.status) << r.code;
}

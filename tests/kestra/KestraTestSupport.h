#pragma once
// Shared by the filter-library tests: a caller for each test with a check
// that every movable buffer made during the test is gone after the caller
// ends, filters loaded from the fixture writer, and filters assembled from
// the library's own parts (the way filter creation makes them).
#include "FilterBufferWriter.h"
#include "FpAttributeList.h"
#include "FpFilterRecord.h"
#include "FpKernels.h"
#include "FpStamps.h"
#include "Kestra.h"
#include "Locked.h"
#include "PsfFilterRecord.h"

#include <MovableMemory.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kestratest {

using filtertool::FilterSpec;
using filtertool::WriteFilterBuffer;

class KestraTest : public ::testing::Test {
protected:
    void SetUp() override {
        blocksBefore_ = lumora::MovableMemory::liveBlocks();
        ASSERT_EQ(PSFInitialize(&caller_), PSFSuccess);
    }
    void TearDown() override {
        EXPECT_EQ(PSFTerminate(caller_), PSFSuccess);
        EXPECT_EQ(lumora::MovableMemory::liveBlocks(), blocksBefore_) << "movable buffers left behind";
    }

    PSFFilter load(const std::vector<uint8_t>& bytes, PSFStatus expected = PSFSuccess) {
        PSFFilter f = 0;
        EXPECT_EQ(PSFLoadFilterFromBuffer(caller_, bytes.data(), uint32_t(bytes.size()), &f), expected);
        return f;
    }
    PSFFilter load(const FilterSpec& spec, PSFStatus expected = PSFSuccess) {
        return load(WriteFilterBuffer(spec), expected);
    }

    std::vector<uint8_t> store(PSFFilter f) {
        uint32_t size = 0;
        EXPECT_EQ(PSFGetBufferSize(f, &size), PSFSuccess);
        std::vector<uint8_t> out(size);
        uint32_t count = 0;
        EXPECT_EQ(PSFStoreFilterToBuffer(f, out.data(), size, &count), PSFSuccess);
        out.resize(count);
        return out;
    }

    // A filter put together as the library makes new ones: stamped
    // attributes, a header of format version 2 with the kernel flag, and,
    // when withKernels is set, a kernel table of the given sizes.
    PSFFilter make(bool withKernels, int32_t levels = 2, int32_t variants = 3, int32_t taps = 5) {
        using namespace kestra;
        uint32_t textLength = 0;
        Handle list = 0;
        EXPECT_EQ(FpNewAttributeList(0, levels, variants, taps, textLength, list), FpOk);
        const Handle header = allocBufferHandle(sizeof(FpFilterHeader));
        {
            Locked<FpFilterHeader> h(header);
            std::memset(h.get(), 0, sizeof(FpFilterHeader));
            h->words[FpFilterHeader::Magic] = kFilterMagic;
            h->words[FpFilterHeader::Version] = kFormatVersion;
            h->words[FpFilterHeader::TextLength] = textLength;
            h->words[FpFilterHeader::KernelFlag] = kKernelFlag;
        }
        Handle fp = 0;
        EXPECT_EQ(FpNewFilter(header, list, fp), FpOk);
        if (withKernels) {
            Handle set = 0, table = 0;
            EXPECT_EQ(FpNewKernelSetHandle(set), FpOk);
            EXPECT_EQ(FpNewKernelTable(table), FpOk);
            {
                Locked<FpKernelSet> s(set);
                s->magic = kFilterMagic;
                s->version = kFormatVersion;
                s->slot(kSlotKernels).handle = table;
            }
            FpLockedKernelSet s(set);
            FpKernelTable* t = s->slot(kSlotKernels).table;
            t->taps = taps;
            t->variants = variants;
            t->levels = levels;
            t->bytesPerSample = 2;
            t->fractionBits = 9;
            std::memcpy(t->kindName, "kf", 3);
            t->secondTable = 1;
            EXPECT_EQ(FpAllocKernelSamples(t), FpOk);
            auto* samples = static_cast<int16_t*>(t->samples);
            for (int32_t l = 0; l < levels; ++l)
                for (int32_t v = 0; v < variants; ++v)
                    for (int32_t k = 0; k < taps; ++k)
                        samples[FpSampleIndex(*t, l, v, k)] = filtertool::PatternSample(l, v, k);
            auto* second = static_cast<int16_t*>(t->second);
            for (int32_t i = 0; i < levels * variants * 2; ++i) second[i] = int16_t(i * 3 - 7);
            EXPECT_EQ(FpAttachKernels(fp, set), FpOk);
        }
        Handle h = 0;
        PsfFilterRecord* record = nullptr;
        EXPECT_EQ(PsfNewFilterRecord(caller_, h, record), PSFSuccess);
        record->filter = fp;
        PsfSetFilterKind(record);
        PsfUnlockFilterRecord(h);
        return h;
    }

    PSFCaller caller_ = 0;
    uint64_t blocksBefore_ = 0;
};

// A sharpening filter of the fixture writer.
inline FilterSpec sharpeningSpec(int32_t levels = 2, int32_t variants = 4, int32_t taps = 5) {
    FilterSpec s;
    s.levels = levels;
    s.variants = variants;
    s.taps = taps;
    s.text = filtertool::SharpeningText(levels, variants, taps);
    return s;
}

// The record of PSFAttributeValue with room for a longer text.
struct LongAttributeValue {
    PSFAttributeValue head;
    char more[1200];
};

} // namespace kestratest

// The raw engine on one, two, four and eight lanes of the worker pool: the caller
// sees the same strips, progress calls, cancel answers and failures in the same
// order, every one of them on its own thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "RawEngineFixture.h"
#include "RawEngineV3.h"
#include "RawEngineV3Fixture.h"
#include "WorkerPool.h"

namespace {

using namespace lumora;
using namespace lumora::test;

constexpr int kLanesWidth = 96, kLanesHeight = 300;

struct LanesEngine {
    RawEngine engine;
    MemoryImage image;
    EngineSetup setup;
    LanesEngine(const EngineOptions& o, int w = kLanesWidth, int h = kLanesHeight) {
        setup.Configure(engine, image, PlainFile(BusySensor(w, h, 7)), w, h, o);
    }
};

// The version-3 engine with its chroma filter and concealed columns.
struct LanesEngineV3 {
    RawEngineV3 engine;
    MemoryImage image;
    EngineSetup setup;
    V3Setup v3;
    explicit LanesEngineV3(const EngineOptions& o) {
        setup.Configure(engine, image, PlainFile(BusySensor(kLanesWidth, kLanesHeight, 11)), kLanesWidth,
                        kLanesHeight, o);
        V3Options v;
        v.chromaLevel = 100;
        v.badColumns = {10, 11, 40};
        v3.Configure(engine, kLanesWidth, kLanesHeight, v);
    }
};

// What the caller saw of one rendering, in order: "p<state>,<percent>" for a
// progress call and "s<bytes>:<hash>" for a strip handed on.
struct LanesSeen {
    std::vector<std::string> calls;
    bool elsewhere = false; // a call came on another thread than the caller's
    VqStatus status = VQ_OK;
    std::thread::id caller;
    int stopAt = -1; // the progress call that answers cancel
    int progressCalls = 0;
};
thread_local LanesSeen* tLanesSeen = nullptr;

uint64_t LanesHash(const uint8_t* b, size_t n) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
    return h;
}

// Renders on `lanes` lanes into a buffer of `rows` output rows (0: the whole
// picture), gathering what the caller sees.
LanesSeen LanesRender(RawEngine& e, uint32_t type, unsigned lanes, int rows, int stopAt = -1, int width = kLanesWidth,
                      int height = kLanesHeight) {
    WorkerPool::Shared().SetLanes(lanes);
    SetParameter(e, RP_OUTPUT_TYPE, int32_t(type));
    LanesSeen seen;
    seen.caller = std::this_thread::get_id();
    seen.stopAt = stopAt;
    tLanesSeen = &seen;
    int32_t sampleBytes = 0, channels = 0;
    e.GetOutputFormat(type, &sampleBytes, &channels);
    const size_t rowBytes = size_t(sampleBytes) * size_t(channels) * size_t(width);
    std::vector<uint8_t> buffer(rowBytes * size_t(rows == 0 ? height : rows), 0xAB);
    ImageBufferRecord record{buffer.data(), uint32_t(buffer.size()), 0,
                             [](void* b, uint32_t n, int32_t) -> void* {
                                 LanesSeen* s = tLanesSeen;
                                 if (!s) return nullptr; // on a worker: its thread has no rendering
                                 s->elsewhere |= std::this_thread::get_id() != s->caller;
                                 s->calls.push_back("s" + std::to_string(n) + ":" +
                                                    std::to_string(LanesHash(static_cast<uint8_t*>(b), n)));
                                 return b;
                             }};
    ProgressRecord progress{[](int32_t state, int32_t percent, int32_t, int32_t) -> int32_t {
                                LanesSeen* s = tLanesSeen;
                                if (!s) return 0;
                                s->elsewhere |= std::this_thread::get_id() != s->caller;
                                s->calls.push_back("p" + std::to_string(state) + "," + std::to_string(percent));
                                return ++s->progressCalls == s->stopAt ? 0 : 1;
                            },
                            0};
    seen.status = e.RenderImage(&record, &progress);
    if (rows == 0 && seen.status == VQ_OK) seen.calls.push_back("w" + std::to_string(LanesHash(buffer.data(), buffer.size())));
    tLanesSeen = nullptr;
    WorkerPool::Shared().SetLanes(ProcessorCount());
    return seen;
}

void ExpectSameAsOneLane(const LanesSeen& one, const LanesSeen& many, const std::string& what) {
    EXPECT_EQ(many.status, one.status) << what;
    EXPECT_EQ(many.calls, one.calls) << what;
    EXPECT_FALSE(many.elsewhere) << what;
    EXPECT_FALSE(one.elsewhere) << what;
}

// Strips of a few rows are worked ahead on every lane; a buffer for the whole
// picture spreads its pieces over them. Every stage that looks at its
// neighbours is on.
TEST(RawEngineLanes, EveryLaneCountHandsOnTheSameStripsAndProgress) {
    EngineOptions o;
    o.sharpen = o.mosaicFilter = o.offsets = o.gainMap = true;
    o.identityCurves = false;
    LanesEngine t(o);
    for (uint32_t type : {4u, 6u}) {
        for (int rows : {7, 16, 150, 0}) {
            const LanesSeen one = LanesRender(t.engine, type, 1, rows);
            ASSERT_EQ(one.status, VQ_OK) << rows;
            ASSERT_GT(one.calls.size(), 2u);
            for (unsigned lanes : {2u, 4u, 8u})
                ExpectSameAsOneLane(one, LanesRender(t.engine, type, lanes, rows),
                                    "type " + std::to_string(type) + ", " + std::to_string(rows) + " rows, " +
                                        std::to_string(lanes) + " lanes");
        }
    }
}

// The version-3 engine works whole strips ahead on the lanes: the same strips
// and progress, and a cancel at the same strip.
TEST(RawEngineLanes, TheVersionThreeEngineHandsOnTheSameStripsOnEveryLaneCount) {
    EngineOptions o;
    o.sharpen = o.offsets = o.gainMap = true;
    o.identityCurves = false;
    LanesEngineV3 t(o);
    for (int rows : {8, 30, 0}) {
        const LanesSeen one = LanesRender(t.engine, 6, 1, rows);
        ASSERT_EQ(one.status, VQ_OK) << rows;
        for (unsigned lanes : {2u, 4u, 8u})
            ExpectSameAsOneLane(one, LanesRender(t.engine, 6, lanes, rows),
                                std::to_string(rows) + " rows, " + std::to_string(lanes) + " lanes");
        if (rows == 0) continue;
        for (int stop : {1, 3, one.progressCalls / 2}) {
            const LanesSeen cancelled = LanesRender(t.engine, 6, 1, rows, stop);
            ASSERT_EQ(cancelled.status, VQ_ERR_CANCELLED) << rows << " rows, call " << stop;
            for (unsigned lanes : {2u, 8u})
                ExpectSameAsOneLane(cancelled, LanesRender(t.engine, 6, lanes, rows, stop),
                                    std::to_string(rows) + " rows, call " + std::to_string(stop) + ", " +
                                        std::to_string(lanes) + " lanes");
        }
    }
}

// A cancel at any progress call stops the rendering there: the strips handed
// on before it are the same, none after it, whatever the lanes.
TEST(RawEngineLanes, ACancelStopsAtTheSameStripOnEveryLaneCount) {
    LanesEngine t(EngineOptions{});
    for (int rows : {16, 0}) {
        const LanesSeen whole = LanesRender(t.engine, 6, 1, rows);
        for (int stop = 1; stop <= whole.progressCalls; stop += rows == 0 ? 1 : 5) {
            const LanesSeen one = LanesRender(t.engine, 6, 1, rows, stop);
            ASSERT_EQ(one.status, VQ_ERR_CANCELLED) << rows << " rows, call " << stop;
            for (unsigned lanes : {2u, 4u, 8u})
                ExpectSameAsOneLane(one, LanesRender(t.engine, 6, lanes, rows, stop),
                                    std::to_string(rows) + " rows, call " + std::to_string(stop) + ", " +
                                        std::to_string(lanes) + " lanes");
        }
    }
}

// Row offsets that cover only the top of the sensor fail the first strip
// below them: the strips above are handed on, then the failure, as on one
// lane.
TEST(RawEngineLanes, AFailingStripEndsTheRenderingWhereOneLaneEndsIt) {
    EngineOptions o;
    o.offsets = true;
    LanesEngine t(o);
    SetParameter(t.engine, RP_OFFSET_TABLE_SIZE, int32_t(kLanesHeight / 2));
    for (int rows : {10, 0}) {
        const LanesSeen one = LanesRender(t.engine, 6, 1, rows);
        ASSERT_EQ(one.status, VQ_ERR_BAD_FILE) << rows;
        for (unsigned lanes : {2u, 4u, 8u})
            ExpectSameAsOneLane(one, LanesRender(t.engine, 6, lanes, rows),
                                std::to_string(rows) + " rows, " + std::to_string(lanes) + " lanes");
    }
}

} // namespace

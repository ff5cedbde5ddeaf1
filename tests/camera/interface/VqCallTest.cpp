#include "VqCall.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace lumora::vq;

namespace {

struct Geometry {
    int32_t outputWidth = 0;
    int32_t outputHeight = 0;
};
struct Record {
    int32_t outputType = 0;
    int32_t handle = 0;
    Geometry geometry;
};

struct FakeImage {
    bool valid = true;
    Record info{};
    uint32_t geometryStatus = 0;
    int operations = 0;

    bool IsValid() const { return valid; }
    void GetInfo(Record* r) const { *r = info; }
    uint32_t GetGeometry(Geometry* g) {
        g->outputWidth = 640;
        g->outputHeight = 480;
        return geometryStatus;
    }
};

struct FakeCameraRecord {
    int32_t cameraId = 0;
};
struct FakeCamera {
    bool open = true;
    int operations = 0;
    bool IsOpen() const { return open; }
};

} // namespace

TEST(VqCall, ImageCallChecksInOrderAndRefreshesOnlyAfterSuccess) {
    enum class Setup { NullRecord, NoTable, HandleZero, ClosedHandle, Invalid, OpFails, Ok, GeometryFails };
    struct Case {
        Setup setup;
        uint32_t answer;
        bool operationRuns;
        bool refreshed;
    };
    const Case cases[] = {
        {Setup::NullRecord, VQ_ERR_NULL_IMAGE_RECORD, false, false},
        {Setup::NoTable, VQ_ERR_BAD_HANDLE, false, false},
        {Setup::HandleZero, VQ_ERR_BAD_HANDLE, false, false},
        {Setup::ClosedHandle, VQ_ERR_BAD_HANDLE, false, false},
        {Setup::Invalid, VQ_ERR_IMAGE_NOT_VALID, false, false},
        {Setup::OpFails, VQ_ERR_BAD_ROTATION, true, false},
        {Setup::Ok, 0, true, true},
        {Setup::GeometryFails, VQ_ERR_BAD_ROTATION, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.setup));
        uint32_t counter = 0;
        HandleMap<FakeImage> table(counter);
        FakeImage image;
        const int32_t handle = table.Add(&image);
        image.info = Record{6, handle, {}};
        Record record{4, handle, {}};
        if (c.setup == Setup::HandleZero) record.handle = 0;
        if (c.setup == Setup::ClosedHandle) table.Remove(handle);
        if (c.setup == Setup::Invalid) image.valid = false;
        if (c.setup == Setup::GeometryFails) image.geometryStatus = VQ_ERR_BAD_ROTATION;
        const uint32_t opStatus = c.setup == Setup::OpFails ? VQ_ERR_BAD_ROTATION : 0;

        auto op = [&](FakeImage& img) {
            ++img.operations;
            return opStatus;
        };
        const uint32_t answer = VqCall::ImageCall(c.setup == Setup::NoTable ? nullptr : &table,
                                                  c.setup == Setup::NullRecord ? nullptr : &record, op);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(image.operations, c.operationRuns ? 1 : 0);
        if (c.refreshed) {
            EXPECT_EQ(record.outputType, 6);
            EXPECT_EQ(record.geometry.outputWidth, 640);
        } else if (c.setup != Setup::NullRecord) {
            EXPECT_EQ(record.outputType, 4);
            EXPECT_EQ(record.geometry.outputWidth, 0);
        }
    }
}

TEST(VqCall, CameraCallChecksInOrder) {
    enum class Setup { NullRecord, IdZeroNoTable, NoTable, Unknown, NotOpen, NotOpenAnyway, Ok };
    struct Case {
        Setup setup;
        uint32_t answer;
    };
    const uint32_t opStatus = 0x5305;  // answered unchanged
    const Case cases[] = {
        {Setup::NullRecord, VQ_ERR_BAD_HANDLE},  {Setup::IdZeroNoTable, VQ_ERR_NO_CAMERA_ID},
        {Setup::NoTable, VQ_ERR_BAD_HANDLE},     {Setup::Unknown, VQ_ERR_BAD_HANDLE},
        {Setup::NotOpen, VQ_ERR_CAMERA_NOT_OPEN}, {Setup::NotOpenAnyway, opStatus},
        {Setup::Ok, opStatus},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.setup));
        uint32_t counter = 0;
        HandleMap<FakeCamera> table(counter);
        FakeCamera camera;
        FakeCameraRecord record{table.Add(&camera)};
        if (c.setup == Setup::IdZeroNoTable) record.cameraId = 0;
        if (c.setup == Setup::Unknown) record.cameraId = 77;
        if (c.setup == Setup::NotOpen || c.setup == Setup::NotOpenAnyway) camera.open = false;
        const bool noTable = c.setup == Setup::NoTable || c.setup == Setup::IdZeroNoTable;
        const auto needs = c.setup == Setup::NotOpenAnyway ? VqCall::CameraNeeds::Anything : VqCall::CameraNeeds::Open;
        const uint32_t answer = VqCall::CameraCall(noTable ? nullptr : &table,
                                                   c.setup == Setup::NullRecord ? nullptr : &record, needs,
                                                   [&](FakeCamera& cam) {
                                                       ++cam.operations;
                                                       return opStatus;
                                                   });
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(camera.operations, answer == opStatus ? 1 : 0);
    }
}

TEST(VqCall, NothingThrownLeavesAnExport) {
    EXPECT_EQ(VqCall::Guarded([]() -> uint32_t { throw std::bad_alloc(); }), VQ_ERR_NO_MEMORY);
    EXPECT_EQ(VqCall::Guarded([]() -> uint32_t { throw std::runtime_error("x"); }), VQ_ERR_NO_MEMORY);
    EXPECT_EQ(VqCall::Guarded([]() -> uint32_t { return 7; }), 7u);
}

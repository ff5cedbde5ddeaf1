// The frame of the interface inside one program: callers, options, the
// evaluation type and the buffers a session leaves behind.
#include "KestraTestSupport.h"
#include "FpContext.h"
#include "PsfCallers.h"

using namespace kestratest;
using namespace kestra;

namespace {
uint32_t numberOf(PSFCaller c) {
    Locked<PsfCallerRecord> r(c);
    return r && r->magic == kCallerMagic ? r->number : 0;
}
} // namespace

TEST(KestraFrame, CallersOptionsAndTheEndOfTheLastCaller) {
    const uint64_t before = lumora::MovableMemory::liveBlocks();
    PSFCaller a = 0, b = 0, c = 0;
    const PSFInitOptions options{99, 0x1234};
    ASSERT_EQ(PSFInitializeEx(&a, &options), PSFSuccess);
    ASSERT_NE(FpSharedRecord(), nullptr);
    EXPECT_EQ(FpSharedRecord()->options, 0x1234u);
    EXPECT_EQ(PSFInitialize(&b), PSFSuccess);
    EXPECT_EQ(numberOf(a), 1u);
    EXPECT_EQ(numberOf(b), 2u);
    EXPECT_EQ(PSFTerminate(a), PSFSuccess);
    EXPECT_NE(FpSharedRecord(), nullptr); // the processor stays for b
    EXPECT_EQ(PSFInitialize(&c), PSFSuccess);
    EXPECT_EQ(numberOf(c), 3u); // numbers only grow while callers remain
    EXPECT_EQ(PSFSetEvalType(c, 5), PSFSuccess);
    {
        Locked<PsfCallerRecord> r(c);
        EXPECT_EQ(r->evalType, 5u);
    }
    EXPECT_EQ(PSFSetEvalType(a, 5), PSFErrBadCaller);
    EXPECT_EQ(PSFTerminate(a), PSFErrBadCaller);
    EXPECT_EQ(PSFTerminate(b), PSFSuccess);
    EXPECT_EQ(PSFTerminate(c), PSFSuccess);
    EXPECT_EQ(FpSharedRecord(), nullptr);
    EXPECT_EQ(FpEnterThread(), nullptr); // the contexts are gone
    EXPECT_EQ(lumora::MovableMemory::liveBlocks(), before);

    // Without a caller the processor is not running.
    PSFInfo info{};
    EXPECT_EQ(PSFGetInfo(&info, nullptr), PSFErrProcessorComponent);
    EXPECT_EQ(PSFTerminate(0), PSFErrBadCaller);
    EXPECT_EQ(PSFComposeFilters(), PSFErrNotImplemented);
    char text[8];
    EXPECT_EQ(PSFGetErrorText(1025, 1, text), PSFErrArgumentOutOfRange);

    // A new session numbers its callers from 1 again.
    ASSERT_EQ(PSFInitialize(&a), PSFSuccess);
    EXPECT_EQ(numberOf(a), 1u);
    EXPECT_EQ(FpSharedRecord()->options, 0u);
    EXPECT_EQ(PSFTerminate(a), PSFSuccess);
}

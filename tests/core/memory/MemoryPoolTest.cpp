#include "BlockOMemory.h"
#include "BlockOMemoryLock.h"
#include "BlockOMemoryPool.h"
#include "CoreTestSupport.h"
#include "NbErrorCodes.h"
#include "StBlockOMemoryPoolExceptionDisabler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace NimbalCore;
using coretest::CodeOf;

namespace {

constexpr uint64_t MB = 1 << 20;

// A heap block whose age the test sets (a fake clock).
class AgedBlock : public BlockOMemory {
public:
    AgedBlock(int32_t priority, time_t age) : BlockOMemory(priority), age_(age) {}
    time_t GetLastUseTime() const override { return age_; }

private:
    time_t age_;
};

struct BlockShape {
    uint64_t size;
    int32_t priority;
    time_t age;
};

class MemoryPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        pool = BlockOMemoryPool::Instance(true);
        pool->SetMemoryBudget(~uint64_t(0));
        pool->SetThrowOnFailure(1);
    }
    BlockOMemoryPool* pool = nullptr;
};

} // namespace

TEST_F(MemoryPoolTest, PurgeOrder) {
    struct Case {
        const char* what;
        std::vector<BlockShape> blocks;
        uint64_t request;
        uint64_t freed;
        std::vector<bool> purged;
        bool throws;
    } cases[] = {
        {"one old block that is big enough", {{10 * MB, 2, 200}, {1 * MB, 2, 100}}, 5 * MB, 10 * MB, {true, false}, false},
        {"the oldest until enough", {{MB, 2, 5}, {MB, 2, 1}, {MB, 2, 4}, {MB, 2, 2}, {MB, 2, 3}}, 3 * MB, 3 * MB,
         {false, true, false, true, true}, false},
        {"first fit by age, not the smallest", {{8 * MB, 2, 1}, {2 * MB, 2, 2}}, 2 * MB, 8 * MB, {true, false}, false},
        {"one priority-1 block before many priority-2 ones", {{MB, 2, 1}, {8 * MB, 1, 2}}, 5 * MB, 8 * MB,
         {false, true}, false},
        {"priority 2 before priority 1", {{MB, 1, 1}, {MB, 2, 9}, {MB, 2, 8}}, 2 * MB, 2 * MB, {false, true, true},
         false},
        {"then priority 1", {{MB, 1, 1}, {MB, 2, 9}, {MB, 1, 0}}, 2 * MB + 1, 3 * MB, {true, true, true}, false},
        {"zero bytes: the oldest priority-2 block", {{MB, 1, 1}, {2 * MB, 2, 5}, {3 * MB, 2, 3}}, 0, 3 * MB,
         {false, false, true}, false},
        {"zero bytes without priority 2", {{MB, 1, 4}, {2 * MB, 1, 2}}, 0, 2 * MB, {false, true}, false},
        {"zero bytes, nothing purgeable", {{MB, 0, 1}}, 0, 0, {false}, false},
        {"equal ages: registration order", {{MB, 2, 5}, {MB, 2, 5}}, 1, MB, {true, false}, false},
        {"more than there is", {{MB, 2, 1}, {MB, 1, 2}, {MB, 0, 0}, {MB, 3, 0}, {MB, -1, 0}}, 10 * MB, 2 * MB,
         {true, true, false, false, false}, true},
    };
    for (const Case& c : cases) {
        for (bool disabled : {false, true}) {
            std::vector<std::unique_ptr<AgedBlock>> blocks;
            for (const BlockShape& s : c.blocks) {
                blocks.push_back(std::make_unique<AgedBlock>(s.priority, s.age));
                blocks.back()->Create(s.size);
            }
            ASSERT_EQ(pool->GetBlockCount(), blocks.size()) << c.what;
            uint64_t freed = 0;
            int code = 0;
            {
                std::unique_ptr<StBlockOMemoryPoolExceptionDisabler> disabler;
                if (disabled) disabler = std::make_unique<StBlockOMemoryPoolExceptionDisabler>();
                code = CodeOf([&] { freed = pool->Flush(c.request); });
            }
            if (c.throws && !disabled) {
                EXPECT_EQ(code, NbErrOutOfMemory) << c.what;
            } else {
                EXPECT_EQ(code, 0) << c.what;
                EXPECT_EQ(freed, c.freed) << c.what << (disabled ? " (disabled)" : "");
            }
            for (size_t i = 0; i < blocks.size(); ++i) {
                EXPECT_EQ(!blocks[i]->IsAllocated(), c.purged[i]) << c.what << ", block " << i;
                if (c.purged[i]) {
                    EXPECT_EQ(blocks[i]->GetPurgePriority(), 2) << c.what;
                }
            }
        }
        EXPECT_EQ(pool->GetBlockCount(), 0u);
        EXPECT_EQ(pool->GetPooledBytes(), 0u);
    }
    EXPECT_EQ(pool->GetThrowOnFailure(), 1);
}

TEST_F(MemoryPoolTest, DisablersNest) {
    {
        StBlockOMemoryPoolExceptionDisabler outer;
        EXPECT_EQ(pool->GetThrowOnFailure(), 0);
        {
            StBlockOMemoryPoolExceptionDisabler inner;
            EXPECT_EQ(pool->GetThrowOnFailure(), 0);
        }
        EXPECT_EQ(pool->GetThrowOnFailure(), 0);
    }
    EXPECT_EQ(pool->GetThrowOnFailure(), 1);

    // Two threads' disablers end in the order their calls finish, not in
    // reverse: the pool stays quiet while either lives.
    auto first = std::make_unique<StBlockOMemoryPoolExceptionDisabler>();
    auto second = std::make_unique<StBlockOMemoryPoolExceptionDisabler>();
    first.reset();
    EXPECT_EQ(pool->GetThrowOnFailure(), 0) << "the second disabler still lives";
    second.reset();
    EXPECT_EQ(pool->GetThrowOnFailure(), 1);
}

TEST_F(MemoryPoolTest, BlocksCreateFreeAndFill) {
    BlockOMemory block;
    EXPECT_FALSE(block.IsAllocated());
    EXPECT_EQ(block.GetPurgePriority(), 2);
    block.Create(5);
    EXPECT_TRUE(block.IsAllocated());
    EXPECT_EQ(block.GetSize(), 5);
    EXPECT_NE(block.GetLastUseTime(), 0);
    EXPECT_EQ(pool->GetPooledBytes(), 5u);
    void* data = block.GetData();
    block.Create(100); // already allocated: nothing
    EXPECT_EQ(block.GetData(), data);
    EXPECT_EQ(block.GetSize(), 5);

    block.Fill8(0x11);
    block.Fill16(0xABCD);
    const uint8_t* p = static_cast<const uint8_t*>(block.GetData());
    const uint8_t after16[] = {0xCD, 0xAB, 0xCD, 0xAB, 0x11};
    EXPECT_EQ(std::memcmp(p, after16, 5), 0);
    block.Fill32(0x01020304);
    const uint8_t after32[] = {0x04, 0x03, 0x02, 0x01, 0x11};
    EXPECT_EQ(std::memcmp(p, after32, 5), 0);

    block.EnsureSize(3); // smaller: kept with its contents
    EXPECT_EQ(block.GetData(), data);
    EXPECT_EQ(p[0], 0x04);
    block.SetPurgePriority(1);
    block.EnsureSize(64);
    EXPECT_EQ(block.GetSize(), 64);
    EXPECT_EQ(block.GetPurgePriority(), 2); // freed and made again
    block.Free();
    EXPECT_FALSE(block.IsAllocated());
    EXPECT_EQ(block.GetSize(), 0);
    EXPECT_EQ(block.GetLastUseTime(), 0);
    EXPECT_EQ(pool->GetBlockCount(), 0u);
    block.Free(); // nothing

    BlockOMemory small;
    small.Create(3);
    small.Fill8(7);
    small.Fill32(-1); // too small for one word
    EXPECT_EQ(static_cast<const uint8_t*>(small.GetData())[0], 7);
    BlockOMemory one;
    one.Create(1);
    one.Fill8(9);
    one.Fill16(0xFFFF);
    EXPECT_EQ(static_cast<const uint8_t*>(one.GetData())[0], 9);
    BlockOMemory empty;
    empty.Fill8(1);
    empty.Fill16(1);
    empty.Fill32(1);
}

TEST_F(MemoryPoolTest, UnpooledBlocksStayOutOfTheRegister) {
    BlockOMemory block;
    block.SetNotPooled(true);
    block.Create(100);
    EXPECT_EQ(pool->GetBlockCount(), 0u);
    EXPECT_EQ(pool->Flush(0), 0u);
    EXPECT_TRUE(block.IsAllocated());
}

TEST_F(MemoryPoolTest, SizesBeyondABlockAreRefused) {
    BlockOMemory block;
    // 40000 x 30000 pixels of three 16-bit samples: far beyond what one block holds.
    const uint64_t bytes = uint64_t(40000) * 30000 * 3 * 2;
    EXPECT_EQ(CodeOf([&] { block.Create(bytes); }), NbErrAllocFailed);
    EXPECT_EQ(CodeOf([&] { block.Create(BlockOMemoryBase::kMaxSize + 1); }), NbErrAllocFailed);
    EXPECT_FALSE(block.IsAllocated());
    EXPECT_EQ(block.GetSize(), 0);
    EXPECT_EQ(block.GetData(), nullptr);
}

TEST_F(MemoryPoolTest, PinsKeepBlocksAndCountAsUse) {
    AgedBlock old(2, 1);
    old.Create(MB);
    BlockOMemory fresh(1);
    fresh.Create(MB);
    {
        BlockOMemoryLock pin(&old);
        EXPECT_EQ(old.GetPurgePriority(), 0);
        {
            BlockOMemoryLock again(&old);
            EXPECT_EQ(old.GetPurgePriority(), 0);
        }
        EXPECT_EQ(old.GetPurgePriority(), 0);
        EXPECT_EQ(pool->Flush(0), MB);
        EXPECT_TRUE(old.IsAllocated());
        EXPECT_FALSE(fresh.IsAllocated());
    }
    EXPECT_EQ(old.GetPurgePriority(), 2);
    BlockOMemory touched;
    touched.Create(10);
    const time_t before = touched.GetLastUseTime();
    { BlockOMemoryLock pin(&touched); }
    EXPECT_GE(touched.GetLastUseTime(), before);
}

TEST_F(MemoryPoolTest, BudgetPurgesOldBlocksBeforeGrowing) {
    pool->SetMemoryBudget(10 * MB);
    AgedBlock a(2, 1), b(2, 2), c(2, 3), d(2, 4);
    a.Create(3 * MB);
    b.Create(3 * MB);
    c.Create(3 * MB);
    EXPECT_EQ(pool->GetPooledBytes(), 9 * MB);
    d.Create(3 * MB);
    EXPECT_FALSE(a.IsAllocated());
    EXPECT_TRUE(b.IsAllocated() && c.IsAllocated() && d.IsAllocated());
    EXPECT_EQ(pool->GetPooledBytes(), 9 * MB);
    {
        BlockOMemoryLock pin(&b);
        a.Create(3 * MB); // the oldest unpinned one goes
    }
    EXPECT_TRUE(b.IsAllocated());
    EXPECT_FALSE(c.IsAllocated());
    EXPECT_LE(pool->GetPooledBytes(), 10 * MB);

    // More than the budget can ever hold: 1500, or under a disabler the
    // block is made all the same.
    AgedBlock huge(2, 9);
    EXPECT_EQ(CodeOf([&] { huge.Create(11 * MB); }), NbErrOutOfMemory);
    EXPECT_FALSE(huge.IsAllocated());
    {
        StBlockOMemoryPoolExceptionDisabler disabler;
        huge.Create(11 * MB);
    }
    EXPECT_TRUE(huge.IsAllocated());
}

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Keeps the compiler from leaving out an allocation whose memory is unused.
char* Escape(char* p) {
    asm volatile("" : : "r"(p) : "memory");
    return p;
}

uint64_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * uint64_t(sysconf(_SC_PAGESIZE));
}

// Runs body in a child process; answers its exit status.
int InCappedChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        int result = 99;
        try {
            result = body();
        } catch (...) {
            result = 98;
        }
        _exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Caps the address space 32 MB above what is in use.
bool Cap() {
    const rlimit limit{AddressSpaceInUse() + 32 * MB, RLIM_INFINITY};
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

} // namespace

TEST_F(MemoryPoolTest, FailingMallocPurgesAndRetries) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers need the address space a cap takes away";
    // A purgeable block makes room for an allocation that would not fit.
    EXPECT_EQ(InCappedChild([] {
                  BlockOMemory cache;
                  cache.Create(96 * MB);
                  if (!Cap()) return 2;
                  std::unique_ptr<char[]> big(Escape(new char[80 * MB]));
                  return cache.IsAllocated() ? 3 : 0;
              }),
              0);
    // Nothing to purge: the pool's 1500 comes out of the allocation ...
    EXPECT_EQ(InCappedChild([] {
                  if (!Cap()) return 2;
                  try {
                      std::unique_ptr<char[]> big(Escape(new char[200 * MB]));
                  } catch (const YlmErrp& e) {
                      return e.GetCode() == NbErrOutOfMemory ? 0 : 4;
                  }
                  return 3;
              }),
              0);
    // ... and under a disabler the allocator's own failure.
    EXPECT_EQ(InCappedChild([] {
                  StBlockOMemoryPoolExceptionDisabler disabler;
                  if (!Cap()) return 2;
                  try {
                      std::unique_ptr<char[]> big(Escape(new char[200 * MB]));
                  } catch (const std::bad_alloc&) {
                      char* none = Escape(new (std::nothrow) char[200 * MB]);
                      return none == nullptr ? 0 : 5;
                  }
                  return 3;
              }),
              0);
}

// The Vx services and movable buffers, with the movable-memory debug moves on:
// every block moves and is poisoned on its last unlock.
#include "CmsTestSupport.h"
#include "TempFolder.h"

#include <MovableMemory.h>

#include <cstring>
#include <dlfcn.h>
#include <thread>

using namespace cmstest;

namespace {

class DebugMoves : public ::testing::Environment {
public:
    void SetUp() override { lumora::MovableMemory::setDebugMoves(true); }
};
const auto* const kDebugMoves = ::testing::AddGlobalTestEnvironment(new DebugMoves);


} // namespace

TEST(CmsBuffers, LockedPointersFollowTheirBlockAndStalePointersAreForgotten) {
    ASSERT_TRUE(lumora::MovableMemory::debugMoves());
    const VxBufferHandle h = allocBufferHandle(64);
    ASSERT_NE(h, 0u);
    auto* p = static_cast<uint8_t*>(lockBuffer(h));
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x5A, 64);
    EXPECT_EQ(lockBuffer(h), p); // nested locks keep the block where it is
    unlockBuffer(h);
    EXPECT_EQ(getHandleFromPtr(p), h);
    unlockBuffer(h); // last unlock: the block may move
    EXPECT_EQ(getHandleFromPtr(p), 0u);
    auto* q = static_cast<uint8_t*>(lockBuffer(h));
    ASSERT_NE(q, nullptr);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(q[i], 0x5A);
    EXPECT_EQ(unlockBufferPtr(q), h);
    unlockBuffer(h); // an unlocked block is left alone
    freeBuffer(h);
    EXPECT_EQ(lockBuffer(h), nullptr);
    EXPECT_EQ(lockBuffer(0), nullptr);

    // By pointer: made locked, unlocked back to its handle, freed.
    auto* r = static_cast<uint32_t*>(allocBufferPtr(16));
    ASSERT_NE(r, nullptr);
    r[0] = 0xCAFEF00D;
    const VxBufferHandle rh = getHandleFromPtr(r);
    ASSERT_NE(rh, 0u);
    EXPECT_EQ(unlockBufferPtr(r), rh);
    auto* again = static_cast<uint32_t*>(lockBuffer(rh));
    EXPECT_EQ(again[0], 0xCAFEF00Du);
    freeBufferPtr(again);
    EXPECT_EQ(lockBuffer(rh), nullptr);
    EXPECT_EQ(unlockBufferPtr(again), 0u);

    void* fixed = allocSysBufferPtr(32);
    ASSERT_NE(fixed, nullptr);
    freeSysBufferPtr(fixed);
}

TEST(CmsBuffers, ManyThreadsLockAndUnlockTheirOwnBlocks) {
    std::vector<std::thread> threads;
    std::vector<int> bad(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                auto* p = static_cast<uint8_t*>(allocBufferPtr(32));
                std::memset(p, t, 32);
                const VxBufferHandle h = unlockBufferPtr(p);
                auto* q = static_cast<uint8_t*>(lockBuffer(h));
                for (int i = 0; i < 32; ++i) bad[size_t(t)] += q[i] != t;
                freeBufferPtr(q);
            }
        });
    for (auto& th : threads) th.join();
    for (int b : bad) EXPECT_EQ(b, 0);
}

TEST(CmsThreadMemory, OneBlockPerKeyAndScope) {
    static int keyA, keyB;
    auto* a = static_cast<uint32_t*>(VxThreadMemCreate(&keyA, VxScopeProcess, 8));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a[0], 0u);
    EXPECT_EQ(VxThreadMemCreate(&keyA, VxScopeProcess, 8), nullptr); // already there
    EXPECT_EQ(VxThreadMemFind(&keyA, VxScopeProcess), a);
    VxThreadMemUnlock(&keyA, VxScopeProcess);
    EXPECT_EQ(VxThreadMemFind(&keyA, VxScopeThread), nullptr);
    EXPECT_EQ(VxThreadMemCreate(&keyA, 2, 8), nullptr);

    void* mine = VxThreadMemCreate(&keyB, VxScopeThread, 4);
    ASSERT_NE(mine, nullptr);
    void* theirs = nullptr;
    void* processSeen = nullptr;
    std::thread([&] {
        theirs = VxThreadMemFind(&keyB, VxScopeThread);
        processSeen = VxThreadMemFind(&keyA, VxScopeProcess);
    }).join();
    EXPECT_EQ(theirs, nullptr);
    EXPECT_EQ(processSeen, a);
    VxThreadMemDestroy(&keyA, VxScopeProcess);
    VxThreadMemDestroy(&keyB, VxScopeThread);
    EXPECT_EQ(VxThreadMemFind(&keyA, VxScopeProcess), nullptr);
}

TEST(CmsStreams, ReadsAndWritesStayInsideTheBuffer) {
    uint8_t buffer[8] = {};
    VxStream s;
    ASSERT_EQ(VxOpen(nullptr, "m", &s, nullptr, buffer, sizeof buffer), 1);
    EXPECT_EQ(Vx_write(&s, "abcde", 5), 1);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(&s)[3], 5u); // the fourth word: bytes written
    EXPECT_EQ(Vx_write(&s, "1234", 4), 0);             // would pass the end
    EXPECT_EQ(s.written, 5u);
    EXPECT_EQ(Vx_close(&s), 1);
    EXPECT_EQ(Vx_write(&s, "x", 1), 0);

    ASSERT_EQ(VxOpen(nullptr, "m", &s, nullptr, buffer, 5), 1);
    char out[8] = {};
    EXPECT_EQ(Vx_skip(&s, 1), 1);
    EXPECT_EQ(Vx_read(&s, out, 3), 1);
    EXPECT_STREQ(out, "bcd");
    EXPECT_EQ(Vx_read(&s, out, 2), 0); // only one byte left
    EXPECT_EQ(Vx_skip(&s, 2), 0);
    EXPECT_EQ(Vx_read(&s, out, 1), 1);
    EXPECT_EQ(VxOpen(nullptr, "r", &s, nullptr, buffer, 5), 0);
}

TEST(CmsFiles, WritesReplaceAFileOnlyWhenComplete) {
    const lumora::test::TempFolder folder;
    const std::string dir = folder.path().string();
    const std::string path = dir + "/filter.flt";
    VxFileId f = 0;
    ASSERT_EQ(VxFileOpen(path.c_str(), "w", nullptr, &f), 1);
    EXPECT_EQ(VxFileWrite(f, "old contents", 12), 1);
    EXPECT_EQ(VxFileClose(f), 1);
    uint32_t size = 0;
    ASSERT_EQ(VxFileSize(path.c_str(), nullptr, &size), 1);
    EXPECT_EQ(size, 12u);

    // While a new version is written the old one stays readable and whole.
    ASSERT_EQ(VxFileOpen(path.c_str(), "w", nullptr, &f), 1);
    EXPECT_EQ(VxFileWrite(f, "new", 3), 1);
    ASSERT_EQ(VxFileSize(path.c_str(), nullptr, &size), 1);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(VxFileWrite(f, nullptr, 3), 0);
    EXPECT_EQ(VxFileClose(f), 1);
    ASSERT_EQ(VxFileSize(path.c_str(), nullptr, &size), 1);
    EXPECT_EQ(size, 3u);

    char buf[16] = {};
    ASSERT_EQ(VxFileOpen(path.c_str(), "r", nullptr, &f), 1);
    uint32_t want = 3;
    EXPECT_EQ(VxFileRead(f, buf, &want), 1);
    EXPECT_STREQ(buf, "new");
    want = 4;
    EXPECT_EQ(VxFileRead(f, buf, &want), 0); // nothing left: a short read is a failure
    EXPECT_EQ(want, 0u);
    EXPECT_EQ(VxFileWrite(f, "x", 1), 0);
    EXPECT_EQ(VxFileClose(f), 1);
    EXPECT_EQ(VxFileClose(f), 0);

    EXPECT_EQ(VxFileOpen((dir + "/missing").c_str(), "r", nullptr, &f), 0);
    EXPECT_EQ(VxFileOpen("/nonexistent-dir/x", "w", nullptr, &f), 0);
    EXPECT_EQ(VxFileSize(dir.c_str(), nullptr, &size), 0);
    std::remove(path.c_str());
    rmdir(dir.c_str());
}

TEST(CmsPreferences, ReadsTheFilterFileSetting) {
    const lumora::test::TempFolder folder;
    const std::string dir = folder.path().string();
    {
        std::ofstream ini(dir + "/vxfilter.ini", std::ios::binary);
        ini << "; filters\r\n[Other]\r\npsf_path=/wrong\r\n[ filterfile ]\r\n  PSF_PATH =  \"/data/filters\"  \r\nempty=\r\n";
    }
    setenv("LUMORA_PREF_DIR", dir.c_str(), 1);
    struct Case {
        const char* section;
        const char* key;
        int32_t answer;
        const char* value;
    };
    const Case cases[] = {
        {"FilterFile", "psf_path", 1, "/data/filters"},
        {"FilterFile", "empty", 1, ""},
        {"FilterFile", "missing", 0, "dflt"},
        {"NoSection", "psf_path", 0, "dflt"},
    };
    for (const auto& c : cases) {
        char buf[64];
        uint32_t size = sizeof buf;
        EXPECT_EQ(VxReadStringPreference("vxfilter.ini", nullptr, nullptr, nullptr, c.section, c.key, "dflt", buf,
                                         &size),
                  c.answer)
            << c.key;
        EXPECT_STREQ(buf, c.value);
        EXPECT_EQ(size, std::strlen(c.value));
    }
    char small[4];
    uint32_t size = sizeof small;
    EXPECT_EQ(VxReadStringPreference("vxfilter.ini", nullptr, nullptr, nullptr, "FilterFile", "psf_path", "", small,
                                     &size),
              -1);
    EXPECT_EQ(size, 14u);
    EXPECT_STREQ(small, "");

    // Without LUMORA_PREF_DIR the file is looked for under XDG_CONFIG_HOME.
    unsetenv("LUMORA_PREF_DIR");
    setenv("XDG_CONFIG_HOME", "/nonexistent-config", 1);
    char buf[64];
    size = sizeof buf;
    EXPECT_EQ(VxReadStringPreference("vxfilter.ini", nullptr, nullptr, nullptr, "FilterFile", "psf_path", "d", buf,
                                     &size),
              0);
    EXPECT_STREQ(buf, "d");
    std::remove((dir + "/vxfilter.ini").c_str());
    rmdir(dir.c_str());
}

TEST(CmsStrings, ModuleStringTablesAndVersions) {
    void* module = dlopen((programDir() + "/CmsStringModule.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    char buf[32];
    EXPECT_EQ(VxGetCString(module, 1999, 0, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "PSFAPI Status: ");
    EXPECT_EQ(VxGetCString(module, 1999, 3, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "TALPSharpen");
    EXPECT_EQ(VxGetCString(module, 1999, 2, buf, sizeof buf), VxStrNotFound);
    EXPECT_EQ(VxGetCString(module, 1999, 0, buf, 4), VxStrTooLong);
    EXPECT_EQ(VxGetCString(module, 1999, 0, nullptr, 4), VxStrBadArgument);
    EXPECT_EQ(VxGetProductVersion(module, buf, 12), 0);
    EXPECT_STREQ(buf, "1.2.3.4");
    // A module without a table of its own has none, even if a library it
    // links had one.
    void* self = dlopen(nullptr, RTLD_NOW);
    EXPECT_EQ(VxGetCString(self, 1999, 0, buf, sizeof buf), VxStrNoTable);
    dlclose(module);
}

TEST(CmsUtilities, NumbersBytesAndTime) {
    char buf[12];
    EXPECT_STREQ(VxItoa(0, buf), "0");
    EXPECT_STREQ(VxItoa(-2147483647 - 1, buf), "-2147483648");
    EXPECT_STREQ(VxItoa(30004, buf), "30004");
    EXPECT_EQ(VxAtoi("  -42xyz"), -42);
    EXPECT_EQ(VxAtoi("+7"), 7);
    EXPECT_EQ(VxAtoi("abc"), 0);
    EXPECT_EQ(VxAtoi("99999999999"), 2147483647);
    EXPECT_EQ(VxAtoi("-99999999999"), -2147483647 - 1);

    uint16_t w[2] = {0x1234, 0xABCD};
    Vx_swab16(w, 2);
    EXPECT_EQ(w[0], 0x3412);
    EXPECT_EQ(w[1], 0xCDAB);
    uint32_t d = 0x11223344;
    Vx_swab32(&d, 1);
    EXPECT_EQ(d, 0x44332211u);
    char m[6] = "abcde";
    VxMemCpy(m + 1, m, 3);
    EXPECT_STREQ(m, "aabce");
    VxMemSet(m, 'z', 2);
    EXPECT_STREQ(m, "zzbce");

    VxLocalTime t{};
    VxGetLocalTime(&t);
    EXPECT_GE(t.yearsSince1900, 124);
    EXPECT_LE(t.month, 11);
    EXPECT_EQ(VxGetCurrentProcessId(), uint32_t(getpid()));
    EXPECT_NE(VxGetCurrentThreadId(), 0u);

    VxCriticalSection cs;
    VxInitializeCriticalSection(&cs);
    VxDeleteCriticalSection(&cs);
    VxDeleteCriticalSection(&cs); // a second delete finds nothing to free
}

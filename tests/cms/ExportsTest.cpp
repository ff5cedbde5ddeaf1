// Every exported name resolves in the built files, and the module the camera
// interface loads works on the same library state as the linked library.
#include "CmsTestSupport.h"

#include <dlfcn.h>

using namespace cmstest;

namespace {

const char* const kLibraryNames[] = {
    "SpInitialize", "SpTerminate", "SpInitThread", "SpTermThread", "SpGetErrorText", "SpProfileGetDefaultDB",
    "SpProfileSearch", "SpProfileLoadProfile", "SpProfileLoadFromBuffer", "SpProfileLoadHeader", "SpProfileFree",
    "SpProfileGetProfileSize", "SpProfileSaveToBuffer", "SpProfileGetHeader", "SpTagExists", "SpTagGetById",
    "SpTagFree", "SpXformGet", "SpXformFree", "SpXformGetChannels", "SpCombineXforms", "SpEvaluate",
    "allocBufferHandle", "lockBuffer", "unlockBuffer", "freeBuffer", "allocBufferPtr", "freeBufferPtr",
    "unlockBufferPtr", "getHandleFromPtr", "allocSysBufferPtr", "freeSysBufferPtr", "VxThreadMemCreate",
    "VxThreadMemFind", "VxThreadMemUnlock", "VxThreadMemDestroy", "VxInitializeCriticalSection",
    "VxDeleteCriticalSection", "VxFileSize", "VxFileOpen", "VxFileRead", "VxFileWrite", "VxFileClose", "VxOpen",
    "Vx_read", "Vx_write", "Vx_skip", "Vx_close", "VxGetCString", "VxGetProductVersion",
    "VxReadStringPreference", "VxGetCurrentProcessId", "VxGetCurrentThreadId", "VxGetLocalTime", "VxItoa",
    "VxAtoi", "VxMemCpy", "VxMemSet", "Vx_swab16", "Vx_swab32", "VxFindResource", "VxSizeofResource",
    "VxLoadResource", "VxFreeResource", "VxGetModuleHandle", "VxGetSystemDirectory"};

// In the order the camera interface binds them.
const char* const kModuleNames[] = {"SpInitialize",         "SpXformFree", "SpEvaluate",
                                    "SpProfileLoadHeader",  "SpProfileLoadProfile",
                                    "SpXformGet",           "SpProfileFree",
                                    "SpXformGetChannels",   "SpCombineXforms",
                                    "SpTerminate",          "SpGetErrorText"};

struct Module {
    explicit Module(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~Module() {
        if (handle) dlclose(handle);
    }
    void* handle;
};

} // namespace

TEST(CmsExports, LibraryExportsEveryName) {
    Module lib(programDir() + "/libORVEXCMS.so");
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    for (const char* name : kLibraryNames) EXPECT_NE(dlsym(lib.handle, name), nullptr) << name;
}

TEST(CmsExports, ModuleExportsItsElevenEntryPointsAndSharesTheLibrary) {
    Module mod(programDir() + "/OrvexCMSC.so");
    ASSERT_NE(mod.handle, nullptr) << dlerror();
    for (const char* name : kModuleNames) EXPECT_NE(dlsym(mod.handle, name), nullptr) << name;

    // A profile loaded through the module is a profile of the linked library:
    // one library per process.
    using Init = SpStatus (*)(SpInstance*, void*, void*);
    using Load = SpStatus (*)(SpInstance, const char*, const SpFileProps*, SpProfile*);
    using Text = SpStatus (*)(SpStatus, char*, int32_t);
    auto init = reinterpret_cast<Init>(dlsym(mod.handle, "SpInitialize"));
    auto loadProfile = reinterpret_cast<Load>(dlsym(mod.handle, "SpProfileLoadProfile"));
    auto text = reinterpret_cast<Text>(dlsym(mod.handle, "SpGetErrorText"));
    SpInstance inst = 0;
    ASSERT_EQ(init(&inst, nullptr, nullptr), SpStatSuccess);
    SpFileProps block{};
    SpProfile p = 0;
    ASSERT_EQ(loadProfile(inst, staticProfile("ORVEX_sRGB.icm").c_str(), &block, &p), SpStatSuccess);
    uint32_t size = 0;
    EXPECT_EQ(SpProfileGetProfileSize(p, &size), SpStatSuccess);
    EXPECT_EQ(size, readBytes(staticProfile("ORVEX_sRGB.icm")).size());
    EXPECT_EQ(SpProfileFree(&p), SpStatSuccess);
    EXPECT_EQ(SpTerminate(&inst), SpStatSuccess);

    // The module's error text takes (code, buffer, length); the library's
    // (code, length, buffer).
    char viaModule[128] = {}, viaLibrary[128] = {};
    EXPECT_EQ(text(SpStatNotAProfile, viaModule, sizeof viaModule), SpStatSuccess);
    EXPECT_EQ(SpGetErrorText(SpStatNotAProfile, sizeof viaLibrary, viaLibrary), SpStatSuccess);
    EXPECT_STREQ(viaModule, viaLibrary);
    EXPECT_GT(std::string(viaModule).size(), 0u);
}

TEST(CmsExports, ErrorTextIsCutToTheBufferAndSaysSo) {
    char small[8];
    EXPECT_EQ(SpGetErrorText(SpStatNotAProfile, sizeof small, small), SpStatBufferTooSmall);
    EXPECT_EQ(std::string(small).size(), 7u);
    char unknown[64];
    EXPECT_EQ(SpGetErrorText(4242, sizeof unknown, unknown), SpStatSuccess);
    EXPECT_NE(std::string(unknown).find("4242"), std::string::npos);
    EXPECT_EQ(SpGetErrorText(0, 0, unknown), SpStatBadArgument);
}

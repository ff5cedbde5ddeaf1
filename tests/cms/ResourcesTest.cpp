// Resources carried by a module, the handle of a loaded module by name, and
// the system folder.
#include "CmsTestSupport.h"

#include <MovableMemory.h>

#include <cstring>
#include <dlfcn.h>

using namespace cmstest;

TEST(CmsResources, FindSizeAndLockAModulesResource) {
    void* module = dlopen((programDir() + "/CmsResourceModule.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    const uint64_t blocksBefore = lumora::MovableMemory::liveBlocks();

    const VxResourceEntry* r = VxFindResource(module, "FILTER", 2003);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(VxSizeofResource(module, r), 9u);
    const VxBufferHandle h = VxLoadResource(module, r);
    ASSERT_NE(h, 0u);
    auto* p = static_cast<uint8_t*>(lockBuffer(h));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 0x74);
    EXPECT_EQ(p[8], 0x2A);
    p[8] = 0; // the loaded copy is the caller's; the module keeps its bytes
    unlockBuffer(h);
    VxFreeResource(h);
    EXPECT_EQ(lockBuffer(h), nullptr);
    EXPECT_EQ(static_cast<const uint8_t*>(r->bytes)[8], 0x2A);
    EXPECT_EQ(lumora::MovableMemory::liveBlocks(), blocksBefore);

    // A missing id, the right id under another type, and a null type.
    EXPECT_EQ(VxFindResource(module, "FILTER", 2005), nullptr);
    EXPECT_EQ(VxFindResource(module, "FILTER", 9999), nullptr);
    EXPECT_EQ(VxFindResource(module, "OTHER", 2003), nullptr);
    EXPECT_NE(VxFindResource(module, "OTHER", 2005), nullptr);
    EXPECT_EQ(VxFindResource(module, nullptr, 2003), nullptr);
    // An entry that is not the module's own is neither sized nor loaded.
    const VxResourceEntry stranger{"FILTER", 2003, "x", 1};
    EXPECT_EQ(VxSizeofResource(module, &stranger), 0u);
    EXPECT_EQ(VxLoadResource(module, &stranger), 0u);
    EXPECT_EQ(VxLoadResource(module, nullptr), 0u);

    // A module without a table, and the program itself, have no resources.
    void* strings = dlopen((programDir() + "/CmsStringModule.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(VxFindResource(strings, "FILTER", 2003), nullptr);
    EXPECT_EQ(VxFindResource(dlopen(nullptr, RTLD_NOW), "FILTER", 2003), nullptr);
    dlclose(strings);
    dlclose(module);
}

TEST(CmsModules, HandleOfALoadedModuleByName) {
    EXPECT_EQ(VxGetModuleHandle("CmsStringModule.dll"), nullptr); // not loaded yet
    void* module = dlopen((programDir() + "/CmsStringModule.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr);
    for (const char* name : {"CmsStringModule", "CmsStringModule.dll", "CmsStringModule.DLL", "CmsStringModule.so"}) {
        void* h = VxGetModuleHandle(name);
        ASSERT_NE(h, nullptr) << name;
        char buf[32];
        EXPECT_EQ(VxGetCString(h, 1999, 0, buf, sizeof buf), 0) << name;
        EXPECT_STREQ(buf, "PSFAPI Status: ");
    }
    // The colour library itself is found under its library name.
    EXPECT_NE(VxGetModuleHandle("ORVEXCMS.dll"), nullptr);
    EXPECT_EQ(VxGetModuleHandle(""), nullptr);
    EXPECT_EQ(VxGetModuleHandle("/abs/CmsStringModule.so"), nullptr);
    EXPECT_EQ(VxGetModuleHandle(nullptr), nullptr);
    dlclose(module);
}

TEST(CmsFolders, SystemDirectoryFromTheEnvironment) {
    const char* old = std::getenv("LUMORA_SYSTEM_DIR");
    const std::string saved = old ? old : "";
    setenv("LUMORA_SYSTEM_DIR", "/data/lumora/system/", 1);
    char buf[64];
    EXPECT_EQ(VxGetSystemDirectory(buf, sizeof buf), 19u);
    EXPECT_STREQ(buf, "/data/lumora/system");
    EXPECT_EQ(VxGetSystemDirectory(buf, 19), 20u); // no room for the NUL: the size needed
    EXPECT_EQ(VxGetSystemDirectory(nullptr, 0), 20u);

    // Without the variable: next to the program folder.
    unsetenv("LUMORA_SYSTEM_DIR");
    const std::string savedProgram = programDir();
    setenv("LUMORA_PROGRAM_DIR", "/opt/lumora/bin", 1);
    EXPECT_GT(VxGetSystemDirectory(buf, sizeof buf), 0u);
    EXPECT_STREQ(buf, "/opt/lumora/share/lumora/system");
    setenv("LUMORA_PROGRAM_DIR", savedProgram.c_str(), 1);
    if (old) setenv("LUMORA_SYSTEM_DIR", saved.c_str(), 1);
}

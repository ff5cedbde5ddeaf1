// The plug-in host against plug-ins that lack an entry point, refuse their
// description or have no unload call; and TalpSharp's set-up block checks.
#include "FiltHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string takeLog() {
    const char* log = std::getenv("FAKE_PLUGIN_LOG");
    std::string text = log ? log : "";
    unsetenv("FAKE_PLUGIN_LOG");
    return text;
}

TEST(PlugInHost, MissingStripEndIsDescribedUnloadedAndRefused) {
    takeLog();
    VxFiltPlugIn h = 0;
    VxFiltProcs procs{};
    VxFiltInfo info{};
    EXPECT_EQ(FiltHostLoadPlugIn("FakePlugInNOSTRIPEND", &h, &procs, &info), VxFiltErrMissingEntry);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(takeLog(), "info;unload;");
}

TEST(PlugInHost, UnknownNameAnswers2075AndLeavesNoHandle) {
    VxFiltPlugIn h = 0;
    VxFiltProcs procs{};
    VxFiltInfo info{};
    EXPECT_EQ(FiltHostLoadPlugIn("NoSuchPlugIn", &h, &procs, &info), VxFiltErrLoad);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(FiltHostLoadModule("NoSuchPlugIn", &h), FiltHostNotLoaded);
    EXPECT_EQ(h, 0u);
}

TEST(PlugInHost, RefusedDescriptionIsBoundAnyway) {
    takeLog();
    VxFiltPlugIn h = 0;
    VxFiltProcs procs{};
    VxFiltInfo info{};
    EXPECT_EQ(FiltHostLoadPlugIn("FakePlugInOTHERPROCESS", &h, &procs, &info), VxFiltErrOtherProcess);
    ASSERT_NE(h, 0u);
    EXPECT_NE(procs.process, nullptr);
    EXPECT_EQ(FiltHostUnloadPlugIn(h), VxFiltSuccess);
    EXPECT_EQ(takeLog(), "info;unload;");
}

TEST(PlugInHost, PlugInWithoutUnloadCallUnloads) {
    takeLog();
    VxFiltPlugIn h = 0;
    VxFiltProcs procs{};
    VxFiltInfo info{};
    ASSERT_EQ(FiltHostLoadPlugIn("FakePlugInNOUNLOAD", &h, &procs, &info), VxFiltSuccess);
    EXPECT_STREQ(info.name, "fake");
    EXPECT_EQ(FiltHostUnloadPlugIn(h), VxFiltSuccess);
    EXPECT_EQ(takeLog(), "info;");
}

TEST(PlugInHost, BinderCodes) {
    const struct {
        int32_t code;
        VxFiltStatus status;
    } cases[] = {{10, 1}, {11, -1}, {15, 2075}, {16, 2076}, {12, 12}, {2065, 2065}};
    for (const auto& c : cases) EXPECT_EQ(FiltHostMapStatus(c.code), c.status) << c.code;
}

TEST(TalpSharpSetup, UnknownParameterVersionsAndFilterChoicesAnswer2025) {
    VxFiltPlugIn h = 0;
    VxFiltProcs procs{};
    VxFiltInfo info{};
    ASSERT_EQ(FiltHostLoadPlugIn("TalpSharp", &h, &procs, &info), VxFiltSuccess);
    EXPECT_STREQ(info.name, "TALPSharpen");
    EXPECT_STREQ(info.version, "1.0.0.3");
    EXPECT_EQ(info.value1, 1);
    VxFiltSharpenParams p{10, 15, VXFILT_TAG('L', 'a', 'b', ' '), 0, 1000, 1000, 300, 300, 0, 2};
    const struct {
        uint32_t paramVersion;
        int32_t choice;
        VxFiltStatus status;
    } cases[] = {{10, 2, 2025}, {10, -1, 2025}, {11, 0, 2025}, {10, 0, 1}, {10, 1, 1}, {9, 7, 1}, {8, 7, 1}};
    for (const auto& c : cases) {
        p.filterChoice = c.choice;
        const VxFiltSetupBlock block{3, c.paramVersion, &p};
        EXPECT_EQ(procs.setup(h, &block), c.status) << c.paramVersion << " " << c.choice;
    }
    EXPECT_EQ(procs.close(h), VxFiltSuccess);
    EXPECT_EQ(FiltHostUnloadPlugIn(h), VxFiltSuccess);
}

} // namespace

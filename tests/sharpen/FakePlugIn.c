/* A filter plug-in for the host's tests. Built several times: without
 * VxFiltStripEnd (FAKE_NO_STRIP_END), with a description answering 2065
 * (FAKE_OTHER_PROCESS), without VxFiltUnloadPlugin (FAKE_NO_UNLOAD). What it
 * was asked is appended to the environment variable FAKE_PLUGIN_LOG, which
 * outlives the module. */
#include "VxFilt.h"

#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

static void note(const char* what) {
    const char* before = getenv("FAKE_PLUGIN_LOG");
    char text[512];
    text[0] = 0;
    if (before) strncat(text, before, sizeof text - 32);
    strcat(text, what);
    strcat(text, ";");
    setenv("FAKE_PLUGIN_LOG", text, 1);
}

EXPORT VxFiltStatus VxFiltGetInfoPriv(VxFiltPlugIn plugIn, VxFiltInfo* info) {
    (void)plugIn;
    note("info");
    if (info) strcpy(info->name, "fake");
#ifdef FAKE_OTHER_PROCESS
    return VxFiltErrOtherProcess;
#else
    return VxFiltSuccess;
#endif
}
EXPORT VxFiltStatus VxFiltSetup(VxFiltPlugIn p, const void* b) { (void)p; (void)b; return 1; }
EXPORT VxFiltStatus VxFiltRectangles(VxFiltPlugIn p, PSFRect* s, PSFRect* s2, PSFRect* w, const PSFRect* st,
                                     uint16_t* f, uint16_t m, uint16_t o) {
    (void)p; (void)s; (void)s2; (void)w; (void)st; (void)f; (void)m; (void)o;
    return 1;
}
EXPORT VxFiltStatus VxFiltClose(VxFiltPlugIn p) { (void)p; note("close"); return 1; }
EXPORT VxFiltStatus VxFiltStripBegin(VxFiltPlugIn p, const PSFRect* r) { (void)p; (void)r; return 1; }
#ifndef FAKE_NO_STRIP_END
EXPORT VxFiltStatus VxFiltStripEnd(VxFiltPlugIn p) { (void)p; return 1; }
#endif
EXPORT VxFiltStatus VxFiltProcess(VxFiltPlugIn p, const PSFPicture* s, const PSFPicture* s2, PSFPicture* w,
                                  int32_t i, VxFiltProgressProc pr, void* u, PSFPicture* d) {
    (void)p; (void)s; (void)s2; (void)w; (void)i; (void)pr; (void)u; (void)d;
    return 1;
}
#ifndef FAKE_NO_UNLOAD
EXPORT VxFiltStatus VxFiltUnloadPlugin(VxFiltPlugIn p) { (void)p; note("unload"); return 1; }
#endif

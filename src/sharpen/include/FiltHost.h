/* The plug-in host: loads a filter plug-in by name, lets it describe itself
 * and binds its processing entry points. */
#ifndef FILTHOST_H
#define FILTHOST_H

#include "VxFilt.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    FiltHostDone = 10,
    FiltHostNoMemory = 11,
    FiltHostNotLoaded = 15,
    FiltHostNotUnloaded = 16
};

VxFiltStatus FiltHostLoadPlugIn(const char* name, VxFiltPlugIn* plugIn, VxFiltProcs* procs, VxFiltInfo* info);
VxFiltStatus FiltHostUnloadPlugIn(VxFiltPlugIn plugIn);
int32_t FiltHostLoadModule(const char* name, VxFiltPlugIn* plugIn);
int32_t FiltHostFreeModule(VxFiltPlugIn plugIn);
VxFiltStatus FiltHostMapStatus(int32_t code);

#ifdef __cplusplus
}
#endif

#endif
